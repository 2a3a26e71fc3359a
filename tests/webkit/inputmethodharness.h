// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The input method the input-method tests type through.

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

// A session bus and IBus on it with Anthy as its engine, in folders of their
// own: nothing of the user's input-method setup is read or changed. Every
// process they start carries a mark in its environment, so that the end of
// the run finds and ends them (some of them leave their parent behind).
class InputMethod {
public:
    // Starts the daemons and points this process (and so the engine host
    // it starts) at them; returns why not when that is impossible here.
    QString start();
    // Once the application is there: a panel that reports the caret.
    QString startPanel();
    ~InputMethod();

    // Where the input method was last told the caret is, on the screen:
    // where its candidate window opens. Empty until it is told again.
    QRect caret();
    void forgetCaret() { caret(); caret_ = QRect(); }

private:
    QProcessEnvironment environment() const;
    bool startDetached(const QString &program, const QStringList &args);
    bool ibus(const QStringList &args, QByteArray *out = nullptr) const;
    QList<qint64> marked() const;

    QTemporaryDir dir_;
    QString busAddress_, ibusAddress_;
    // A panel of the test's own in place of IBus's: it draws no candidate
    // window but reports where it would.
    QProcess panel_;
    QRect caret_;
};
