// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program keeps config.ini and bookmark.xml in its two layouts:
// portable (beside the program, and the start directory) and installed (the
// user's settings folder, ~/.config/Vexel).

#include "app/forms.h"
#include "app/mainform.h"
#include "core/programdir.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkfile.h"
#include "settings/option.h"
#include "settings/profile.h"
#include "testsupport.h"

#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <sys/stat.h>

namespace {

const QByteArray kBookmarks = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n"
                              "<bookmark><file><name>Mine</name><url>http://mine/</url></file></bookmark>\n";

// The installed layout over a configuration home of the case's own; the
// test's program directory (TestDirs) is set aside so the real rule applies.
class InstalledLayout {
public:
    InstalledLayout() : previousHome_(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path()));
        setExecutableDirectoryForTesting(QString());
        setInstalledLayout(true);
    }
    ~InstalledLayout()
    {
        setInstalledLayout(false);
        qputenv("XDG_CONFIG_HOME", previousHome_);
    }
    QString home() const { return home_.path(); }
    QString folder() const { return home_.path() + QStringLiteral("/Vexel/"); }

private:
    QTemporaryDir home_;
    QByteArray previousHome_;
};

QWidget *visibleOptionDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<Tfrm_Option *>(w) && w->isVisible())
            return w;
    return nullptr;
}

QStringList bookmarkCaptions()
{
    QStringList captions;
    for (QAction *a : MainForm->mnuBookMark->actions().mid(2))
        captions << a->text();
    return captions;
}

}  // namespace

class TestInstalledLayout : public QObject {
    Q_OBJECT
private slots:
    void folders_data();
    void folders();
    void firstStartOptionsAndCloseWriteTheUserFolder();
    void bookmarksLiveInTheUserFolder();
    void readOnlySettingsFolderIsReported();
};

void TestInstalledLayout::folders_data()
{
    boolRows("installed", "portable", "installed");
}

// Portable: beside the executable, and the start directory. Installed: both
// in the user's folder, created on first use.
void TestInstalledLayout::folders()
{
    QFETCH(bool, installed);
    TestDirs dirs;
    InstalledLayout layout;
    setInstalledLayout(installed);
    QVERIFY(!QFileInfo::exists(layout.folder()));
    const QString program = installed ? layout.folder() : QCoreApplication::applicationDirPath() + "/";
    QCOMPARE(programDirectory(), program);
    QCOMPARE(bookmarkDirectory(), installed ? layout.folder() : QDir::currentPath());
    QCOMPARE(QFileInfo(layout.folder()).isDir(), installed);
}

void TestInstalledLayout::firstStartOptionsAndCloseWriteTheUserFolder()
{
    TestDirs dirs;
    InstalledLayout layout;
    ErrorRecorder errors;
    const QString besideProgram = QCoreApplication::applicationDirPath() + "/config.ini";
    const bool hadBeside = QFileInfo::exists(besideProgram);
    ScriptedEngines engines;
    Forms forms;
    const QString ini = layout.folder() + "config.ini";
    QCOMPARE(MainForm->ProgramDir, layout.folder());
    QWidget *dialog = visibleOptionDialog();
    QVERIFY(dialog);  // first start: no settings file yet
    dialog->findChild<QPushButton *>("Button1")->click();
    QCOMPARE(profile::readInteger(ini, "Option_Main", "Mozilla", -1), 0);
    MainForm->close();
    QCOMPARE(profile::readString(ini, "General", "LastEngine", QString()), QString("IE"));
    QVERIFY(errors.messages.isEmpty());
    QCOMPARE(QFileInfo::exists(besideProgram), hadBeside);
    QVERIFY(QDir(dirs.programDir()).isEmpty());
    QVERIFY(QDir(dirs.currentDir()).isEmpty());
}

void TestInstalledLayout::bookmarksLiveInTheUserFolder()
{
    TestDirs dirs;
    InstalledLayout layout;
    ErrorRecorder errors;
    QVERIFY(QDir().mkpath(layout.folder()));
    QFile mine(layout.folder() + "bookmark.xml");
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.write(kBookmarks);
    mine.close();
    // A file in the start directory is not the installed program's.
    dirs.writePage("bookmark.xml", QByteArray(kBookmarks).replace("Mine", "Stray"));
    Forms forms;
    QCOMPARE(bookmarks::bookmarkFilePath(), layout.folder() + "bookmark.xml");
    QCOMPARE(bookmarkCaptions(), QStringList{"&Mine"});
    MainForm->mnuEdit->trigger();
    frm_BMEdit->txtName->setText("Added");
    frm_BMEdit->btnAdd->click();
    frm_BMEdit->btnOK->click();
    QVERIFY(errors.messages.isEmpty());
    mine.open(QIODevice::ReadOnly);
    const QByteArray saved = mine.readAll();
    QVERIFY(saved.contains("<name>Mine</name>"));
    QVERIFY(saved.contains("<name>Added</name>"));
    QCOMPARE(QDir(dirs.currentDir()).entryList(QDir::Files), QStringList{"bookmark.xml"});
}

// A read-only settings folder: the close reports the path it could not
// write, and the program still closes.
void TestInstalledLayout::readOnlySettingsFolderIsReported()
{
    TestDirs dirs;
    InstalledLayout layout;
    ErrorRecorder errors;
    QVERIFY(QDir().mkpath(layout.folder()));
    ::chmod(QFile::encodeName(layout.folder()).constData(), 0555);
    Forms forms;
    QSignalSpy closed(MainForm, &TMainForm::closed);
    MainForm->close();
    ::chmod(QFile::encodeName(layout.folder()).constData(), 0755);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(errors.messages, QStringList{layout.folder() + "config.ini に書き込めません."});
    QVERIFY(QDir(layout.folder()).isEmpty());
}

VEXEL_TEST_MAIN(TestInstalledLayout)
#include "test_installedlayout.moc"
