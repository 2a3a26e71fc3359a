// SPDX-License-Identifier: GPL-3.0-or-later
// Vexel's WebKit web process extension: every request of a page is decided
// by the content filters before it leaves the web process, and a page's
// element-hiding rules are applied as its document is made. The filters
// come compiled, as the cache file the frame writes; the engine host passes
// its path and the exempt sites (at the process's start, and again on every
// change). A cache that does not load blocks nothing.

#include "requesttype.h"

#include "blocking/filterengine.h"

#include <webkit2/webkit-web-extension.h>

#include <sys/stat.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <unordered_set>

namespace {

// The filters loaded, with the bytes they were read from (kept: the engine
// may refer to them), and which file that was.
struct Filters {
    std::string bytes;
    std::optional<blocking::FilterEngine> engine;
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
};

std::unique_ptr<Filters> filters;
std::unordered_set<std::string> exemptHosts;

// A cache larger than this is damaged or not ours.
constexpr off_t maxCacheBytes = off_t(512) << 20;

// The host as WebKit writes it in URLs (ASCII, lower case), "" when it has none.
std::string normalizedHost(std::string_view host)
{
    if (host.empty())
        return {};
    const std::string text(host);
    g_autofree char *ascii = g_hostname_to_ascii(text.c_str());
    if (!ascii)
        return {};
    g_autofree char *lower = g_ascii_strdown(ascii, -1);
    return lower;
}

// Reads the cache at path, unless it is the file already loaded.
void loadFilters(const char *path)
{
    struct stat info = {};
    if (!path || !*path || stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxCacheBytes) {
        filters.reset();
        return;
    }
    if (filters && filters->path == path && filters->device == info.st_dev && filters->inode == info.st_ino &&
        filters->size == info.st_size && filters->modifiedSeconds == info.st_mtim.tv_sec &&
        filters->modifiedNanoseconds == info.st_mtim.tv_nsec)
        return;
    filters.reset();
    g_autofree gchar *contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path, &contents, &length, nullptr))
        return;
    try {
        auto loaded = std::make_unique<Filters>();
        loaded->bytes.assign(contents, length);
        // The cache may be large: one copy of it at a time.
        g_clear_pointer(&contents, g_free);
        loaded->engine = blocking::FilterEngine::deserialize(loaded->bytes);
        if (!loaded->engine)
            return;
        loaded->path = path;
        loaded->device = info.st_dev;
        loaded->inode = info.st_ino;
        loaded->size = info.st_size;
        loaded->modifiedSeconds = info.st_mtim.tv_sec;
        loaded->modifiedNanoseconds = info.st_mtim.tv_nsec;
        filters = std::move(loaded);
    } catch (const std::exception &) {
        // Out of memory for it: the pages load unfiltered rather than not at all.
        filters.reset();
    }
}

// "(sas)": the cache's path and the exempt hosts.
void configure(GVariant *settings)
{
    if (!settings || !g_variant_is_of_type(settings, G_VARIANT_TYPE("(sas)")))
        return;
    const char *path = nullptr;
    g_autoptr(GVariantIter) hosts = nullptr;
    g_variant_get(settings, "(&sas)", &path, &hosts);
    exemptHosts.clear();
    const char *host = nullptr;
    while (g_variant_iter_next(hosts, "&s", &host)) {
        const std::string normal = normalizedHost(host);
        if (!normal.empty())
            exemptHosts.insert(normal);
    }
    loadFilters(path);
}

// An exempt site's subdomains are exempt with it.
bool isExempt(std::string_view pageUrl)
{
    if (exemptHosts.empty())
        return false;
    const std::string host = normalizedHost(blocker::hostOf(pageUrl));
    for (std::string_view name = host; !name.empty();) {
        if (exemptHosts.count(std::string(name)))
            return true;
        const std::size_t dot = name.find('.');
        if (dot == std::string_view::npos)
            break;
        name.remove_prefix(dot + 1);
    }
    return false;
}

const blocking::FilterEngine *activeFilters(std::string_view pageUrl)
{
    if (!filters || !filters->engine || isExempt(pageUrl))
        return nullptr;
    return &*filters->engine;
}

const char *header(SoupMessageHeaders *headers, const char *name)
{
    const char *value = headers ? soup_message_headers_get_one(headers, name) : nullptr;
    return value ? value : "";
}

gboolean onSendRequest(WebKitWebPage *page, WebKitURIRequest *request, WebKitURIResponse *redirected, gpointer)
{
    const char *uri = webkit_uri_request_get_uri(request);
    if (!uri || !(g_str_has_prefix(uri, "http:") || g_str_has_prefix(uri, "https:") ||
                  g_str_has_prefix(uri, "ws:") || g_str_has_prefix(uri, "wss:")))
        return FALSE;
    SoupMessageHeaders *headers = webkit_uri_request_get_http_headers(request);
    blocker::RequestFacts facts;
    facts.url = uri;
    facts.fetchDest = header(headers, "Sec-Fetch-Dest");
    facts.accept = header(headers, "Accept");
    facts.ping = *header(headers, "Ping-To") || g_str_has_prefix(header(headers, "Content-Type"), "text/ping");
    // The page's address follows its main resource from the start of its
    // load, redirects included: a document request for that address (or
    // redirected from it) is the main resource.
    const char *pageUri = webkit_web_page_get_uri(page);
    const char *from = redirected ? webkit_uri_response_get_uri(redirected) : uri;
    const bool document = facts.fetchDest == "document" ||
                          (facts.fetchDest.empty() && (g_strstr_len(facts.accept.data(), -1, "text/html") ||
                                                       g_strstr_len(facts.accept.data(), -1, "xhtml")));
    facts.mainResource = document && pageUri && (g_strcmp0(from, pageUri) == 0 || g_strcmp0(uri, pageUri) == 0);
    const std::string_view pageUrl = facts.mainResource ? std::string_view(uri) : std::string_view(pageUri ? pageUri : "");

    const blocking::FilterEngine *engine = activeFilters(pageUrl);
    if (!engine)
        return FALSE;
    bool block = false;
    try {
        block = engine->shouldBlock({uri, pageUrl, blocker::requestType(facts)});
    } catch (const std::exception &) {
        return FALSE;
    }
    if (!block)
        return FALSE;
    // The view counts it; a page of its own refused shows the frame's page.
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new("vexel-blocked", g_variant_new("(sb)", uri, facts.mainResource ? TRUE : FALSE)),
        nullptr, nullptr, nullptr);
    return TRUE;
}

// The hiding rules as a constructed style sheet of the document, added
// before any of the page's scripts runs (the window object is new).
constexpr const char *applyHiding =
    "(function (css) {"
    "  try {"
    "    const sheet = new CSSStyleSheet();"
    "    sheet.replaceSync(css);"
    "    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);"
    "  } catch (e) {}"
    "})";

void onWindowObjectCleared(WebKitScriptWorld *world, WebKitWebPage *page, WebKitFrame *frame, gpointer)
{
    const char *pageUri = webkit_web_page_get_uri(page);
    const blocking::FilterEngine *engine = activeFilters(pageUri ? pageUri : "");
    if (!engine)
        return;
    // A frame's own rules are those of its address; an empty frame has its page's.
    const char *frameUri = webkit_frame_get_uri(frame);
    const char *rulesFor = frameUri && (g_str_has_prefix(frameUri, "http:") || g_str_has_prefix(frameUri, "https:"))
                               ? frameUri
                               : pageUri;
    if (!rulesFor)
        return;
    std::string css;
    try {
        css = engine->hidingCss(rulesFor);
    } catch (const std::exception &) {
        return;
    }
    if (css.empty())
        return;
    g_autoptr(JSCContext) context = webkit_frame_get_js_context_for_script_world(frame, world);
    if (!context)
        return;
    g_autoptr(JSCValue) apply = jsc_context_evaluate(context, applyHiding, -1);
    // What the function returns is of no use, only released.
    g_autoptr(JSCValue) result = apply && jsc_value_is_function(apply)
                                     ? jsc_value_function_call(apply, G_TYPE_STRING, css.c_str(), G_TYPE_NONE)
                                     : nullptr;
    // A failure in the page's context is not the page's exception.
    jsc_context_clear_exception(context);
}

void onPageCreated(WebKitWebExtension *, WebKitWebPage *page, gpointer)
{
    g_signal_connect(page, "send-request", G_CALLBACK(onSendRequest), nullptr);
}

gboolean onMessage(WebKitWebExtension *, WebKitUserMessage *message, gpointer)
{
    if (g_strcmp0(webkit_user_message_get_name(message), "vexel-blocking") != 0)
        return FALSE;
    configure(webkit_user_message_get_parameters(message));
    return TRUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension *extension,
                                                                                const GVariant *data)
{
    configure(const_cast<GVariant *>(data));
    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
    g_signal_connect(extension, "user-message-received", G_CALLBACK(onMessage), nullptr);
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(onWindowObjectCleared),
                     nullptr);
}
