// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One way of reporting: handlers throw, and the one wrapper around every
// handler shows the message in the application's error box and goes on.

#include <QString>
#include <functional>
#include <stdexcept>

// An error whose message the user reads.
class VexelError : public std::runtime_error {
public:
    explicit VexelError(const QString &message);
    QString message() const;
};

// The message as the error box shows it: a "." is appended when the last
// character sorts above ".".
QString errorBoxText(const QString &message);

// Where reported messages go. The default shows the error box (title "Vexel",
// stop icon, OK); tests install a recorder so no modal box blocks them.
using ErrorSink = std::function<void(const QString &text)>;
ErrorSink setErrorSink(ErrorSink sink);  // returns the previous sink
void reportError(const QString &message);

// Runs a handler; any exception that leaves it is reported and swallowed.
// Returns false when the handler failed.
bool runGuarded(const std::function<void()> &handler);

// Wraps a handler for connect(): the slot runs inside runGuarded.
template <typename F>
auto guarded(F f)
{
    return [f](auto &&...args) { runGuarded([&] { f(args...); }); };
}

// The run-time texts of the I/O errors of a directory change.
QString ioErrorText(int code);
