// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport.h"

#include "core/errors.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "browser/browserwindow.h"
#include "browser/contentblocking.h"
#include "core/programdir.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

TestDirs::TestDirs() : previousCwd_(QDir::currentPath())
{
    setExecutableDirectoryForTesting(program_.path());
    QDir::setCurrent(current_.path());
}

TestDirs::~TestDirs()
{
    setExecutableDirectoryForTesting(QString());
    QDir::setCurrent(previousCwd_);
}

QString TestDirs::programDir() const
{
    return program_.path() + QLatin1Char('/');
}

QString TestDirs::currentDir() const
{
    return current_.path();
}

QString TestDirs::iniPath() const
{
    return programDir() + QStringLiteral("config.ini");
}

void TestDirs::writeIni(const QByteArray &bytes) const
{
    QFile f(iniPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the test's config.ini");
    f.write(bytes);
}

QString TestDirs::writePage(const QString &name, const QByteArray &bytes) const
{
    const QString path = currentDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write a test page");
    f.write(bytes);
    return path;
}

QByteArray TestDirs::readIni() const
{
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

RuntimeDir::RuntimeDir() : previous_(qgetenv("XDG_RUNTIME_DIR"))
{
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
}

RuntimeDir::~RuntimeDir()
{
    qputenv("XDG_RUNTIME_DIR", previous_);
}

ErrorRecorder::ErrorRecorder()
{
    setErrorSink([this](const QString &text) { messages.append(text); });
}

ErrorRecorder::~ErrorRecorder()
{
    setErrorSink({});
}

ScriptedEngine::ScriptedEngine(QWidget *parent) : EngineControl(parent)
{
    setMinimumSize(1, 1);
}

static void failIfAsked(const QString &failWith)
{
    if (!failWith.isEmpty())
        throw VexelError(failWith);
}

void ScriptedEngine::record(const QString &call)
{
    calls << call;
    failIfAsked(failWith);
}

void ScriptedEngine::Navigate(const QString &address) { record(QStringLiteral("Navigate ") + address); }
void ScriptedEngine::GoBack() { record(QStringLiteral("GoBack")); }
void ScriptedEngine::GoForward() { record(QStringLiteral("GoForward")); }
void ScriptedEngine::Stop() { record(QStringLiteral("Stop")); }
void ScriptedEngine::Refresh() { record(QStringLiteral("Refresh")); }
void ScriptedEngine::RefreshBypassingCache() { record(QStringLiteral("RefreshBypassingCache")); }

QByteArray ScriptedEngine::SaveHistory() const
{
    return savedHistory;
}

bool ScriptedEngine::RestoreHistory(const QByteArray &state)
{
    record(QStringLiteral("RestoreHistory ") + QString::fromUtf8(state));
    return !state.isEmpty();
}

void ScriptedEngine::FindText(const QString &text, bool backward)
{
    calls << QStringLiteral("Find%1 %2").arg(backward ? QStringLiteral("Back") : QString(), text);
}

void ScriptedEngine::SetZoomFactor(qreal factor)
{
    calls << QStringLiteral("Zoom %1").arg(factor);
    zoom = factor;
}

QString ScriptedEngine::LocationURL() const
{
    if (failLocation)
        throw VexelError(QStringLiteral("LocationURL failed"));
    return location;
}

ScriptedEngines::ScriptedEngines(Slots which)
{
    auto factory = [this](QWidget *parent) -> EngineControl * {
        auto *e = new ScriptedEngine(parent);
        made.append(e);
        return e;
    };
    if (which != MozillaOnly)
        previousIE_ = engines::registerEngine(engines::IE_CLSID, factory);
    else
        previousIE_ = engines::registerEngine(engines::IE_CLSID, {});
    if (which != IEOnly)
        previousMoz_ = engines::registerEngine(engines::MOZILLA_CLSID, factory);
    else
        previousMoz_ = engines::registerEngine(engines::MOZILLA_CLSID, {});
}

ScriptedEngines::~ScriptedEngines()
{
    engines::registerEngine(engines::IE_CLSID, previousIE_);
    engines::registerEngine(engines::MOZILLA_CLSID, previousMoz_);
}

Forms::Forms()
{
    createForms();
}

Forms::~Forms()
{
    destroyForms();
}

int vexelTestMain(int argc, char *argv[], QObject *testObject, const std::function<void()> &beforeApplication)
{
    // Engine data and caches of a test run never reach the user's folders.
    static QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test program compiles the system's filter lists at its first
    // window; those that filter bring lists of their own.
    ContentBlocking::setPackagedListsForTesting({});
    if (beforeApplication)
        beforeApplication();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexel"));
    QApplication::setQuitOnLastWindowClosed(false);
    return QTest::qExec(testObject, argc, argv);
}

void ScriptedCase::endWithoutErrors()
{
    const QStringList errors = end();
    QVERIFY2(errors.isEmpty() || QTest::currentTestFailed(), qPrintable(errors.join('|')));
}

TBrowserWindow *ScriptedCase::open(bool ie, const QString &address)
{
    if (ie)
        MainForm->IE_itemClick();
    else
        MainForm->Moz_ItemClick();
    MainForm->OpenBrowserWindow(QString(), address);
    return MainForm->ActiveMDIChild();
}

ScriptedEngine *ScriptedCase::engineOf(TBrowserWindow *window)
{
    return static_cast<ScriptedEngine *>(window->control());
}

void ScriptedCase::begin()
{
    dirs_ = std::make_unique<TestDirs>();
    dirs_->writeIni("[Option_Main]\r\nMozilla=1\r\n");
    errors_ = std::make_unique<ErrorRecorder>();
    engines_ = std::make_unique<ScriptedEngines>();
    forms_ = std::make_unique<Forms>();
}

QStringList ScriptedCase::end()
{
    forms_.reset();
    engines_.reset();
    const QStringList messages = errors_->messages;
    errors_.reset();
    dirs_.reset();
    return messages;
}
