// SPDX-License-Identifier: GPL-3.0-or-later
// The history window and the address field's suggestions.

#include "historytests.h"

void TestHistory::historyWindow()
{
    {
        HistoryStore store(historyPath());
        const QDateTime now = QDateTime::currentDateTime();
        store.recordVisit(QStringLiteral("http://old.example/"), QStringLiteral("古い"), now.addDays(-1));
        store.recordVisit(QStringLiteral("http://new.example/"), QStringLiteral("新しい"), now);
        store.recordVisit(QStringLiteral("http://100%.example/"), QStringLiteral("百"), now.addSecs(-60));
    }
    ScriptedCase c;
    c.begin();
    config::writeBookmarkWindow(configPath(MainForm->ProgramDir), 0);
    QCOMPARE(MainForm->browsingHistory()->HistoryAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    MainForm->browsingHistory()->HistoryAction->trigger();
    THistoryForm *form = MainForm->browsingHistory()->historyForm();
    QVERIFY(form && form->isVisible());
    QCOMPARE(form->windowTitle(), QStringLiteral("履歴"));
    QCOMPARE(form->rowCount(), 3);
    QCOMPARE(form->addressAt(0), QStringLiteral("http://new.example/"));
    // The search takes its text literally: "%" is no wildcard.
    form->txtSearch->setText(QStringLiteral("%"));
    QCOMPARE(form->rowCount(), 1);
    form->txtSearch->setText(QStringLiteral("古"));
    QCOMPARE(form->rowCount(), 1);
    // Enter opens: no window yet, so a new one.
    QTest::keyClick(form->lstHistory, Qt::Key_Return);
    QCOMPARE(MainForm->browserWindows().size(), 1);
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    QCOMPARE(page->calls.last(), QStringLiteral("Navigate http://old.example/"));
    // With a window open and the setting off, the active window goes there.
    form->txtSearch->clear();
    QTest::keyClick(form->lstHistory, Qt::Key_Return);
    QCOMPARE(MainForm->browserWindows().size(), 1);
    QCOMPARE(page->calls.last(), QStringLiteral("Navigate http://new.example/"));
    // Delete the selected row.
    form->lstHistory->setCurrentIndex(form->lstHistory->model()->index(0, 0));
    QTest::keyClick(form->lstHistory, Qt::Key_Delete);
    QCOMPARE(form->rowCount(), 2);
    // Clear all asks first: いいえ keeps, はい clears.
    for (const bool yes : {false, true}) {
        WhenOpen answer([yes](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("履歴をすべて消去しますか？"));
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        form->btnClear->click();
        QCOMPARE(form->rowCount(), yes ? 0 : 2);
    }
    QCOMPARE(c.end(), QStringList());
}

void TestHistory::suggestionOrder()
{
    const QList<Suggestion> bookmarks = {{QStringLiteral("http://news.example/"), QStringLiteral("ニュース")},
                                         {QStringLiteral("http://other.example/"), QStringLiteral("別")},
                                         {QStringLiteral("http://mail.example/"), QStringLiteral("Example メール")}};
    QList<Suggestion> history = {{QStringLiteral("http://mail.example/"), QStringLiteral("重複")},
                                 {QStringLiteral("http://often.example/"), QString()}};
    for (int i = 0; i < 20; ++i)
        history.append({QStringLiteral("http://example.org/%1").arg(i), QString()});
    const auto ranked = TAddressCompleter::rank(QStringLiteral("EXAMPLE"), bookmarks, history);
    QCOMPARE(ranked.size(), int(TAddressCompleter::kMaxShown));
    QCOMPARE(ranked.at(0).address, QStringLiteral("http://news.example/"));
    QCOMPARE(ranked.at(2).address, QStringLiteral("http://mail.example/"));
    QCOMPARE(ranked.at(2).title, QStringLiteral("Example メール"));  // the bookmark, once
    QCOMPARE(ranked.at(3).address, QStringLiteral("http://often.example/"));
    // A title matches as well as an address; history comes ordered by visits.
    QCOMPARE(TAddressCompleter::rank(QStringLiteral("ニュース"), bookmarks, {}).size(), 1);
    HistoryStore store(historyPath());
    const QDateTime now = QDateTime::currentDateTime();
    store.recordVisit(QStringLiteral("http://once-new.example/"), QString(), now);
    store.recordVisit(QStringLiteral("http://twice.example/"), QString(), now.addDays(-2));
    store.recordVisit(QStringLiteral("http://twice.example/"), QString(), now.addDays(-2));
    store.recordVisit(QStringLiteral("http://once-old.example/"), QString(), now.addDays(-3));
    QCOMPARE(addressesOf(store.matches(QStringLiteral(".example"), 10)),
             QStringList({QStringLiteral("http://twice.example/"), QStringLiteral("http://once-new.example/"),
                          QStringLiteral("http://once-old.example/")}));
}

void TestHistory::suggestionKeys()
{
    {
        HistoryStore store(historyPath());
        store.recordVisit(QStringLiteral("http://kana.example/"), QStringLiteral("かな"));
    }
    ScriptedCase c;
    c.begin();
    config::writeAddressBarWindow(configPath(MainForm->ProgramDir), 0);
    MainForm->FileNew1Execute();
    auto *page = qobject_cast<ScriptedEngine *>(MainForm->ActiveMDIChild()->control());
    TAddressCompleter *completer = MainForm->browsingHistory()->completer();
    QTreeView *popup = completer->popup();
    MainForm->activateWindow();
    MainForm->txtAddress->setFocus();
    MainForm->txtAddress->clear();

    // Esc closes the list and leaves what was typed.
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("kan"));
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(completer->shown().size(), 1);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Escape);
    QVERIFY(!popup->isVisible());
    QCOMPARE(MainForm->txtAddress->text(), QStringLiteral("kan"));

    // Enter with nothing chosen (↓ then ↑ is back to none) goes to what was
    // typed, as the Move button.
    page->calls.clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("a"));
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Down);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Up);
    QCOMPARE(completer->chosen(), -1);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QVERIFY(!popup->isVisible());
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate https://www.google.co.jp/search?q=kana&ie=UTF-8")}));

    // Down chooses the first suggestion; Enter goes there.
    MainForm->txtAddress->clear();
    page->calls.clear();
    QInputMethodEvent commit;  // Japanese comes from the input method
    commit.setCommitString(QStringLiteral("かな"));
    QApplication::sendEvent(MainForm->txtAddress, &commit);
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Down);
    QTest::keyClick(MainForm->txtAddress, Qt::Key_Return);
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate http://kana.example/")}));
    QCOMPARE(MainForm->txtAddress->text(), QStringLiteral("http://kana.example/"));

    // A click on a suggestion goes there too.
    MainForm->txtAddress->clear();
    page->calls.clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("kana."));
    QTRY_VERIFY(popup->isVisible());
    QTest::mouseClick(completer->popup()->viewport(), Qt::LeftButton, {},
                      completer->popup()->visualRect(completer->popup()->model()->index(0, 0)).center());
    QCOMPARE(page->calls, QStringList({QStringLiteral("Navigate http://kana.example/")}));

    // Text nothing matches opens no list.
    MainForm->txtAddress->clear();
    QTest::keyClicks(MainForm->txtAddress, QStringLiteral("zzz"));
    QVERIFY(!popup->isVisible());
    QCOMPARE(c.end(), QStringList());
}
