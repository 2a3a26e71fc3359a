// SPDX-License-Identifier: GPL-3.0-or-later
// Content blocking: our filter matcher over a corpus of requests against the
// filter lists, and the same corpus and lists through @ghostery/adblocker in
// Node.js (bench/contentblocking/ghostery/run.mjs) in the same run.
//
//   bench_contentblocking [--corpus FILE] [--list FILE]... [--psl FILE]
//       [--decisions OUT] [--ghostery | --no-ghostery] [--diff N]
//
// The corpus is one request a line, type<TAB>url<TAB>page url, plain or gzip
// (bench/contentblocking/README.md says how the one kept here was made).
// Memory is what the engine holds after the whole corpus, loaded from its
// cache: malloc's bytes in use (mallinfo2) and the resident set, each as
// growth over the moment before the load; Node's side counts its heap and
// external buffers after a full collection the same way.

#include "benchsupport.h"

#include "blocking/filterengine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <malloc.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

const QString kListDir = QStringLiteral("/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/easylist/");
const QString kSuffixes = QStringLiteral("/usr/share/publicsuffix/public_suffix_list.dat");

struct Options {
    QString corpus = QStringLiteral(VEXEL_BENCH_SOURCE_DIR "/contentblocking/corpus.tsv.gz");
    QStringList lists;
    QString suffixes = kSuffixes;
    QString decisions;
    enum { Auto, On, Off } ghostery = Auto;
    int diff = 0;
};

struct Line {
    std::string_view type, url, page;
};

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "bench_contentblocking: %s\n", qPrintable(message));
    std::exit(1);
}

Options parseOptions(const QStringList &args)
{
    Options o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const auto value = [&]() {
            if (++i >= args.size())
                fail(arg + QStringLiteral(" needs a value"));
            return args[i];
        };
        if (arg == QLatin1String("--corpus"))
            o.corpus = value();
        else if (arg == QLatin1String("--list"))
            o.lists << value();
        else if (arg == QLatin1String("--psl"))
            o.suffixes = value();
        else if (arg == QLatin1String("--decisions"))
            o.decisions = value();
        else if (arg == QLatin1String("--ghostery"))
            o.ghostery = Options::On;
        else if (arg == QLatin1String("--no-ghostery"))
            o.ghostery = Options::Off;
        else if (arg == QLatin1String("--diff")) {
            bool ok = false;
            o.diff = value().toInt(&ok);
            if (!ok || o.diff < 0)
                fail(QStringLiteral("--diff needs a count"));
        } else
            fail(QStringLiteral("unknown argument ") + arg);
    }
    if (o.lists.isEmpty())
        o.lists << kListDir + QStringLiteral("easylist.txt") << kListDir + QStringLiteral("easyprivacy.txt");
    return o;
}

// A whole file, gzip or plain (zlib reads both).
std::string readFile(const QString &path)
{
    gzFile file = gzopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        fail(QStringLiteral("cannot read ") + path);
    std::string text;
    char buffer[1 << 16];
    int n = 0;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(n));
    const bool damaged = n < 0;
    gzclose(file);
    if (damaged)
        fail(QStringLiteral("cannot read ") + path);
    return text;
}

// Empty lines are no requests; Node's side skips them the same way.
std::vector<Line> splitCorpus(std::string_view text)
{
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        Line l;
        const std::size_t tab1 = line.find('\t');
        l.type = line.substr(0, tab1);
        if (tab1 != std::string_view::npos) {
            const std::size_t tab2 = line.find('\t', tab1 + 1);
            l.url = line.substr(tab1 + 1, tab2 == std::string_view::npos ? std::string_view::npos : tab2 - tab1 - 1);
            if (tab2 != std::string_view::npos)
                l.page = line.substr(tab2 + 1);
        }
        lines.push_back(l);
    }
    return lines;
}

struct Memory {
    double heapMb;
    double rssMb;
};

Memory memoryNow()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    QFile statm(QStringLiteral("/proc/self/statm"));
    double rss = 0;
    if (statm.open(QIODevice::ReadOnly))
        rss = statm.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
    return {double(info.uordblks + info.hblkhd) / 1048576.0, rss};
}

double quantile(const std::vector<double> &sorted, double q)
{
    return sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())))];
}

void printMicros(const char *figure, double value)
{
    std::printf("%s %.3f us\n", figure, value);
    std::fflush(stdout);
}

void writeDecisions(const QString &path, const std::vector<char> &decisions)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(decisions.size()) * 2);
    for (const char d : decisions)
        bytes.append(d ? "1\n" : "0\n");
    writeBenchFile(path, bytes);
}

// Our figures, by the names run.mjs prints too.
std::map<QString, double> runOurs(const Options &o, const std::vector<Line> &lines, std::vector<char> &decisions)
{
    std::map<QString, double> figures;
    std::vector<std::string> lists;
    for (const QString &path : o.lists)
        lists.push_back(readFile(path));
    const std::string suffixes = QFile::exists(o.suffixes) ? readFile(o.suffixes) : std::string();

    std::vector<blocking::Request> requests;
    requests.reserve(lines.size());
    for (const Line &l : lines)
        requests.push_back({l.url, l.page, blocking::requestTypeFromName(l.type).value_or(blocking::RequestType::Other)});

    // Parsing: the public suffixes, the lists and the index, as the frame
    // does without a cache.
    std::string bytes;
    std::vector<char> parsedDecisions(requests.size());
    QList<double> parseTimes;
    for (int round = 0; round < 3; ++round) {
        blocking::FilterEngine engine;
        parseTimes << elapsedMs([&] {
            engine.setPublicSuffixes(suffixes);
            for (const std::string &text : lists)
                engine.addList(text);
            engine.finish();
        });
        if (round == 0) {
            figures[QStringLiteral("rules")] = double(engine.ruleCount());
            bytes = engine.serialize();
            for (std::size_t i = 0; i < requests.size(); ++i)
                parsedDecisions[i] = engine.shouldBlock(requests[i]);
        }
    }
    figures[QStringLiteral("parse")] = median(parseTimes);
    figures[QStringLiteral("serialized")] = double(bytes.size()) / 1048576.0;

    QList<double> loadTimes;
    for (int round = 0; round < 10; ++round) {
        std::optional<blocking::FilterEngine> loaded;
        loadTimes << elapsedMs([&] { loaded = blocking::FilterEngine::deserialize(bytes); });
        if (!loaded)
            fail(QStringLiteral("the engine's cache does not load back"));
    }
    figures[QStringLiteral("load")] = median(loadTimes);

    // The engine matched with is the one loaded from the cache, as in the
    // browser; the bytes are read as from the cache file after the baseline.
    std::vector<double> times(requests.size());
    decisions.assign(requests.size(), 0);
    const Memory before = memoryNow();
    auto *cacheFile = new std::string(bytes);
    std::optional<blocking::FilterEngine> engine = blocking::FilterEngine::deserialize(*cacheFile);
    delete cacheFile;
    const Memory loaded = memoryNow();
    figures[QStringLiteral("memory_loaded")] = loaded.heapMb - before.heapMb;

    std::size_t blocked = 0;
    for (const blocking::Request &r : requests)
        blocked += engine->shouldBlock(r);
    blocked = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool block = engine->shouldBlock(requests[i]);
        const auto end = std::chrono::steady_clock::now();
        times[i] = std::chrono::duration<double, std::micro>(end - start).count();
        decisions[i] = block;
        blocked += block;
    }
    const Memory after = memoryNow();
    // The cache must decide as the lists it was made from.
    if (decisions != parsedDecisions)
        fail(QStringLiteral("the engine loaded from its cache decides otherwise than the one parsed"));
    figures[QStringLiteral("memory")] = after.heapMb - before.heapMb;
    figures[QStringLiteral("memory_rss")] = after.rssMb - before.rssMb;
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    figures[QStringLiteral("match_median")] = n % 2 || !n ? quantile(times, 0.5) : (times[n / 2 - 1] + times[n / 2]) / 2;
    figures[QStringLiteral("match_p99")] = quantile(times, 0.99);
    figures[QStringLiteral("blocked")] = requests.empty() ? 0 : 100.0 * double(blocked) / double(requests.size());
    return figures;
}

void printFigures(const std::map<QString, double> &figures, const QString &prefix)
{
    static const std::map<QString, const char *> units = {
        {QStringLiteral("rules"), "rules"}, {QStringLiteral("parse"), "ms"}, {QStringLiteral("serialized"), "MB"},
        {QStringLiteral("load"), "ms"}, {QStringLiteral("memory_loaded"), "MB"}, {QStringLiteral("memory"), "MB"},
        {QStringLiteral("memory_rss"), "MB"}, {QStringLiteral("blocked"), "%"}};
    for (const char *name : {"rules", "parse", "serialized", "load", "memory_loaded", "memory", "memory_rss",
                             "match_median", "match_p99", "blocked"}) {
        const auto it = figures.find(QLatin1String(name));
        if (it == figures.end())
            continue;
        const QByteArray figure = (prefix + it->first).toUtf8();
        if (it->first.startsWith(QLatin1String("match_")))
            printMicros(figure.constData(), it->second);
        else
            std::printf("%s %.*f %s\n", figure.constData(), it->first == QLatin1String("rules") ? 0 : 1, it->second,
                        units.at(it->first));
    }
}

// Copies what runs Ghostery into the build folder and installs the pinned
// package there when it is not yet (or its lock file changed); empty when
// npm could not install it.
QString prepareGhostery()
{
    const QString source = QStringLiteral(VEXEL_BENCH_SOURCE_DIR "/contentblocking/ghostery/");
    const QString work = QStringLiteral(VEXEL_BENCH_BINARY_DIR "/ghostery/");
    QDir().mkpath(work);
    bool lockChanged = false;
    for (const char *name : {"package.json", "package-lock.json", "run.mjs"}) {
        QFile from(source + QLatin1String(name));
        if (!from.open(QIODevice::ReadOnly))
            fail(QStringLiteral("cannot read ") + from.fileName());
        const QByteArray bytes = from.readAll();
        QFile to(work + QLatin1String(name));
        if (to.open(QIODevice::ReadOnly) && to.readAll() == bytes)
            continue;
        to.close();
        writeBenchFile(to.fileName(), bytes);
        lockChanged = lockChanged || qstrcmp(name, "run.mjs") != 0;
    }
    if (lockChanged || !QFile::exists(work + QStringLiteral("node_modules/@ghostery/adblocker/package.json"))) {
        std::fprintf(stderr, "# npm ci in %s\n", qPrintable(work));
        QProcess npm;
        npm.setWorkingDirectory(work);
        npm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        npm.start(QStringLiteral("npm"), {QStringLiteral("ci"), QStringLiteral("--ignore-scripts"),
                                          QStringLiteral("--no-audit"), QStringLiteral("--no-fund")});
        if (!npm.waitForFinished(-1) || npm.exitStatus() != QProcess::NormalExit || npm.exitCode() != 0) {
            QFile::remove(work + QStringLiteral("package-lock.json"));  // so the next run tries again
            return QString();
        }
    }
    return work;
}

std::map<QString, double> runGhostery(const Options &o, const QString &work, const QString &decisionsPath)
{
    // Node runs in the build folder: the files are passed by absolute path.
    QStringList args{QStringLiteral("--expose-gc"), work + QStringLiteral("run.mjs"), QStringLiteral("--corpus"),
                     QFileInfo(o.corpus).absoluteFilePath(), QStringLiteral("--decisions"), decisionsPath};
    for (const QString &list : o.lists)
        args << QStringLiteral("--list") << QFileInfo(list).absoluteFilePath();
    QProcess node;
    node.setWorkingDirectory(work);
    node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    node.start(QStringLiteral("node"), args);
    if (!node.waitForFinished(-1) || node.exitStatus() != QProcess::NormalExit || node.exitCode() != 0)
        fail(QStringLiteral("the Ghostery run failed"));
    std::map<QString, double> figures;
    for (const QByteArray &line : node.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3)
            figures[QString::fromLatin1(fields[0])] = fields[1].toDouble();
    }
    return figures;
}

std::vector<char> readDecisions(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + path);
    std::vector<char> decisions;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty())
            decisions.push_back(line == "1");
    return decisions;
}

void printRatio(const char *figure, const std::map<QString, double> &ours, const std::map<QString, double> &theirs,
                const char *name)
{
    const auto a = ours.find(QLatin1String(name));
    const auto b = theirs.find(QLatin1String(name));
    if (a == ours.end() || b == theirs.end() || b->second <= 0)
        return;
    std::printf("%s %.2f x\n", figure, a->second / b->second);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options o = parseOptions(QCoreApplication::arguments());

    bool ghostery = o.ghostery == Options::On;
    if (o.ghostery == Options::Auto) {
        ghostery = !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() &&
                   !QStandardPaths::findExecutable(QStringLiteral("npm")).isEmpty();
        if (!ghostery)
            std::fprintf(stderr, "# node or npm missing: no Ghostery comparison\n");
    }

    const std::string corpusText = readFile(o.corpus);
    const std::vector<Line> lines = splitCorpus(corpusText);
    std::printf("requests %zu requests\n", lines.size());

    std::vector<char> decisions;
    const std::map<QString, double> ours = runOurs(o, lines, decisions);
    printFigures(ours, QString());
    if (!o.decisions.isEmpty())
        writeDecisions(o.decisions, decisions);
    if (!ghostery)
        return 0;

    const QString work = prepareGhostery();
    if (work.isEmpty()) {
        if (o.ghostery == Options::On)
            fail(QStringLiteral("npm could not install @ghostery/adblocker"));
        std::fprintf(stderr, "# npm could not install @ghostery/adblocker: no Ghostery comparison\n");
        return 0;
    }
    QTemporaryDir temp;
    const QString theirPath = temp.path() + QStringLiteral("/ghostery-decisions.txt");
    const std::map<QString, double> theirs = runGhostery(o, work, theirPath);
    printFigures(theirs, QStringLiteral("ghostery_"));
    printRatio("ratio_match_median", ours, theirs, "match_median");
    printRatio("ratio_match_p99", ours, theirs, "match_p99");
    printRatio("ratio_load", ours, theirs, "load");
    printRatio("ratio_memory", ours, theirs, "memory");

    const std::vector<char> other = readDecisions(theirPath);
    if (other.size() != decisions.size())
        fail(QStringLiteral("Ghostery decided %1 requests, we %2").arg(other.size()).arg(decisions.size()));
    std::size_t same = 0;
    int shown = 0;
    for (std::size_t i = 0; i < decisions.size(); ++i) {
        if (decisions[i] == other[i]) {
            ++same;
            continue;
        }
        if (shown++ < o.diff) {
            const Line &l = lines[i];
            std::printf("# differs line %zu: ours %d ghostery %d\t%.*s\t%.*s\t%.*s\n", i + 1, int(decisions[i]),
                        int(other[i]), int(l.type.size()), l.type.data(), int(l.url.size()), l.url.data(),
                        int(l.page.size()), l.page.data());
        }
    }
    std::printf("agreement %.3f %%\n", decisions.empty() ? 100 : 100.0 * double(same) / double(decisions.size()));
    std::printf("differing %zu requests\n", decisions.size() - same);
    return 0;
}
