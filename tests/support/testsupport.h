// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every test program shares: its own program directory and current
// directory, recorded error messages instead of modal boxes, the forms
// created and destroyed around a case, and a scripted engine that raises any
// event sequence on demand.

#include "browser/enginecontrol.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>

// A program directory and a current directory of the test's own; the
// settings file and bookmark file of a case live there.
class TestDirs {
public:
    TestDirs();
    ~TestDirs();
    QString programDir() const;  // with its trailing "/"
    QString currentDir() const;
    QString iniPath() const;
    void writeIni(const QByteArray &bytes) const;
    QByteArray readIni() const;
    // Writes a file into the current directory; returns its full path.
    QString writePage(const QString &name, const QByteArray &bytes) const;

private:
    QTemporaryDir program_;
    QTemporaryDir current_;
    QString previousCwd_;
};

// A runtime folder of the case's own, as the session gives one (owner
// only), so that no other running copy answers on its sockets.
class RuntimeDir {
public:
    RuntimeDir();
    ~RuntimeDir();
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Records every message the error box would show.
class ErrorRecorder {
public:
    ErrorRecorder();
    ~ErrorRecorder();
    QStringList messages;
};

// A scripted engine control: records operations and raises events.
class ScriptedEngine : public EngineControl {
    Q_OBJECT
public:
    explicit ScriptedEngine(QWidget *parent);

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    void RefreshBypassingCache() override;
    QByteArray SaveHistory() const override;
    bool RestoreHistory(const QByteArray &state) override;
    QString LocationURL() const override;
    void FindText(const QString &text, bool backward) override;
    qreal ZoomFactor() const override { return zoom; }
    void SetZoomFactor(qreal factor) override;

    qreal zoom = 1.0;
    QStringList calls;     // "Navigate <address>", "GoBack", ...
    QString location;      // what LocationURL answers
    QString failWith;      // when set, every operation throws this
    bool failLocation = false;
    QByteArray savedHistory;  // what SaveHistory answers; restoring any but empty succeeds

    void raiseStatusText(const QString &t) { emit StatusTextChange(t); }
    void raiseProgress(int p, int max) { emit ProgressChange(p, max); }
    void raiseCommandState(NavigationCommand c, bool e) { emit CommandStateChange(c, e); }
    void raiseTitle(const QString &t) { emit TitleChange(t); }
    void raiseLoadFinished(bool ok) { emit LoadFinished(ok); }
    void raiseClose() { emit CloseRequested(); }
    void raiseFindResult(int active, int count) { emit FindResult(active, count); }
    // Records an operation, then fails it when asked to.
    void record(const QString &call);

    // Whether the frame took the request (Cancel for the engine's own window).
    bool raiseNewWindow(const QString &address)
    {
        const NewWindowRequest request(address);
        emit NewWindow2(request);
        return request.Cancel();
    }
};

// Registers scripted engines under both class IDs for its lifetime (or
// under one) and keeps the ones it made.
class ScriptedEngines {
public:
    enum Slots { Both, IEOnly, MozillaOnly };
    explicit ScriptedEngines(Slots which = Both);
    ~ScriptedEngines();
    QList<QPointer<ScriptedEngine>> made;
    ScriptedEngine *last() const { return made.isEmpty() ? nullptr : made.last().data(); }

private:
    engines::Factory previousIE_, previousMoz_;
};

// Creates the program's forms as start-up does, destroys them at the end.
class Forms {
public:
    Forms();
    ~Forms();
};

class TBrowserWindow;

// A case on the scripted engines: a program directory of its own with the
// Gecko engine enabled, an error record, scripted engines under both class
// IDs and the forms. end() takes them down and gives the errors recorded.
class ScriptedCase {
public:
    void begin();
    QStringList end();
    // end() for a test's cleanup: fails it on errors nobody expected (unless
    // it failed already).
    void endWithoutErrors();
    // A window of the chosen slot opened as File > New does, with address.
    TBrowserWindow *open(bool ie, const QString &address = QString());
    static ScriptedEngine *engineOf(TBrowserWindow *window);
    TestDirs &dirs() { return *dirs_; }
    ErrorRecorder &errors() { return *errors_; }

private:
    std::unique_ptr<TestDirs> dirs_;
    std::unique_ptr<ErrorRecorder> errors_;
    std::unique_ptr<ScriptedEngines> engines_;
    std::unique_ptr<Forms> forms_;
};

// Data rows of one boolean column: the row named no (false), then yes (true).
inline void boolRows(const char *column, const char *no, const char *yes)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(no) << false;
    QTest::newRow(yes) << true;
}

// Test program entry: a clean environment (user data and cache in a
// temporary folder), then the Qt Test run. beforeApplication runs in that
// environment before the application object exists.
int vexelTestMain(int argc, char *argv[], QObject *testObject,
                  const std::function<void()> &beforeApplication = {});

#define VEXEL_TEST_MAIN(TestClass)                      \
    int main(int argc, char *argv[])                    \
    {                                                   \
        TestClass tc;                                   \
        return vexelTestMain(argc, argv, &tc);          \
    }
