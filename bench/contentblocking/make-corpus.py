#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the content-blocking corpus: one request a line, type<TAB>url<TAB>page url.

Pages of a few hundred first-party sites (Japanese and world sites) load
what such pages load: the document, frames, scripts, images, style sheets,
fonts, XHR, media and pings, from their own hosts and from CDNs; and the
third-party requests to ad, analytics and tracking hosts that pages carry,
whose host names and paths are taken from the filter lists' own rules.
Everything is drawn from one seeded generator and the lists given, so the
same lists give the same corpus; nothing is fetched.

    make-corpus.py [--requests N] [--seed S] [--out corpus.tsv.gz] [--every-rule] LIST...
"""

import argparse
import gzip
import random
import re

JAPANESE_SITES = """
yahoo.co.jp nikkei.com asahi.com yomiuri.co.jp mainichi.jp sankei.com nhk.or.jp
itmedia.co.jp impress.co.jp gigazine.net kakaku.com rakuten.co.jp amazon.co.jp
mercari.com zozo.jp tabelog.com hotpepper.jp jalan.net goo.ne.jp excite.co.jp
livedoor.com ameblo.jp hatena.ne.jp note.com qiita.com zenn.dev pixiv.net
nicovideo.jp dmm.com cookpad.com weathernews.jp tenki.jp jorudan.co.jp
navitime.co.jp jreast.co.jp suumo.jp homes.co.jp mynavi.jp rikunabi.com
toyokeizai.net president.jp diamond.jp bunshun.jp jiji.com kyodonews.jp
tokyo-np.co.jp chunichi.co.jp nishinippon.co.jp hokkaido-np.co.jp 47news.jp
sponichi.co.jp nikkansports.com hochi.news daily.co.jp oricon.co.jp
natalie.mu cinematoday.jp eiga.com famitsu.com 4gamer.net dengekionline.com
mynavi.jp ascii.jp pc.watch.impress.co.jp nlab.itmedia.co.jp
biccamera.com yodobashi.com muji.com uniqlo.com nitori-net.jp
smbc.co.jp mufg.jp mizuhobank.co.jp japanpost.jp ntt.com docomo.ne.jp au.com
softbank.jp line.me tver.jp abema.tv u-next.jp
""".split()

WORLD_SITES = """
bbc.co.uk theguardian.com nytimes.com washingtonpost.com cnn.com reuters.com
apnews.com bloomberg.com ft.com economist.com wsj.com forbes.com
lemonde.fr lefigaro.fr spiegel.de zeit.de faz.net sueddeutsche.de elpais.com
corriere.it repubblica.it nu.nl aftonbladet.se vg.no yle.fi onet.pl idnes.cz
globo.com uol.com.br clarin.com infobae.com timesofindia.indiatimes.com
ndtv.com scmp.com straitstimes.com abc.net.au smh.com.au stuff.co.nz
cbc.ca theglobeandmail.com naver.com daum.net chosun.com
wikipedia.org stackoverflow.com github.com medium.com reddit.com imdb.com
weather.com accuweather.com espn.com goal.com marca.com lequipe.fr
ebay.com ebay.de etsy.com walmart.com target.com bestbuy.com ikea.com
booking.com tripadvisor.com expedia.com airbnb.com
theverge.com wired.com arstechnica.com techcrunch.com engadget.com cnet.com
zdnet.com tomshardware.com anandtech.com
allrecipes.com bonappetit.com nationalgeographic.com smithsonianmag.com
""".split()

IDN_SITES = ["例え.jp", "日本語.jp", "ニュース.jp", "東京.jp", "bücher.de", "café.fr",
             "müller.de", "español.com"]

WORDS = """news blog shop mag tech life food travel game auto money sports style
photo music movie book health home work study kids pet garden city local daily
world today smart best my go net web info media press times post journal""".split()

TLDS = [".jp", ".co.jp", ".ne.jp", ".or.jp", ".com", ".net", ".org", ".de", ".fr",
        ".co.uk", ".com.br", ".com.au", ".it", ".es", ".nl", ".io", ".info"]

CDNS = ["cdnjs.cloudflare.com", "ajax.googleapis.com", "cdn.jsdelivr.net", "unpkg.com",
        "code.jquery.com", "stackpath.bootstrapcdn.com", "use.fontawesome.com",
        "d1xyz{0}.cloudfront.net", "assets{0}.akamaized.net", "img{0}.fastly.net"]
FONT_HOSTS = ["fonts.gstatic.com", "use.typekit.net", "fonts.bunny.net"]
FONT_CSS = ["https://fonts.googleapis.com/css2?family=Noto+Sans+JP:wght@400;700&display=swap",
            "https://fonts.googleapis.com/css?family=Roboto:300,400,500",
            "https://use.typekit.net/abc{0}.css"]
EMBEDS = ["https://www.youtube.com/embed/{id}?rel=0", "https://player.vimeo.com/video/{n}",
          "https://www.google.com/maps/embed?pb=!1m18!1m12!{id}",
          "https://www.google.com/recaptcha/api2/anchor?ar=1&k={id}&co=aHR0cHM6Ly93d3c&hl=ja",
          "https://platform.twitter.com/embed/Tweet.html?id={n}",
          "https://www.instagram.com/p/{id}/embed/"]

# The third parties nearly every page carries, with what they load.
COMMON_TRACKERS = [
    ("script", "https://www.googletagmanager.com/gtag/js?id=G-{ID}"),
    ("script", "https://www.googletagmanager.com/gtm.js?id=GTM-{ID}"),
    ("script", "https://www.google-analytics.com/analytics.js"),
    ("ping", "https://www.google-analytics.com/g/collect?v=2&tid=G-{ID}&cid={n}.{m}&en=page_view"),
    ("xmlhttprequest", "https://region1.google-analytics.com/g/collect?v=2&tid=G-{ID}&_p={n}"),
    ("script", "https://securepubads.g.doubleclick.net/tag/js/gpt.js"),
    ("xmlhttprequest", "https://securepubads.g.doubleclick.net/gampad/ads?pvsid={n}&correlator={m}&output=ldjh"),
    ("script", "https://pagead2.googlesyndication.com/pagead/js/adsbygoogle.js?client=ca-pub-{n}"),
    ("subdocument", "https://googleads.g.doubleclick.net/pagead/ads?client=ca-pub-{n}&format=728x90"),
    ("image", "https://pagead2.googlesyndication.com/pagead/sodar?id=sodar2&v={m}"),
    ("script", "https://connect.facebook.net/en_US/fbevents.js"),
    ("image", "https://www.facebook.com/tr?id={n}&ev=PageView&noscript=1"),
    ("script", "https://static.ads-twitter.com/uwt.js"),
    ("script", "https://bat.bing.com/bat.js"),
    ("script", "https://s.yimg.jp/images/listing/tool/cv/ytag.js"),
    ("image", "https://b90.yahoo.co.jp/c?yahoo_ydn_conv_io={ID}&_={m}"),
    ("script", "https://yads.c.yimg.jp/js/yads-async.js"),
    ("script", "https://cdn.taboola.com/libtrc/{w}-network/loader.js"),
    ("xmlhttprequest", "https://trc.taboola.com/{w}/trc/3/json?tim={m}"),
    ("script", "https://static.criteo.net/js/ld/publishertag.js"),
    ("script", "https://c.amazon-adsystem.com/aax2/apstag.js"),
    ("script", "https://script.hotjar.com/modules.{ID}.js"),
    ("script", "https://cdn.amplitude.com/libs/amplitude-8.21.4-min.gz.js"),
    ("script", "https://js.adsrvr.org/up_loader.1.1.0.js"),
    ("image", "https://ib.adnxs.com/getuid?https://t.example/{n}"),
    ("script", "https://cdn.logly.co.jp/js/lift.js?w={n}"),
    ("script", "https://api.popin.cc/searchbox/{w}.js"),
    ("script", "https://s.adroll.com/j/roundtrip.js"),
    ("script", "https://cdn.mouseflow.com/projects/{ID}.js"),
    ("script", "https://sb.scorecardresearch.com/beacon.js"),
    ("image", "https://sb.scorecardresearch.com/p?c1=2&c2={n}&cv=3.6"),
    ("script", "https://www.clarity.ms/tag/{ID}"),
    ("script", "https://cdn.treasuredata.com/sdk/2.5/td.min.js"),
    ("xmlhttprequest", "https://in.treasuredata.com/js/v3/event/{w}?api_key={n}"),
]

# Third parties pages load that the lists leave alone.
BENIGN_THIRD_PARTY = [
    ("script", "https://www.google.com/recaptcha/api.js?render={ID}"),
    ("script", "https://js.stripe.com/v3/"),
    ("script", "https://platform.twitter.com/widgets.js"),
    ("script", "https://maps.googleapis.com/maps/api/js?key={ID}&callback=initMap"),
    ("image", "https://i.ytimg.com/vi/{ID}/hqdefault.jpg"),
    ("image", "https://pbs.twimg.com/media/{ID}?format=jpg&name=small"),
    ("xmlhttprequest", "https://api.github.com/repos/{w}/{w}"),
    ("image", "https://upload.wikimedia.org/wikipedia/commons/thumb/{n}/{ID}.jpg/320px-{ID}.jpg"),
    ("script", "https://www.gstatic.com/charts/loader.js"),
    ("stylesheet", "https://cdn.jsdelivr.net/npm/swiper@11/swiper-bundle.min.css"),
]

TYPES_IN_OPTIONS = {"script", "image", "stylesheet", "xmlhttprequest", "subdocument", "font",
                    "media", "ping", "other"}
TYPICAL_TRACKER_TYPES = ["script", "script", "image", "image", "xmlhttprequest", "ping",
                         "subdocument", "other"]


def idna_host(name):
    return name.encode("idna").decode("ascii")


def make_sites(rng, count):
    names = list(dict.fromkeys(JAPANESE_SITES + WORLD_SITES))
    names += [idna_host(n) for n in IDN_SITES]
    while len(names) < count:
        name = rng.choice(WORDS) + rng.choice(["", "-", ""]) + rng.choice(WORDS) + rng.choice(TLDS)
        if name not in names:
            names.append(name)
    return names[:count]


def list_rules(paths):
    """Third-party hosts and paths the lists block, and generic path patterns."""
    hosts, host_paths, generic = [], [], []
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.strip()
                if not line or line[0] in "![" or "#" in line or line.startswith("@@"):
                    continue
                rule, _, options = line.partition("$")
                opts = options.split(",") if options else []
                if any(o.startswith(("domain=", "~", "redirect", "removeparam", "csp", "popup",
                                     "rewrite", "header", "match-case", "1p", "first-party",
                                     "document", "all")) for o in opts):
                    continue
                types = [o for o in opts if o in TYPES_IN_OPTIONS]
                m = re.fullmatch(r"\|\|([a-z0-9.-]+\.[a-z]{2,})\^", rule)
                if m:
                    hosts.append((m.group(1), types))
                    continue
                m = re.fullmatch(r"\|\|([a-z0-9.-]+\.[a-z]{2,})(/[A-Za-z0-9_./?=&%-]*)[\^|]?", rule)
                if m and "*" not in rule:
                    host_paths.append((m.group(1), m.group(2), types))
                    continue
                if re.fullmatch(r"[/-][A-Za-z0-9_./-]{3,}[\^]?", rule) and not rule.endswith("/") or \
                        re.fullmatch(r"/[A-Za-z0-9_.-]{3,}/", rule):
                    generic.append((rule.rstrip("^"), types))
    return hosts, host_paths, generic


def targeted_rules(paths, every=False):
    """Rules naming the sites they apply to ($domain=) and exceptions (@@):
    the requests where the lists' finer semantics decide; with `every`, all
    network rules."""
    rules = []
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.strip()
                if not line or line[0] in "![" or "#" in line:
                    continue
                exception = line.startswith("@@")
                rule, _, options = line[2 if exception else 0:].partition("$")
                if not options and not exception and not every:
                    continue
                opts = options.split(",") if options else []
                if any(o.startswith(("redirect", "removeparam", "csp", "popup", "rewrite", "header",
                                     "generichide", "elemhide", "genericblock", "ehide", "ghide",
                                     "badfilter", "replace", "permissions", "urltransform")) for o in opts):
                    continue
                if len(rule) < 4 or (rule.startswith("/") and rule.endswith("/") and re.search(r"[\\()\[\]{}+?|]", rule)):
                    continue
                domains = []
                for o in opts:
                    if o.startswith("domain="):
                        domains = [d.replace("*", "com") for d in o[7:].split("|") if not d.startswith("~")]
                if not exception and not domains and not every:
                    continue
                rules.append((rule, tuple(opts), tuple(domains), exception))
    return sorted(set(rules))


class Corpus:
    def __init__(self, rng, rules):
        self.rng = rng
        self.hosts, self.host_paths, self.generic = rules
        self.lines = []

    def fill(self, text):
        r = self.rng
        return (text.replace("{ID}", "".join(r.choice("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789") for _ in range(10)))
                .replace("{id}", "".join(r.choice("abcdefghijkmnopqrstuvwxyzABCDEFGH0123456789_-") for _ in range(11)))
                .replace("{n}", str(r.randrange(10 ** 6, 10 ** 10)))
                .replace("{m}", str(r.randrange(10 ** 12, 10 ** 13)))
                .replace("{w}", r.choice(WORDS))
                .replace("{0}", str(r.randrange(1, 40))))

    def query(self):
        r = self.rng
        if r.random() < 0.55:
            return ""
        keys = ["v", "ver", "t", "id", "ref", "utm_source", "utm_medium", "lang", "w", "h", "q", "page", "_"]
        return "?" + "&".join(f"{r.choice(keys)}={r.randrange(1, 100000)}" for _ in range(r.randint(1, 4)))

    def add(self, kind, url, page):
        self.lines.append(f"{kind}\t{url}\t{page}")

    def tracker(self, page):
        r = self.rng
        pick = r.random()
        if pick < 0.45:
            kind, url = r.choice(COMMON_TRACKERS)
            self.add(kind, self.fill(url), page)
        elif pick < 0.75:
            host, types = r.choice(self.hosts)
            kind = r.choice(types) if types else r.choice(TYPICAL_TRACKER_TYPES)
            sub = r.choice(["", "", "cdn.", "static.", "t.", "px."])
            path = r.choice(["/js/tag.js", "/pixel.gif", "/collect", "/sync", "/v1/event", "/ads/serve",
                             "/i.gif", "/tag", "/banner/", "/track"])
            self.add(kind, f"https://{sub}{host}{path}{self.query()}", page)
        elif pick < 0.93:
            host, path, types = r.choice(self.host_paths)
            kind = r.choice(types) if types else r.choice(TYPICAL_TRACKER_TYPES)
            tail = "" if path.endswith(("?", "=", "&")) else self.query()
            self.add(kind, f"https://{host}{path}{tail}", page)
        else:
            pattern, types = r.choice(self.generic)
            kind = r.choice(types) if types else r.choice(["script", "image", "image", "xmlhttprequest"])
            host = r.choice(["www." + self.site, "static." + self.site])
            path = pattern if pattern.startswith("/") else "/assets/img/top" + pattern
            path = path.replace("^", "/")
            if path.endswith((".", "-", "_")):
                path += r.choice(["js", "gif", "png", "jpg", "1"])
            self.add(kind, f"https://{host}{path}{self.query()}", page)

    def rule_url(self, rule, page_host):
        r = self.rng
        end_anchored = rule.endswith("|")
        rule = rule.rstrip("|")
        if rule.startswith("||"):
            url = "https://" + rule[2:]
        elif rule.startswith("|"):
            url = rule[1:]
        elif rule.startswith("."):
            url = "https://cdn" + rule
        elif rule.startswith("/"):
            url = "https://" + r.choice([page_host, "static." + page_host.split(".", 1)[-1], "ads.example-cdn.net"]) + rule
        else:
            url = f"https://{page_host}/img/top" + rule
        url = url.replace("*", self.fill("{w}{0}")).replace("^", "/")
        if "/" not in url[8:]:
            url += "/"
        # A rule for the start of a host name (||10.0.0. or ||ads.example.): a whole one.
        head, _, tail = url[8:].partition("/")
        if head.endswith("."):
            url = url[:8] + head + ("1" if head[:-1].replace(".", "").isdigit() else "com") + "/" + tail
        if not end_anchored:
            url += self.query()
        return url

    def rule_type(self, opts):
        r = self.rng
        wanted = [o for o in opts if o in TYPES_IN_OPTIONS]
        if wanted:
            return r.choice(wanted)
        unwanted = {o[1:] for o in opts if o.startswith("~")}
        return r.choice([t for t in ["script", "image", "xmlhttprequest", "subdocument", "stylesheet"]
                         if t not in unwanted] or ["other"])

    def targeted_visit(self, targeted, sites):
        """A page of a site the lists name, loading what their rules for it name."""
        r = self.rng
        rule, opts, domains, _ = r.choice(targeted)
        domain = r.choice(domains) if domains else r.choice(sites)
        host = domain if domain.count(".") > 1 or r.random() < 0.3 else "www." + domain
        page = f"https://{host}/{r.choice(['', 'video/', 'watch?v=' + str(r.randrange(10 ** 6)), 'news/' + str(r.randrange(10 ** 5)) + '.html'])}"
        self.add("document", page, page)
        self.add(self.rule_type(opts), self.rule_url(rule, host), page)
        same_site = [t for t in targeted if domain in t[2]]
        for _ in range(r.randint(0, 3)):
            rule, opts, _, _ = r.choice(same_site or targeted)
            self.add(self.rule_type(opts), self.rule_url(rule, host), page)

    def page(self, site, port):
        r = self.rng
        self.site = site
        own = f"https://www.{site}{port}"
        static = r.choice([f"https://static.{site}", f"https://img.{site}", own,
                           "https://" + self.fill(r.choice(CDNS))])
        section = r.choice(["news", "article", "sports", "tech", "life", "%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9",
                            "%E7%89%B9%E9%9B%86", "products", "item", "blog", "entry", "p", "Category/Top"])
        path = r.choice([f"/{section}/{r.randrange(2015, 2027)}/{r.randrange(1, 13):02d}/{r.randrange(10 ** 5, 10 ** 7)}.html",
                         f"/{section}/{r.randrange(10 ** 4, 10 ** 8)}", f"/{section}/", "/",
                         f"/{section}/detail?id={r.randrange(10 ** 5, 10 ** 7)}&From=Top"])
        page = own + path + (r.choice(["", "", "", "?utm_source=twitter&utm_medium=social", "#comments"]))
        self.add("document", page, page)
        page = page.split("#")[0]
        for _ in range(r.randint(3, 12)):
            self.add("script", f"{static}/assets/js/{r.choice(['app', 'vendor', 'main', 'chunk-' + str(r.randrange(999)), 'jquery.min', 'Common'])}.{r.randrange(16 ** 8):08x}.js{self.query()}", page)
        for _ in range(r.randint(1, 5)):
            self.add("stylesheet", f"{static}/assets/css/{r.choice(['style', 'main', 'Print', 'theme', 'article'])}.css{self.query()}", page)
        for _ in range(r.randint(6, 34)):
            ext = r.choice(["jpg", "jpg", "png", "webp", "gif", "svg", "JPG", "avif"])
            self.add("image", f"{static}/images/{r.choice(['upload', 'thumb', 'photo', 'icons', 'Common', 'article'])}/{r.randrange(10 ** 6)}_{r.choice(['s', 'm', 'l', 'w640'])}.{ext}{self.query()}", page)
        for _ in range(r.randint(0, 3)):
            self.add("font", f"https://{r.choice(FONT_HOSTS)}/s/{r.choice(['notosansjp', 'roboto', 'opensans', 'mplus1p'])}/v{r.randrange(1, 60)}/{r.randrange(16 ** 12):012x}.woff2", page)
        if r.random() < 0.4:
            self.add("stylesheet", self.fill(r.choice(FONT_CSS)), page)
        for _ in range(r.randint(1, 8)):
            self.add("xmlhttprequest", f"{own}/api/{r.choice(['v1', 'v2', 'graphql', 'comments', 'recommend', 'User/Status'])}/{r.randrange(10 ** 6)}{self.query()}", page)
        for _ in range(r.randint(0, 2)):
            self.add("media", f"{static}/video/{r.randrange(10 ** 6)}/{r.choice(['720p.mp4', 'index.m3u8', 'seg-1.ts', 'audio.m4a'])}", page)
        for _ in range(r.randint(0, 2)):
            self.add("subdocument", self.fill(r.choice(EMBEDS)) if r.random() < 0.6 else f"{own}/widgets/{r.choice(['ranking', 'share', 'login'])}.html", page)
        if r.random() < 0.3:
            self.add("ping", f"{own}/log/beacon?page={r.randrange(10 ** 6)}", page)
        if r.random() < 0.2:
            self.add("other", f"{own}/manifest.json", page)
        for _ in range(r.randint(0, 3)):
            kind, url = r.choice(BENIGN_THIRD_PARTY)
            self.add(kind, self.fill(url), page)
        for _ in range(r.randint(2, 18)):
            self.tracker(page)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--requests", type=int, default=200000)
    parser.add_argument("--seed", type=int, default=24)
    parser.add_argument("--sites", type=int, default=400)
    parser.add_argument("--out", default="corpus.tsv.gz")
    parser.add_argument("--every-rule", action="store_true",
                        help="instead, one request for each network rule of the lists (and one from another site "
                             "for some), to find where two engines read a rule differently")
    parser.add_argument("lists", nargs="+")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    rules = list_rules(args.lists)
    rules = tuple(sorted(set(map(lambda x: (x[0], tuple(x[1])) if len(x) == 2 else (x[0], x[1], tuple(x[2])), part)))
                  for part in rules)
    targeted = targeted_rules(args.lists)
    corpus = Corpus(rng, rules)
    sites = make_sites(rng, args.sites)
    if args.every_rule:
        for rule, opts, domains, _ in targeted_rules(args.lists, every=True):
            domain = rng.choice(domains) if domains else rng.choice(sites)
            for page in [f"https://www.{domain}/"] + (["https://www.other-site.net/"] if rng.random() < 0.3 else []):
                corpus.add(corpus.rule_type(opts), corpus.rule_url(rule, "www." + domain), page)
        args.requests = len(corpus.lines)
    # A few sites are heavy: most visits go to a few of them.
    weights = [1.0 / (i + 5) for i in range(len(sites))]
    while len(corpus.lines) < args.requests:
        if rng.random() < 0.25:
            corpus.targeted_visit(targeted, sites)
            continue
        site = rng.choices(sites, weights)[0]
        port = ":8443" if rng.random() < 0.02 else ""
        if rng.random() < 0.03:
            site = site.upper()
        corpus.page(site, port)
    with gzip.GzipFile(args.out, "wb", compresslevel=9, mtime=0) as out:
        out.write(("\n".join(corpus.lines[:args.requests]) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main()
