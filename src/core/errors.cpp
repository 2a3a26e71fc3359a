// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

#include <QApplication>
#include <QMessageBox>
#include <new>

VexelError::VexelError(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

QString VexelError::message() const
{
    return QString::fromUtf8(what());
}

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

static void showErrorBox(const QString &text)
{
    // Messages carry file names and page addresses: never read as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vexel"), QString(), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}

static ErrorSink &currentSink()
{
    static ErrorSink sink = showErrorBox;
    return sink;
}

ErrorSink setErrorSink(ErrorSink sink)
{
    ErrorSink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : ErrorSink(showErrorBox);
    return previous;
}

void reportError(const QString &message)
{
    currentSink()(errorBoxText(message));
}

bool runGuarded(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const VexelError &e) {
        reportError(e.message());
    } catch (const std::bad_alloc &) {
        reportError(QStringLiteral("メモリが不足しています"));
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

QString ioErrorText(int code)
{
    switch (code) {
    case 2: return QStringLiteral("ファイルが見つかりません");
    case 3: return QStringLiteral("不正なファイル名です");
    case 5: return QStringLiteral("ファイルへのアクセスが拒否されました");
    default: return QStringLiteral("I/O エラー (%1)").arg(code);
    }
}
