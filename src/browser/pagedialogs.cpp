// SPDX-License-Identifier: GPL-3.0-or-later
#include "pagedialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace pagedialogs {

static const QString kTitle = QStringLiteral("Web ページからのメッセージ");

// A box as narrow as a short message would have the desktop cut its title
// ("Web ペ…ッセージ"): it is kept as wide as the title with the title bar's
// icon and buttons beside it.
static void keepTitleWhole(QDialog *box)
{
    const int wanted = box->fontMetrics().horizontalAdvance(kTitle) + 160;
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    else
        box->setMinimumWidth(wanted);
}

// The page's words as they stand: plain text is set before the message, so
// no markup in it is ever read, and no link in it is live.
static int askPlainly(QWidget *page, QMessageBox::Icon icon, const QString &message, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, kTitle, QString(), buttons, page);
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    keepTitleWhole(&box);
    return box.exec();
}

void alert(QWidget *page, const QString &message)
{
    askPlainly(page, QMessageBox::Information, message, QMessageBox::Ok);
}

bool confirm(QWidget *page, const QString &message)
{
    return askPlainly(page, QMessageBox::Question, message, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool prompt(QWidget *page, const QString &message, const QString &defaultValue, QString *result)
{
    QInputDialog dialog(page);
    dialog.setWindowTitle(kTitle);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(QString());
    // The dialog makes its label with the first text; plain before the page's.
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    dialog.setLabelText(message);
    dialog.setTextValue(defaultValue);
    keepTitleWhole(&dialog);
    const bool ok = dialog.exec() == QDialog::Accepted;
    *result = ok ? dialog.textValue() : QString();
    return ok;
}

QString leavingQuestion()
{
    return QStringLiteral("このページから移動しますか？ 行った変更は保存されない可能性があります。");
}

bool confirmLeaving(QWidget *page)
{
    return confirm(page, leavingQuestion());
}

bool askCredentials(QWidget *page, const QString &who, const QString &realm, QString *user, QString *password)
{
    QDialog dialog(page);
    dialog.setObjectName(QStringLiteral("CredentialsDialog"));
    dialog.setWindowTitle(QStringLiteral("認証が必要です"));
    auto *form = new QFormLayout(&dialog);
    const QString text = realm.isEmpty()
                             ? QStringLiteral("%1 がユーザー名とパスワードを求めています。").arg(who)
                             : QStringLiteral("%1 がユーザー名とパスワードを求めています。\n領域: %2").arg(who, realm);
    auto *message = new QLabel(&dialog);
    message->setTextFormat(Qt::PlainText);  // host and realm are the server's words
    message->setText(text);
    message->setWordWrap(true);
    form->addRow(message);
    auto *userEdit = new QLineEdit(&dialog);
    userEdit->setObjectName(QStringLiteral("txtUser"));
    auto *passwordEdit = new QLineEdit(&dialog);
    passwordEdit->setObjectName(QStringLiteral("txtPassword"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("ユーザー名:"), userEdit);
    form->addRow(QStringLiteral("パスワード:"), passwordEdit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *user = userEdit->text();
    *password = passwordEdit->text();
    return true;
}

SavePathChooser &savePathChooser()
{
    static SavePathChooser chooser = [](QWidget *page, const QString &proposed) {
        return QFileDialog::getSaveFileName(page, QStringLiteral("名前を付けて保存"), proposed);
    };
    return chooser;
}

QString safeFileName(const QString &suggested)
{
    static const QString fallback = QStringLiteral("download");
    // The last part of whatever path the server sent, either separator.
    QString name = suggested.mid(qMax(suggested.lastIndexOf(QLatin1Char('/')), suggested.lastIndexOf(QLatin1Char('\\'))) + 1);
    // Control and invisible formatting characters (a right-to-left override
    // can disguise "txt.exe" as "exe.txt") go.
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format; });
    // A leading dot would hide the file or make it "." or "..".
    const auto lead = std::find_if(name.cbegin(), name.cend(), [](QChar c) { return c != QLatin1Char('.') && !c.isSpace(); });
    name = name.mid(lead - name.cbegin()).trimmed();
    if (name.isEmpty())
        return fallback;
    // A name the file system cannot hold keeps only a short extension.
    if (name.toUtf8().size() > 255) {
        const QString suffix = QFileInfo(name).suffix();
        const bool plainSuffix = !suffix.isEmpty() && suffix.size() <= 10 &&
                                 std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
        return plainSuffix ? fallback + QLatin1Char('.') + suffix : fallback;
    }
    return name;
}

QString savedPageName(const QString &title, const QUrl &address)
{
    static const QString extension = QStringLiteral(".mhtml");
    // An untitled page goes by its address, as the engine writes it.
    const bool titled = !title.contains(QLatin1Char('/')) || !address.toString().endsWith(title);
    for (const QString &base : {titled ? title : QString(), QFileInfo(address.fileName()).completeBaseName(), address.host()}) {
        // Short enough for any file system, even in three-byte characters.
        const QString name = safeFileName(base.simplified().left(80) + extension);
        if (name.size() > extension.size() && name.endsWith(extension))
            return name;
    }
    return QStringLiteral("page") + extension;
}

QString chooseDownloadPath(QWidget *page, const QString &suggestedFileName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return savePathChooser()(page, QDir(folder).filePath(safeFileName(suggestedFileName)));
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 バイト").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString downloadProgressText(const QString &name, qint64 received, qint64 total)
{
    return total > 0 ? QStringLiteral("%1 をダウンロードしています... %2 / %3").arg(name, sizeText(received), sizeText(total))
                     : QStringLiteral("%1 をダウンロードしています... %2").arg(name, sizeText(received));
}

QString downloadFinishedText(const QString &name)
{
    return QStringLiteral("%1 のダウンロードが完了しました").arg(name);
}

QString downloadFailedText(const QString &name, const QString &reason)
{
    return QStringLiteral("%1 のダウンロードに失敗しました (%2)").arg(name, reason);
}

QString downloadCancelledText(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("ダウンロードを中止しました")
                          : QStringLiteral("%1 のダウンロードを中止しました").arg(name);
}

QString popupBlockedText()
{
    return QStringLiteral("ポップアップをブロックしました");
}

QString certificateRefusedText(const QString &reason)
{
    return QStringLiteral("証明書に問題があるため接続を中止しました: %1").arg(reason);
}

}  // namespace pagedialogs
