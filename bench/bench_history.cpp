// SPDX-License-Identifier: GPL-3.0-or-later
// History at scale: 100,000 visited pages and 10,000 bookmarks. Times a
// keystroke in the address field until its suggestions are up, recording a
// visit, and opening the history window.

#include "benchsupport.h"

#include "app/addresscompleter.h"
#include "app/browsinghistory.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "bookmarks/bookmarkfile.h"
#include "core/programdir.h"
#include "history/historyform.h"
#include "history/historystore.h"

#include <QTreeView>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

constexpr int kEntries = 100000;
constexpr int kBookmarks = 10000;

void fillHistory(HistoryStore *store)
{
    QSqlDatabase db = store->database();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO visits (address, title, last_visit, visit_count, haystack)"
                             " VALUES (?, ?, ?, ?, ?)"));
    QRandomGenerator random(7);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < kEntries; ++i) {
        const QString address = QStringLiteral("https://site%1.example.com/articles/%2?ref=top").arg(i % 5000).arg(i);
        const QString title = QStringLiteral("記事 %1 - サイト %2 のニュース").arg(i).arg(i % 5000);
        q.addBindValue(address);
        q.addBindValue(title);
        q.addBindValue(now - qint64(random.bounded(365 * 24 * 3600)) * 1000);
        q.addBindValue(1 + int(random.bounded(50)));
        q.addBindValue((address + QLatin1Char('\n') + title).toLower());
        q.exec();
    }
    db.commit();
}

QByteArray bookmarkFile()
{
    bookmarks::BookmarkWriter writer;
    for (int f = 0; f < 100; ++f) {
        bookmarks::AppendDirectoryEntry(writer.root(), 1, QStringLiteral("フォルダ %1").arg(f));
        for (int i = 0; i < kBookmarks / 100; ++i)
            bookmarks::AppendFileEntry(writer.root()->last, 3, QStringLiteral("ブックマーク %1-%2").arg(f).arg(i),
                                       QStringLiteral("https://bookmarked%1.example.org/%2").arg(f).arg(i));
    }
    return writer.finish();
}

}  // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    QApplication app(argc, argv);
    setExecutableDirectoryForTesting(home.path());
    writeBenchFile(home.path() + QStringLiteral("/config.ini"), "[Option_Main]\r\nMozilla=1\r\n");
    writeBenchFile(home.path() + QStringLiteral("/bookmark.xml"), bookmarkFile());
    QDir::setCurrent(home.path());
    createForms();
    TBrowsingHistory *history = MainForm->browsingHistory();
    fillHistory(history->store());

    // A keystroke: the field's text changes and the list is up when the
    // event returns. Prefixes a user types, common and rare ones.
    QLineEdit *field = MainForm->txtAddress;
    field->setFocus();
    history->bookmarks();  // the file is read once, as the first keystroke does
    QList<double> keystrokes;
    const QStringList words = {QStringLiteral("site12"), QStringLiteral("記事 99"), QStringLiteral("bookmarked5"),
                               QStringLiteral("zzzq"), QStringLiteral("articles/777")};
    for (const QString &word : words) {
        field->clear();
        for (const QChar ch : word) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            keystrokes.append(elapsedMs([&] { QApplication::sendEvent(field, &press); }));
            if (qEnvironmentVariableIsSet("BENCH_TRACE"))  // which keystrokes cost what
                std::printf("# %s %.1f ms\n", qPrintable(field->text()), keystrokes.last());
            QApplication::processEvents();
        }
        history->completer()->popup()->hide();
    }
    printFigure("completion_keystroke_median", median(keystrokes), "ms");
    printFigure("completion_keystroke_max", *std::max_element(keystrokes.begin(), keystrokes.end()), "ms");

    QList<double> visits;
    for (int i = 0; i < 200; ++i)
        visits.append(elapsedMs([&] {
            history->store()->recordVisit(QStringLiteral("https://site%1.example.com/new/%2").arg(i % 50).arg(i),
                                          QStringLiteral("新しい記事 %1").arg(i));
        }));
    printFigure("record_visit_median", median(visits), "ms");

    const double open = elapsedMs([&] {
        history->showHistory();
        QApplication::processEvents();
    });
    printFigure("history_window_open", open, "ms");
    printFigure("history_window_rows_loaded", history->historyForm()->rowCount(), "rows");
    destroyForms();
    return 0;
}
