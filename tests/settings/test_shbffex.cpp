// SPDX-License-Identifier: GPL-3.0-or-later
// The folder picker: defaults, root and start folder with their fallbacks,
// the handler's status text and OK control, placement, and the results.

#include "core/errors.h"
#include "settings/shbffex.h"
#include "testsupport.h"
#include "folderdialog.h"

#include <QDir>
#include <QLabel>
#include <QScreen>

namespace {

// The path of the tree's top item; the root is the only one.
QString topItemPath(QWidget *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("folderTree"));
    if (tree->model()->rowCount(tree->rootIndex()) != 1)
        return QStringLiteral("<not one top item>");
    return tree->model()->index(0, 0, tree->rootIndex()).data(QFileSystemModel::FilePathRole).toString();
}

QString makeDir(const TestDirs &dirs, const QString &name)
{
    const QString path = dirs.currentDir() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

}  // namespace

class TestShbffex : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void cancelAfterChoiceEmptiesResults();
    void statusLine_data();
    void statusLine();
    void handlerDisablesOk();
    void handlerErrorLeavesExecute();
    void placementWithoutForm_data();
    void placementWithoutForm();
    void manualRootNamingFile();
    void startFolder_data();
    void startFolder();
    void startFolderStaysInView();
    void specialFolders();
};

void TestShbffex::defaults()
{
    TestDirs dirs;
    QWidget form;
    form.move(40, 50);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TSHBrowseForFolderEx picker(&form);
    QCOMPARE(picker.SelectFolder, sfDrives);
    QVERIFY(picker.Options == TSHBrowseOptions({sboReturnOnlyFSDirs}));
    QCOMPARE(picker.RootFolder, rfDesktop);
    QCOMPARE(picker.ShowStyle, ssClient);

    QString top, selected;
    bool statusShown = true;
    QPoint pos;
    WhenOpen open([&](FolderBrowserDialog *d) {
        top = topItemPath(d);
        selected = selectedPath(d);
        statusShown = d->findChild<QLabel *>(QStringLiteral("statusText"))->isVisible();
        pos = d->pos();
        press(d, "okButton");
    });
    QVERIFY(picker.Execute());
    QCOMPARE(top, QString("/"));
    QCOMPARE(selected, QString("/"));  // drives: the top of the file system
    QVERIFY(!statusShown);
    QCOMPARE(pos, form.mapToGlobal(QPoint(0, 0)));
    QCOMPARE(picker.FolderName(), QString("/"));
    QCOMPARE(picker.DisplayName(), QString("/"));
}

void TestShbffex::cancelAfterChoiceEmptiesResults()
{
    TestDirs dirs;
    const QString chosen = makeDir(dirs, QStringLiteral("選んだ"));
    TSHBrowseForFolderEx picker(nullptr);
    {
        WhenOpen open([&](FolderBrowserDialog *d) {
            d->selectPath(chosen);
            press(d, "okButton");
        });
        QVERIFY(picker.Execute());
    }
    QCOMPARE(picker.FolderName(), chosen);
    QCOMPARE(picker.DisplayName(), QString("選んだ"));
    WhenOpen open([&](FolderBrowserDialog *d) { press(d, "cancelButton"); });
    QVERIFY(!picker.Execute());
    QVERIFY(open.done());
    QVERIFY(picker.FolderName().isEmpty());
    QVERIFY(picker.DisplayName().isEmpty());
}

void TestShbffex::statusLine_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<bool>("pathWins");
    QTest::newRow("show path overrides the handler") << int(sboStatusTextAndShowPath) << true;
    QTest::newRow("the handler's text") << int(sboStatusText) << false;
}

void TestShbffex::statusLine()
{
    QFETCH(int, option);
    QFETCH(bool, pathWins);
    TestDirs dirs;
    const QString folder = makeDir(dirs, QStringLiteral("a"));
    TSHBrowseForFolderEx picker(nullptr);
    picker.Options = {TSHBrowseOption(option)};
    QStringList paths;
    picker.OnSelectionChanged = [&](QObject *Sender, QWidget *, const QString &Path, QString &ShowText,
                                    TOKButtonState &) {
        QCOMPARE(Sender, &picker);
        paths << Path;
        ShowText = QStringLiteral("ハンドラ");
    };
    QString status;
    WhenOpen open([&](FolderBrowserDialog *d) {
        d->selectPath(folder);
        status = d->findChild<QLabel *>(QStringLiteral("statusText"))->text();
    });
    picker.Execute();
    QCOMPARE(paths, QStringList({"/", folder}));  // the opening selection, then the user's
    QCOMPARE(status, pathWins ? folder : QStringLiteral("ハンドラ"));
}

void TestShbffex::handlerDisablesOk()
{
    TestDirs dirs;
    const QString locked = makeDir(dirs, QStringLiteral("locked"));
    const QString free = makeDir(dirs, QStringLiteral("free"));
    TSHBrowseForFolderEx picker(nullptr);
    picker.OnSelectionChanged = [](QObject *, QWidget *, const QString &Path, QString &, TOKButtonState &state) {
        if (Path.endsWith(QLatin1String("/locked")))
            state = obsDisable;
    };
    bool enabledOnLocked = true, stillOpen = false, enabledOnFree = false;
    WhenOpen open([&](FolderBrowserDialog *d) {
        d->selectPath(locked);
        enabledOnLocked = d->findChild<QPushButton *>(QStringLiteral("okButton"))->isEnabled();
        QTest::keyClick(d, Qt::Key_Return);
        stillOpen = d->isVisible();
        d->selectPath(free);  // obsNoChange: the dialog's own choice again
        enabledOnFree = d->findChild<QPushButton *>(QStringLiteral("okButton"))->isEnabled();
        press(d, "okButton");
    });
    QVERIFY(picker.Execute());
    QVERIFY(!enabledOnLocked);
    QVERIFY(stillOpen);
    QVERIFY(enabledOnFree);
    QCOMPARE(picker.FolderName(), free);
}

void TestShbffex::handlerErrorLeavesExecute()
{
    TestDirs dirs;
    const QString bad = makeDir(dirs, QStringLiteral("bad"));
    TSHBrowseForFolderEx picker(nullptr);
    picker.OnSelectionChanged = [](QObject *, QWidget *, const QString &Path, QString &, TOKButtonState &) {
        if (Path.endsWith(QLatin1String("/bad")))
            throw VexelError(QStringLiteral("失敗"));
    };
    WhenOpen open([&](FolderBrowserDialog *d) { d->selectPath(bad); });
    QVERIFY_THROWS_EXCEPTION(VexelError, picker.Execute());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestShbffex::placementWithoutForm_data()
{
    QTest::addColumn<QString>("owner");
    QTest::newRow("a widget inside a form") << "child";
    QTest::newRow("no widget") << "object";
}

// ssClient leaves the dialog where ssNone puts it when the owner is no form.
void TestShbffex::placementWithoutForm()
{
    QFETCH(QString, owner);
    TestDirs dirs;
    QWidget form;
    form.setGeometry(60, 70, 300, 200);
    auto *child = new QWidget(&form);
    QObject plain;
    form.show();
    QObject *ownerObject = owner == QLatin1String("child") ? static_cast<QObject *>(child) : &plain;
    auto placedWith = [&](TShowStyle style) {
        TSHBrowseForFolderEx picker(ownerObject);
        picker.ShowStyle = style;
        QRect frame;
        WhenOpen open([&](FolderBrowserDialog *d) { frame = d->frameGeometry(); });
        picker.Execute();
        return frame;
    };
    QCOMPARE(placedWith(ssClient).topLeft(), placedWith(ssNone).topLeft());

    const QRect centred = placedWith(ssCenterScreen);
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(centred.topLeft(), QPoint((work.width() - centred.width()) / 2, (work.height() - centred.height()) / 3));
}

void TestShbffex::manualRootNamingFile()
{
    TestDirs dirs;
    const QString file = dirs.currentDir() + QStringLiteral("/file.txt");
    QFile(file).open(QIODevice::WriteOnly);
    TSHBrowseForFolderEx picker(nullptr);
    picker.RootFolder = rfManual;
    picker.RootFolderName = file;
    QString top;
    WhenOpen open([&](FolderBrowserDialog *d) { top = topItemPath(d); });
    picker.Execute();
    QCOMPARE(top, QString("/"));
}

void TestShbffex::startFolder_data()
{
    QTest::addColumn<QString>("root");    // "": the desktop; else below the case's current dir
    QTest::addColumn<int>("select");
    QTest::addColumn<QString>("expected");  // below the case's current dir, or absolute
    QTest::newRow("manual") << "" << int(sfManual) << "a/b";
    QTest::newRow("manual, below a manual root") << "a" << int(sfManual) << "a/b";
    QTest::newRow("outside the root: the root") << "c" << int(sfManual) << "c";
    QTest::newRow("drives outside the root: the root") << "a" << int(sfDrives) << "a";
}

void TestShbffex::startFolder()
{
    QFETCH(QString, root);
    QFETCH(int, select);
    QFETCH(QString, expected);
    TestDirs dirs;
    makeDir(dirs, QStringLiteral("a/b"));
    makeDir(dirs, QStringLiteral("c"));
    const QString base = dirs.currentDir() + QLatin1Char('/');
    TSHBrowseForFolderEx picker(nullptr);
    if (!root.isEmpty()) {
        picker.RootFolder = rfManual;
        picker.RootFolderName = base + root;
    }
    picker.SelectFolder = TSelectFolder(select);
    picker.SelectFolderName = base + QStringLiteral("a/b");
    WhenOpen open([&](FolderBrowserDialog *d) { press(d, "okButton"); });
    QVERIFY(picker.Execute());
    QCOMPARE(picker.FolderName(), base + expected);
}

// Folders that load after the start folder was selected and sort above it
// do not push it out of view.
void TestShbffex::startFolderStaysInView()
{
    TestDirs dirs;
    const QString chosen = makeDir(dirs, QStringLiteral("a"));
    for (int i = 0; i < 40; ++i)
        makeDir(dirs, QStringLiteral("0%1").arg(i, 2, 10, QLatin1Char('0')));
    TSHBrowseForFolderEx picker(nullptr);
    picker.SelectFolder = sfManual;
    picker.SelectFolderName = chosen;
    bool inView = false;
    WhenOpen open([&](FolderBrowserDialog *d) {
        auto *tree = d->findChild<QTreeView *>(QStringLiteral("folderTree"));
        QTRY_COMPARE(tree->currentIndex().row(), 40);  // loaded and sorted
        inView = tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex()));
    });
    picker.Execute();
    QVERIFY(inView);
}

// XDG places: a root that does not exist shows nothing; a start folder with
// no place here leaves the selection to the dialog (the root).
void TestShbffex::specialFolders()
{
    TestDirs dirs;
    const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
    QDir(autostart).removeRecursively();
    TSHBrowseForFolderEx picker(nullptr);
    picker.RootFolder = rfStartup;
    picker.SelectFolder = sfFavorites;
    {
        WhenOpen open([](FolderBrowserDialog *) {});
        QVERIFY(!picker.Execute());
        QVERIFY(!open.done());
    }
    QVERIFY(QDir().mkpath(autostart));
    QString top, selected;
    WhenOpen open([&](FolderBrowserDialog *d) {
        top = topItemPath(d);
        selected = selectedPath(d);
    });
    picker.Execute();
    QCOMPARE(top, autostart);
    QCOMPARE(selected, autostart);
}

VEXEL_TEST_MAIN(TestShbffex)
#include "test_shbffex.moc"
