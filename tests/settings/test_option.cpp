// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog: the page tree, what it reads from and writes to
// config.ini, the Gecko switch acting on the main window at once, the
// folder picker, keys that press nothing, and refused writes.

#include "core/errors.h"
#include "core/programdir.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "settings/option.h"
#include "settings/profile.h"
#include "settings/shbffex.h"
#include "testsupport.h"
#include "folderdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <memory>
#include <sys/stat.h>

namespace {

QString readKey(const TestDirs &dirs, const char *section, const char *key)
{
    return profile::readString(dirs.iniPath(), QString::fromLatin1(section), QString::fromLatin1(key),
                               QStringLiteral("<none>"));
}

}  // namespace

class TestOption : public QObject {
    Q_OBJECT
private slots:
    void treeChoosesPage();
    void uncheckGeckoThenCancel();
    void storedPathWithGeckoOff();
    void bookMarkFiveStoredAsOne();
    void folderPicker();
    void enterAndEscPressNothing();
    void readOnlyProgramDirectory();
    void lastOkWins();
};

void TestOption::treeChoosesPage()
{
    TestDirs dirs;
    Tfrm_Option form(programDirectory());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.chkMoz->isVisible());  // the first item is selected at creation
    auto click = [&](int row) {
        QTreeWidgetItem *item = form.TreeView1->topLevelItem(row);
        QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {},
                          form.TreeView1->visualItemRect(item).center());
    };
    click(1);
    QVERIFY(form.chkWin1->isVisible());
    QVERIFY(form.chkWin2->isVisible());
    QVERIFY(!form.chkMoz->isVisible());
    click(0);
    QVERIFY(form.chkMoz->isVisible());
    QVERIFY(!form.chkWin1->isVisible());
}

void TestOption::uncheckGeckoThenCancel()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Main]\r\nMozilla=1\r\n");
    const QByteArray before = dirs.readIni();
    Forms forms;
    auto *dialog = MainForm->newOptionDialog();
    dialog->show();
    QVERIFY(MainForm->Moz_Item->isEnabled());
    QCOMPARE(dialog->txtMozPath->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::HighlightedText));

    QTest::mouseClick(dialog->chkMoz, Qt::LeftButton);
    QVERIFY(!MainForm->Moz_Item->isEnabled());  // at once, before OK or Cancel
    QVERIFY(!dialog->txtMozPath->isEnabled());
    QVERIFY(!dialog->BitBtn1->isEnabled());
    QCOMPARE(dialog->txtMozPath->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Window));

    QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!MainForm->Moz_Item->isEnabled());
    QCOMPARE(dirs.readIni(), before);
    std::unique_ptr<Tfrm_Option> next(MainForm->newOptionDialog());  // reads the 1 again
    QVERIFY(MainForm->Moz_Item->isEnabled());
}

void TestOption::storedPathWithGeckoOff()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Main]\r\nMozilla=0\r\nMozPath=C:\\Program Files\\mozilla.org\r\n");
    Tfrm_Option form(programDirectory());
    QCOMPARE(form.txtMozPath->text(), QString("C:\\Program Files\\mozilla.org"));
    QVERIFY(!form.txtMozPath->isEnabled());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(readKey(dirs, "Option_Main", "MozPath"), QString("C:\\Program Files\\mozilla.org"));
    QCOMPARE(readKey(dirs, "Option_Main", "Mozilla"), QString("0"));
}

void TestOption::bookMarkFiveStoredAsOne()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Window]\r\nBookMark=5\r\n");
    Tfrm_Option form(programDirectory());
    form.show();
    QVERIFY(form.chkWin1->isChecked());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(readKey(dirs, "Option_Window", "BookMark"), QString("1"));
    QCOMPARE(readKey(dirs, "Option_Window", "AddressBar"), QString("0"));
    // The keys land in the order they are written.
    const QByteArray written = dirs.readIni();
    QVERIFY(written.indexOf("[Option_Main]\r\nMozPath=\r\nMozilla=0\r\n") >= 0);
    QVERIFY(written.indexOf("BookMark=1\r\nAddressBar=0\r\n") >= 0);
}

void TestOption::folderPicker()
{
    TestDirs dirs;
    dirs.writeIni("[Option_Main]\r\nMozilla=1\r\nMozPath=/before\r\n");
    const QString gone = dirs.currentDir() + QStringLiteral("/gone");
    QDir().mkpath(gone);
    Tfrm_Option form(programDirectory());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QPoint placed;
    {
        WhenOpen open([&](FolderBrowserDialog *d) {
            placed = d->pos();
            press(d, "cancelButton");
        });
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        QVERIFY(open.done());
    }
    QCOMPARE(form.txtMozPath->text(), QString("/before"));
    QCOMPARE(placed, form.mapToGlobal(QPoint(0, 0)));

    // A folder that vanished after it was selected is confirmed by its name
    // alone once file-system folders only is off: true, no folder name.
    form.selectFolder->Options = {};
    WhenOpen open([&](FolderBrowserDialog *d) {
        d->selectPath(gone);
        QDir().rmdir(gone);
        press(d, "okButton");
    });
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    QCOMPARE(form.selectFolder->DisplayName(), QString("gone"));
    QVERIFY(form.txtMozPath->text().isEmpty());
}

void TestOption::enterAndEscPressNothing()
{
    TestDirs dirs;
    Tfrm_Option form(programDirectory());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (QWidget *focus : {static_cast<QWidget *>(form.txtMozPath), static_cast<QWidget *>(form.TreeView1),
                           static_cast<QWidget *>(form.Button1)}) {
        focus->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(focus, key);
        QVERIFY2(form.isVisible(), qPrintable(focus->objectName()));
    }
    QVERIFY(!QFile::exists(dirs.iniPath()));
}

void TestOption::readOnlyProgramDirectory()
{
    TestDirs dirs;
    ErrorRecorder errors;
    Tfrm_Option form(programDirectory());
    form.show();
    QVERIFY(::chmod(QFile::encodeName(dirs.programDir()).constData(), 0555) == 0);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    ::chmod(QFile::encodeName(dirs.programDir()).constData(), 0755);
    QCOMPARE(errors.messages, QStringList({dirs.iniPath() + QStringLiteral(" に書き込めません.")}));
    QVERIFY(form.isVisible());
    QVERIFY(!QFile::exists(dirs.iniPath()));
}

// Each dialog shows the file as it was when made; each OK writes all four.
void TestOption::lastOkWins()
{
    TestDirs dirs;
    Tfrm_Option first(programDirectory()), second(programDirectory());
    first.show();
    second.show();
    first.chkWin1->setChecked(true);
    second.chkWin2->setChecked(true);
    QTest::mouseClick(first.Button1, Qt::LeftButton);
    QTest::mouseClick(second.Button1, Qt::LeftButton);
    QCOMPARE(readKey(dirs, "Option_Window", "BookMark"), QString("0"));
    QCOMPARE(readKey(dirs, "Option_Window", "AddressBar"), QString("1"));
}

VEXEL_TEST_MAIN(TestOption)
#include "test_option.moc"
