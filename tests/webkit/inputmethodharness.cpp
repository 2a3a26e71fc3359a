// SPDX-License-Identifier: GPL-3.0-or-later
#include "inputmethodharness.h"

#include "webkittests.h"

#include <QStandardPaths>
#include <csignal>

QProcessEnvironment InputMethod::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = dir_.path();
    env.insert(QStringLiteral("VEXEL_TEST_INPUT_METHOD"), root);
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    // Where the frame's input context (Qt's) looks for the daemon's address.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), qEnvironmentVariable("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // Anthy's engine is a Python program for the system's Python.
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin:") + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    if (!ibusAddress_.isEmpty())
        env.insert(QStringLiteral("IBUS_ADDRESS"), ibusAddress_);
    return env;
}

bool InputMethod::startDetached(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    process.setProcessEnvironment(environment());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(dir_.filePath(QFileInfo(program).fileName() + QStringLiteral(".log")));
    return process.startDetached();
}

bool InputMethod::ibus(const QStringList &args, QByteArray *out) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("ibus"), args);
    const bool done = process.waitForFinished(20000);
    if (out)
        *out = process.readAllStandardOutput().trimmed();
    return done && process.exitStatus() == QProcess::NormalExit;
}

QString InputMethod::start()
{
    for (const char *program : {"dbus-daemon", "ibus-daemon", "ibus"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QStringLiteral("%1 is not installed (Debian: dbus-daemon, ibus, ibus-gtk3, ibus-anthy)")
                .arg(QString::fromLatin1(program));
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/share/ibus/component/anthy.xml")))
        return QStringLiteral("IBus's Anthy engine is not installed (Debian: ibus-anthy)");
    if (!dir_.isValid())
        return QStringLiteral("no temporary folder for the input method");
    const QString root = dir_.path();
    for (const char *sub : {"home", "cache", "data", "run"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Anthy starts in Latin input unless told otherwise; a user switches
    // with a key, which the test need not guess. And it commits what is
    // being composed when the field loses the focus, as Mozc does: the way
    // a word once went into a Gecko page twice.
    const QString settings = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/glib-2.0/settings");
    QDir().mkpath(settings);
    QFile keyfile(settings + QStringLiteral("/keyfile"));
    if (!keyfile.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write Anthy's settings");
    keyfile.write("[org/freedesktop/ibus/engine/anthy/common]\ninput-mode=0\nbehavior-on-focus-out=1\n");
    keyfile.close();

    const QString bus = root + QStringLiteral("/bus");
    busAddress_ = QStringLiteral("unix:path=") + bus;
    if (!startDetached(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--address=") + busAddress_}) ||
        !QTest::qWaitFor([&] { return QFileInfo::exists(bus); }, 20000))
        return QStringLiteral("cannot start a D-Bus session bus for IBus");

    const QString socket = root + QStringLiteral("/ibus");
    const QString ibusAddress = QStringLiteral("unix:path=") + socket;
    if (!startDetached(QStringLiteral("ibus-daemon"),
                       {QStringLiteral("--daemonize"), QStringLiteral("--panel=disable"),
                        QStringLiteral("--emoji-extension=disable"), QStringLiteral("--address=") + ibusAddress}) ||
        !QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000))
        return QStringLiteral("cannot start ibus-daemon");
    ibusAddress_ = ibusAddress;
    // The engine list is read from the engines' components on the first
    // request; setting the engine succeeds once Anthy is among them.
    QByteArray engine;
    const bool set = QTest::qWaitFor(
        [&] { return ibus({QStringLiteral("engine"), QStringLiteral("anthy")}) &&
                     ibus({QStringLiteral("engine")}, &engine) && engine == "anthy"; },
        30000);
    if (!set)
        return QStringLiteral("IBus does not start its Anthy engine");

    // As a desktop sets them for its programs.
    qputenv("QT_IM_MODULE", "ibus");
    qputenv("GTK_IM_MODULE", "ibus");
    qputenv("XMODIFIERS", "@im=ibus");
    qputenv("IBUS_ADDRESS", ibusAddress_.toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.toLocal8Bit());
    return QString();
}

QString InputMethod::startPanel()
{
    static const char script[] = R"(
import gi
gi.require_version('IBus', '1.0')
from gi.repository import GLib, IBus
class Panel(IBus.PanelService):
    def do_set_cursor_location(self, x, y, w, h):
        print('%d %d %d %d' % (x, y, w, h), flush=True)
IBus.init()
bus = IBus.Bus()
panel = Panel(connection=bus.get_connection(), object_path=IBus.PATH_PANEL)
if bus.request_name(IBus.SERVICE_PANEL, 0):
    print('ready', flush=True)
    GLib.MainLoop().run()
)";
    panel_.setProcessEnvironment(environment());
    panel_.setStandardErrorFile(dir_.filePath(QStringLiteral("panel.log")));
    panel_.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    const bool ready =
        QTest::qWaitFor([&] { return panel_.canReadLine() || panel_.state() == QProcess::NotRunning; }, 20000) &&
        panel_.readLine().trimmed() == "ready";
    return ready ? QString() : QStringLiteral("cannot stand in for IBus's panel (Debian: python3-gi, gir1.2-ibus-1.0)");
}

QRect InputMethod::caret()
{
    while (panel_.canReadLine()) {
        const QList<QByteArray> numbers = panel_.readLine().trimmed().split(' ');
        if (numbers.size() == 4)
            caret_ = QRect(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(), numbers[3].toInt());
    }
    return caret_;
}

QList<qint64> InputMethod::marked() const
{
    const QByteArray mark = "VEXEL_TEST_INPUT_METHOD=" + dir_.path().toLocal8Bit();
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile environ(QStringLiteral("/proc/%1/environ").arg(entry));
        if (number && environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
            found << pid;
    }
    return found;
}

InputMethod::~InputMethod()
{
    if (!dir_.isValid())
        return;
    if (panel_.state() != QProcess::NotRunning) {
        panel_.kill();
        panel_.waitForFinished();
    }
    // Every process of the run's own, by its mark: asked to end, then
    // ended for good.
    for (int round = 0; round < 2; ++round) {
        const QList<qint64> pids = marked();
        for (qint64 pid : pids)
            ::kill(pid_t(pid), round == 0 ? SIGTERM : SIGKILL);
        const bool ended = QTest::qWaitFor(
            [&] { return std::all_of(pids.begin(), pids.end(), [](qint64 p) { return processEnded(pid_t(p)); }); },
            5000);
        if (ended)
            break;
    }
}
