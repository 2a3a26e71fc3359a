// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmark HTML at scale: 10,000 bookmarks in 1,000 folders three levels
// deep, written as browsers export them. Times reading the file alone, the
// editor's import into its tree, and the export of that tree.

#include "benchsupport.h"

#include "core/programdir.h"
#include "bookmarks/bmedit.h"
#include "bookmarks/bookmarkhtml.h"

#include <QApplication>
#include <QTemporaryDir>
#include <functional>

namespace {

constexpr int kRuns = 7;

// 10 top-level folders; each folder holds 10 bookmarks, and the folders of
// the first two levels 9 and 10 subfolders: 10 + 90 + 900 folders.
QByteArray generatedHtml()
{
    QByteArray out = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
    int counter = 0;
    std::function<void(int, int)> fill = [&](int level, int indent) {
        const QByteArray pad(4 * indent, ' ');
        for (int i = 0; i < 10; ++i, ++counter)
            out += pad + "<DT><A HREF=\"https://example.com/" + QByteArray::number(level) + "/page?q=" +
                   QByteArray::number(counter) + "&amp;lang=ja\" ADD_DATE=\"1700000000\">" +
                   QStringLiteral("ブックマーク %1").arg(counter).toUtf8() + "</A>\n";
        if (level == 3)
            return;
        const int subfolders = level == 1 ? 9 : 10;
        for (int i = 0; i < subfolders; ++i) {
            out += pad + "<DT><H3 ADD_DATE=\"1700000000\">" + QStringLiteral("フォルダ %1-%2").arg(level).arg(i).toUtf8() +
                   "</H3>\n" + pad + "<DL><p>\n";
            fill(level + 1, indent + 1);
            out += pad + "</DL><p>\n";
        }
    };
    for (int i = 0; i < 10; ++i) {
        out += "    <DT><H3>" + QStringLiteral("トップ %1").arg(i).toUtf8() + "</H3>\n    <DL><p>\n";
        fill(1, 2);
        out += "    </DL><p>\n";
    }
    out += "</DL><p>\n";
    return out;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(vexel);  // the editor's icons live in the program's library
    QApplication::setQuitOnLastWindowClosed(false);

    QTemporaryDir programDir, dataDir;
    setExecutableDirectoryForTesting(programDir.path());
    const QString html = dataDir.path() + QStringLiteral("/bookmarks.html");
    const QByteArray bytes = generatedHtml();
    writeBenchFile(html, bytes);
    printFigure("bookmarks.html_file_kb", bytes.size() / 1024.0, "KB");

    QList<double> parse, import, exportTimes;
    for (int run = 0; run < kRuns; ++run) {
        QList<bookmarks::HtmlEntry> entries;
        parse << elapsedMs([&] { entries = bookmarks::parseBookmarkHtml(bytes); });
        if (entries.size() != 10)
            return 2;

        // An editor on no bookmark file: the import is its whole tree.
        auto *editor = new Tfrm_BMEdit(dataDir.path() + QStringLiteral("/bookmark.xml"));
        editor->show();
        QCoreApplication::processEvents();
        import << elapsedMs([&] { editor->ImportBookmarks(html, nullptr); });
        if (editor->URLList.size() != 11001)
            return 3;
        QCoreApplication::processEvents();
        exportTimes << elapsedMs([&] { editor->ExportBookmarks(dataDir.path() + QStringLiteral("/export.html")); });
        delete editor;
    }
    printFigure("bookmarks.html_parse_ms", median(parse), "ms");
    printFigure("bookmarks.import_10k_ms", median(import), "ms");
    printFigure("bookmarks.export_10k_ms", median(exportTimes), "ms");
    return 0;
}
