// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmarks at scale: 10,000 bookmarks in 1,000 folders three levels deep.
// Times building the bookmark menu, loading the editor, saving, and adding
// one bookmark near the top of the tree.

#include "benchsupport.h"

#include "app/mainform.h"
#include "core/programdir.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

namespace {

constexpr int kRuns = 7;

// 10 top-level folders; each folder holds 10 bookmarks, and the folders of
// the first two levels 9 and 10 subfolders: 10 + 90 + 900 folders.
QByteArray generatedFile()
{
    bookmarks::BookmarkWriter writer;
    int counter = 0;
    std::function<void(xmlNode *, int)> fill = [&](xmlNode *folder, int level) {
        const int depth = level == 0 ? 1 : level + 2;
        for (int i = 0; i < 10; ++i, ++counter)
            bookmarks::AppendFileEntry(folder, depth, QStringLiteral("ブックマーク %1").arg(counter),
                                       QStringLiteral("https://example.com/%1/page?q=%2&lang=ja").arg(level).arg(counter));
        if (level == 3)
            return;
        const int subfolders = level == 0 ? 10 : level == 1 ? 9 : 10;
        for (int i = 0; i < subfolders; ++i) {
            bookmarks::AppendDirectoryEntry(folder, depth, QStringLiteral("フォルダ %1-%2").arg(level).arg(i));
            fill(folder->last, level + 1);
        }
    };
    // The root holds only the 10 folders.
    for (int i = 0; i < 10; ++i) {
        bookmarks::AppendDirectoryEntry(writer.root(), 1, QStringLiteral("トップ %1").arg(i));
        fill(writer.root()->last, 1);
    }
    return writer.finish();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QTemporaryDir programDir, dataDir, emptyDir;
    setExecutableDirectoryForTesting(programDir.path());
    writeBenchFile(programDir.path() + QStringLiteral("/config.ini"), "[General]\r\nLastEngine=IE\r\n");

    const QString path = dataDir.path() + QStringLiteral("/bookmark.xml");
    const QByteArray bytes = generatedFile();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 1;
    file.close();
    printFigure("bookmarks.file_kb", bytes.size() / 1024.0, "KB");

    QList<double> menu, load, save, add;
    for (int run = 0; run < kRuns; ++run) {
        // The frame is made with no bookmark file; only the menu build is timed.
        bookmarks::fixBookmarkFilePath(emptyDir.path());
        auto *frame = new TMainForm();
        bookmarks::fixBookmarkFilePath(dataDir.path());
        menu << elapsedMs([&] { frame->ReadBookMark(); });
        if (frame->mnuBookMark->actions().size() != 12)
            return 2;
        delete frame;

        Tfrm_BMEdit *editor = nullptr;
        load << elapsedMs([&] { editor = new Tfrm_BMEdit(path); });
        if (editor->URLList.size() != 11000)
            return 3;
        editor->show();
        QCoreApplication::processEvents();

        // Near the top: before the first bookmark of the second folder.
        editor->TreeView1->setCurrentItem(editor->TreeView1->topLevelItem(1)->child(0));
        editor->txtName->setText(QStringLiteral("追加"));
        editor->txtURL->setText(QStringLiteral("https://example.com/new"));
        add << elapsedMs([&] { editor->btnAddClick(); });
        QCoreApplication::processEvents();

        save << elapsedMs([&] { editor->btnOKClick(); });
        delete editor;
        // Back to the generated file for the next run.
        QFile::remove(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
    }
    printFigure("bookmarks.menu_build_ms", median(menu), "ms");
    printFigure("bookmarks.editor_load_ms", median(load), "ms");
    printFigure("bookmarks.save_ms", median(save), "ms");
    printFigure("bookmarks.add_near_top_ms", median(add), "ms");
    printFigure("bookmarks.peak_rss_mb", peakRssMb(), "MB");
    return 0;
}
