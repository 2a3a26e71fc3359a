// SPDX-License-Identifier: GPL-3.0-or-later
// Side by side: Vexel in both engine slots, the bare engine windows
// (firstpage_webengine, firstpage_webkit), Falkon (Qt WebEngine) and GNOME Web
// (WebKitGTK), each started afresh in every round, the order rotating by one
// each round; medians over the rounds.
//
// Run it as
//     bench/install-peers                # once: Falkon and GNOME Web from Debian
//     scripts/bench --peers sidebyside   # builds, installs the peers, runs this alone
//     xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build/bin/bench_sidebyside
//         [--rounds 5] [--warmup 1] [--only vexel_ie,falkon] [--bin DIR] [--keep]
// --bin takes Vexel and the bare windows from another build's bin folder
// (today's, to see that a change made nothing slower).
// A peer that is not installed is left out and said so. Run as root for the
// memory counted on physical pages (see sidebyside_memory.h); others get the
// plain Pss sum only. --keep leaves the run's folders (with each start's
// output in <contestant>.log) in place.
//
// Every start gets a fresh HOME, XDG folders and runtime folder (Vexel also a
// fresh program folder whose config.ini checks the slot), so no profile, first
// run state or session of an earlier start carries over; all share one D-Bus
// session bus of this run (GNOME Web needs one to take a further window) and
// GSettings kept in a file (GNOME Web's safe browsing and filter downloads off:
// nothing leaves the machine). Every page comes from our loopback server.
//
// Figures per contestant, from the exec of its program:
// - frame_shown: its first top-level window mapped on the X root (MapNotify,
//   the window's _NET_WM_PID inside the started process tree);
// - first_page: `program URL` until the page's image request reaches us;
// - further_window: while it runs, one more command line opening a second
//   page in a new window, until that page's image request reaches us:
//   `vexel URL2` (the running Vexel opens it), `falkon --open-window URL2`,
//   `epiphany --new-window URL2`; the bare windows have none;
// - memory_tree / memory_unshared / memory_pss: the process tree 1.5 s after
//   the first page's image was asked for (see sidebyside_memory.h).
// Then the ratios the goals are stated in, each with its goal (memory on
// memory_tree, which no other program moves), and the load average at the start and at the end; the same
// medians as a table last. Others' work on the machine skews the times: the
// figures that count come from an idle machine.

#include "benchsupport.h"
#include "sidebyside_memory.h"
#include "sidebyside_server.h"
#include "sidebyside_x11.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int kTimeoutMs = 60000;
const int kSettleMs = 1500;

struct Contestant {
    QByteArray key;
    QString label;
    QString program;
    QStringList (*firstArgs)(const QString &url);
    QStringList (*furtherArgs)(const QString &url);  // null: no further window
    QByteArray vexelSlot;                            // non-empty: a Vexel copy on that slot
    QList<double> frame, first, further, tree, unshared, pss;
};

QStringList plain(const QString &url) { return {url}; }
QStringList newWindow(const QString &url) { return {QStringLiteral("--new-window"), url}; }
QStringList openWindow(const QString &url) { return {QStringLiteral("--open-window"), url}; }

double valueOrNan(const QList<double> &values) { return values.isEmpty() ? NAN : median(values); }

// Waits, handling events, until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(2);
    if (!done())
        loop.exec();
    return done();
}

// Kills the process and all its descendants; with keep, every descendant
// of this program but keep: whatever a browser left behind, as its orphans
// come to us (the subreaper), so nothing runs on into the next start.
void killTree(qint64 root, qint64 keep = 0)
{
    for (int attempt = 0; attempt < 250; ++attempt) {
        ProcessTree tree = processTree(root);
        tree.alive.removeAll(::getpid());
        tree.alive.removeAll(keep);
        for (qint64 pid : processTree(keep).alive)
            tree.alive.removeAll(pid);
        if (root == ::getpid()) {
            // The browsers' QProcesses are done: any zombie left is an orphan.
            for (qint64 pid : tree.zombies)
                ::waitpid(pid_t(pid), nullptr, WNOHANG);
        }
        if (tree.alive.isEmpty())
            return;
        for (qint64 pid : tree.alive)
            ::kill(pid_t(pid), SIGKILL);
        waitUntil([] { return false; }, 20);
    }
    std::fprintf(stderr, "# processes of the last start still run: the next figures may be off\n");
}

// Hard links every file the program needs into dir (a copy across file systems).
bool linkProgram(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &info : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString name = info.fileName();
        if (name.startsWith(QLatin1String("test")) || name.startsWith(QLatin1String("bench_"))
            || name.startsWith(QLatin1String("firstpage_")))
            continue;
        const QString target = to + QLatin1Char('/') + name;
        if (info.isDir()) {
            if (!linkProgram(info.filePath(), target))
                return false;
        } else if (::link(QFile::encodeName(info.filePath()).constData(), QFile::encodeName(target).constData()) != 0
                   && !QFile::copy(info.filePath(), target)) {
            return false;
        }
    }
    return true;
}

class Bench {
public:
    Bench(QString root, QProcessEnvironment base) : root_(std::move(root)), base_(std::move(base))
    {
        server_.onImageRequested = [this](const QByteArray &token) {
            if (token == waitingToken_ && imageMs_ < 0)
                imageMs_ = clock_.nsecsElapsed() / 1e6;
        };
        watcher_.onTopLevelMapped = [this](std::uint32_t pid) {
            // The moment first: finding the process tree takes a while.
            const double ms = clock_.nsecsElapsed() / 1e6;
            if (frameMs_ < 0 && rootPid_ > 0 && (pid == 0 || processTree(rootPid_).alive.contains(pid)))
                frameMs_ = ms;
        };
    }

    bool open() { return server_.listen() && watcher_.open(); }
    void keepRunning(qint64 bus) { busPid_ = bus; }
    void keepFolders(bool keep) { keepFolders_ = keep; }
    bool anyFailed() const { return failed_; }

    // One start of c: its figures appended, or a line saying what failed.
    void start(Contestant &c, int round, bool counted)
    {
        const QString dir = root_ + QStringLiteral("/%1-%2").arg(QString::fromLatin1(c.key)).arg(round);
        QProcessEnvironment env = freshEnvironment(dir);
        QString program = c.program;
        if (!c.vexelSlot.isEmpty()) {
            if (!linkProgram(c.program, dir + QStringLiteral("/program"))) {
                std::fprintf(stderr, "%s: cannot set up its program folder\n", c.key.constData());
                return;
            }
            writeBenchFile(dir + QStringLiteral("/program/config.ini"),
                           "[General]\r\nLastEngine=" + c.vexelSlot + "\r\n[Option_Main]\r\nMozilla=1\r\n");
            program = dir + QStringLiteral("/program/vexel");
        }
        const QString log = root_ + QLatin1Char('/') + QString::fromLatin1(c.key) + QStringLiteral(".log");

        QProcess browser;
        prepare(browser, env, dir, log);
        const QByteArray token1 = c.key + '-' + QByteArray::number(round) + "-1";
        frameMs_ = imageMs_ = -1;
        waitingToken_ = token1;
        clock_.start();
        browser.start(program, c.firstArgs(server_.pageUrl(token1)));
        if (!browser.waitForStarted(kTimeoutMs)) {
            std::fprintf(stderr, "%s: %s does not start\n", c.key.constData(), qPrintable(program));
            return;
        }
        rootPid_ = browser.processId();
        const bool shown = waitUntil([this] { return frameMs_ >= 0 && imageMs_ >= 0; }, kTimeoutMs);
        const double frame = frameMs_, first = imageMs_;
        double further = -1;
        TreeMemory memory;
        if (shown) {
            waitUntil([] { return false; }, kSettleMs);
            memory = treeMemory(rootPid_);
            if (c.furtherArgs) {
                QProcess command;
                prepare(command, env, dir, log);
                const QByteArray token2 = c.key + '-' + QByteArray::number(round) + "-2";
                imageMs_ = -1;
                waitingToken_ = token2;
                clock_.start();
                command.start(program, c.furtherArgs(server_.pageUrl(token2)));
                if (waitUntil([this] { return imageMs_ >= 0; }, kTimeoutMs))
                    further = imageMs_;
                if (command.state() != QProcess::NotRunning)
                    killTree(command.processId());
                command.waitForFinished(5000);
            }
        }
        killTree(rootPid_);
        browser.waitForFinished(5000);
        killTree(::getpid(), busPid_);
        rootPid_ = 0;
        waitingToken_.clear();
        // Profiles and caches add up over many rounds; a failed start's stay
        // to be looked into.
        if (!shown || (c.furtherArgs && further < 0))
            failed_ = true;
        else if (!keepFolders_)
            QDir(dir).removeRecursively();

        std::fprintf(stderr, "# %-12s round %d%s: frame %.0f ms, first page %.0f ms, further %.0f ms, %.0f MB (tree), %.0f MB (unshared), %.0f MB (pss)\n",
                     c.key.constData(), round, counted ? "" : " (warm-up)", frame, first, further, memory.treeMb,
                     memory.unsharedMb, memory.pssMb);
        if (!shown) {
            std::fprintf(stderr, "%s: %s within %d s (see %s)\n", c.key.constData(),
                         frame < 0 ? "no window was shown" : "the page was not asked for", kTimeoutMs / 1000,
                         qPrintable(log));
            return;
        }
        if (!counted)
            return;
        c.frame.append(frame);
        c.first.append(first);
        if (further >= 0)
            c.further.append(further);
        else if (c.furtherArgs)
            std::fprintf(stderr, "%s: the further window's page was not asked for\n", c.key.constData());
        c.pss.append(memory.pssMb);
        if (memory.treeMb >= 0) {
            c.tree.append(memory.treeMb);
            c.unshared.append(memory.unsharedMb);
        }
    }

private:
    QProcessEnvironment freshEnvironment(const QString &dir) const
    {
        QProcessEnvironment env = base_;
        const QString home = dir + QStringLiteral("/home");
        const QString runtime = dir + QStringLiteral("/runtime");
        for (const QString &path : {home, runtime, dir + QStringLiteral("/cwd")})
            QDir().mkpath(path);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        QDir().mkpath(home + QStringLiteral("/.config/glib-2.0/settings"));
        writeBenchFile(home + QStringLiteral("/.config/glib-2.0/settings/keyfile"),
                       "[org/gnome/epiphany]\nrestore-session-policy='never'\ncontent-filters=@as []\n"
                       "[org/gnome/epiphany/web]\nenable-safe-browsing=false\nenable-adblock=false\n");
        return env;
    }

    static void prepare(QProcess &process, const QProcessEnvironment &env, const QString &dir, const QString &log)
    {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir + QStringLiteral("/cwd"));
        process.setStandardOutputFile(log, QIODevice::Append);
        process.setStandardErrorFile(log, QIODevice::Append);
    }

    QString root_;
    QProcessEnvironment base_;
    PageServer server_;
    MapWatcher watcher_;
    QElapsedTimer clock_;
    QByteArray waitingToken_;
    qint64 rootPid_ = 0;
    qint64 busPid_ = 0;
    bool keepFolders_ = false;
    bool failed_ = false;
    double frameMs_ = -1, imageMs_ = -1;
};

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

void printMedian(const Contestant &c, const char *figure, const QList<double> &values, const char *unit)
{
    if (values.isEmpty())
        return;
    printFigure(QByteArray("sidebyside." + c.key + '.' + figure).constData(), median(values), unit);
}

void printRatio(const char *figure, double a, double b, const char *goal)
{
    if (std::isnan(a) || std::isnan(b) || b <= 0) {
        std::printf("# %s: not known (a contestant is missing)\n", figure);
        return;
    }
    const double ratio = a / b;
    std::printf("sidebyside.ratio.%s %.3f x\n", figure, ratio);
    if (*goal)
        std::printf("#   goal %s: %s\n", goal, ratio <= std::atof(goal + 2) ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // What a browser leaves running when it is killed comes to us, not init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    int rounds = 5, warmup = 1;
    bool keep = false;
    QStringList only;
    // Where vexel and the bare windows are: another build's to compare with.
    QString bin = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--warmup") && i + 1 < args.size())
            warmup = std::max(0, args[++i].toInt());
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            only = args[++i].split(QLatin1Char(','));
        else if (args[i] == QLatin1String("--bin") && i + 1 < args.size())
            bin = QDir(args[++i]).absolutePath();
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else {
            std::fprintf(stderr, "usage: bench_sidebyside [--rounds N] [--warmup N] [--only KEY,...] [--bin DIR] [--keep]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_sidebyside needs an X display (run it under xvfb-run)\n");
        return 2;
    }

    // Beside the build, so that Vexel's program folders are hard links;
    // where that cannot be written, in the temporary folder, as copies.
    auto rootDir = std::make_unique<QTemporaryDir>(bin + QStringLiteral("/../sidebyside-XXXXXX"));
    if (!rootDir->isValid())
        rootDir = std::make_unique<QTemporaryDir>();
    QTemporaryDir &root = *rootDir;
    if (!root.isValid()) {
        std::fprintf(stderr, "cannot make the run's folder\n");
        return 1;
    }
    root.setAutoRemove(!keep);

    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_ID", "XDG_CURRENT_DESKTOP"})
        base.remove(QLatin1String(name));
    if (::geteuid() == 0)
        base.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    if (!base.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
        base.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    base.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    base.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Mesa's shader cache is the user's, not a profile's: one for the run,
    // filled by the warm-up round as a machine's is by earlier starts.
    base.insert(QStringLiteral("MESA_SHADER_CACHE_DIR"), root.path() + QStringLiteral("/mesa-shader-cache"));
    // Helpers started through D-Bus would run outside the measured tree.
    base.insert(QStringLiteral("GIO_USE_VFS"), QStringLiteral("local"));

    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                               QStringLiteral("--print-address=1")});
    QByteArray busAddress;
    if (bus.waitForStarted(5000) && bus.waitForReadyRead(5000))
        busAddress = bus.readLine().trimmed();
    if (busAddress.isEmpty())
        std::fprintf(stderr, "# no D-Bus session bus of our own: GNOME Web's further window will fail\n");
    else
        base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(busAddress));

    auto peer = [](const char *name) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        return path;
    };
    QList<Contestant> all = {
        {"vexel_ie", QStringLiteral("Vexel, Internet Explorer slot"), bin, plain, plain, "IE", {}, {}, {}, {}, {}, {}},
        {"vexel_gecko", QStringLiteral("Vexel, Gecko slot"), bin, plain, plain, "Gecko", {}, {}, {}, {}, {}, {}},
        {"bare_webengine", QStringLiteral("bare Qt WebEngine window"), bin + QStringLiteral("/firstpage_webengine"), plain, nullptr, {}, {}, {}, {}, {}, {}, {}},
        {"bare_webkit", QStringLiteral("bare WebKitGTK window"), bin + QStringLiteral("/firstpage_webkit"), plain, nullptr, {}, {}, {}, {}, {}, {}, {}},
        {"falkon", QStringLiteral("Falkon (Qt WebEngine)"), peer("falkon"), plain, openWindow, {}, {}, {}, {}, {}, {}, {}},
        {"gnome_web", QStringLiteral("GNOME Web (WebKitGTK)"), peer("epiphany"), plain, newWindow, {}, {}, {}, {}, {}, {}, {}},
    };
    QList<Contestant *> field;
    for (Contestant &c : all) {
        if (!only.isEmpty() && !only.contains(QString::fromLatin1(c.key)))
            continue;
        const QString exe = c.vexelSlot.isEmpty() ? c.program : c.program + QStringLiteral("/vexel");
        if (c.program.isEmpty() || !QFileInfo(exe).isExecutable()) {
            const bool ours = c.program.startsWith(bin);
            std::printf("# %s: %s\n", c.key.constData(),
                        ours ? "not built" : "not installed (bench/install-peers installs Falkon and GNOME Web)");
            continue;
        }
        field.append(&c);
    }

    Bench bench(root.path(), base);
    bench.keepRunning(bus.processId());
    bench.keepFolders(keep);
    if (!bench.open()) {
        std::fprintf(stderr, "cannot listen on loopback or watch the X display\n");
        return 1;
    }
    const QByteArray loadStart = loadAverage();
    for (int round = 0; round < warmup + rounds; ++round) {
        for (qsizetype i = 0; i < field.size(); ++i)
            bench.start(*field[(round + i) % field.size()], round, round >= warmup);
    }
    const QByteArray loadEnd = loadAverage();
    if (bench.anyFailed()) {
        root.setAutoRemove(false);
        std::printf("# a start failed: its folder and the logs stay in %s\n", qPrintable(root.path()));
    }

    for (const Contestant *c : field) {
        if (c->first.size() < rounds)
            std::printf("# %s: %lld of %d rounds counted (see the lines above)\n", c->key.constData(),
                        static_cast<long long>(c->first.size()), rounds);
    }
    for (const Contestant &c : all) {
        printMedian(c, "frame_shown_ms", c.frame, "ms");
        printMedian(c, "first_page_ms", c.first, "ms");
        printMedian(c, "further_window_ms", c.further, "ms");
        printMedian(c, "memory_tree_mb", c.tree, "MB");
        printMedian(c, "memory_unshared_mb", c.unshared, "MB");
        printMedian(c, "memory_pss_mb", c.pss, "MB");
    }
    auto figure = [&all](const char *key, QList<double> Contestant::*values) {
        for (const Contestant &c : all) {
            if (c.key == key)
                return valueOrNan(c.*values);
        }
        return double(NAN);
    };
    using C = Contestant;
    printRatio("frame_shown_vexel_ie_falkon", figure("vexel_ie", &C::frame), figure("falkon", &C::frame), "<=0.45");
    printRatio("frame_shown_vexel_gecko_falkon", figure("vexel_gecko", &C::frame), figure("falkon", &C::frame), "<=0.45");
    printRatio("first_page_ie_falkon", figure("vexel_ie", &C::first), figure("falkon", &C::first), "<=0.6");
    printRatio("first_page_ie_bare_webengine", figure("vexel_ie", &C::first), figure("bare_webengine", &C::first), "<=0.8");
    printRatio("first_page_gecko_gnome_web", figure("vexel_gecko", &C::first), figure("gnome_web", &C::first), "<=0.75");
    printRatio("memory_tree_gecko_gnome_web", figure("vexel_gecko", &C::tree), figure("gnome_web", &C::tree), "<=0.9");
    printRatio("memory_unshared_gecko_gnome_web", figure("vexel_gecko", &C::unshared), figure("gnome_web", &C::unshared), "");
    printRatio("memory_pss_gecko_gnome_web", figure("vexel_gecko", &C::pss), figure("gnome_web", &C::pss), "");
    std::printf("# load average (1, 5, 15 min) at start: %s, at end: %s\n", loadStart.constData(), loadEnd.constData());
    printFigure("sidebyside.load_start_1min", loadStart.split(' ').value(0).toDouble(), "load");
    printFigure("sidebyside.load_end_1min", loadEnd.split(' ').value(0).toDouble(), "load");

    // The same as a table, medians of the rounds.
    std::printf("#\n# %-32s %12s %12s %14s %10s %10s %10s\n", "", "frame shown", "first page", "further window",
                "mem tree", "unshared", "mem pss");
    auto cell = [](const QList<double> &values, const char *unit) {
        return values.isEmpty() ? QByteArray("-") : QByteArray::number(median(values), 'f', 0) + ' ' + unit;
    };
    for (const Contestant &c : all) {
        if (c.frame.isEmpty())
            continue;
        std::printf("# %-32s %12s %12s %14s %10s %10s %10s\n", qPrintable(c.label), cell(c.frame, "ms").constData(),
                    cell(c.first, "ms").constData(), cell(c.further, "ms").constData(), cell(c.tree, "MB").constData(),
                    cell(c.unshared, "MB").constData(), cell(c.pss, "MB").constData());
    }
    std::fflush(stdout);
    bus.kill();
    bus.waitForFinished(5000);
    return 0;
}
