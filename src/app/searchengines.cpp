// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchengines.h"

#include "core/errors.h"
#include "settings/config.h"

#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>
#include <memory>

namespace {

const QList<SearchEngines::Engine> &knownEngines()
{
    static const QList<SearchEngines::Engine> list = {
        {QStringLiteral("Google"), QStringLiteral("Google"), engines::defaultSearchTemplate()},
        {QStringLiteral("Yahoo"), QStringLiteral("Yahoo! JAPAN"),
         QStringLiteral("https://search.yahoo.co.jp/search?p=%s&ei=UTF-8")},
        {QStringLiteral("Bing"), QStringLiteral("Bing"), QStringLiteral("https://www.bing.com/search?q=%s")},
        {QStringLiteral("DuckDuckGo"), QStringLiteral("DuckDuckGo"), QStringLiteral("https://duckduckgo.com/?q=%s")},
    };
    return list;
}

}  // namespace

QList<SearchEngines::Engine> SearchEngines::engines(const QString &ini)
{
    QList<Engine> list = knownEngines();
    const QString own = config::ownSearchTemplate(ini);
    if (!own.isEmpty() && templateProblem(own).isEmpty())
        list.append({OwnId, config::ownSearchName(ini), own});
    return list;
}

SearchEngines::Engine SearchEngines::chosen(const QString &ini)
{
    const QString id = config::searchEngine(ini);
    const QList<Engine> list = engines(ini);
    for (const Engine &engine : list)
        if (engine.id.compare(id, Qt::CaseInsensitive) == 0)
            return engine;
    return list.constFirst();
}

QString SearchEngines::templateProblem(const QString &searchTemplate)
{
    if (!searchTemplate.contains(QLatin1String("%s")))
        return QStringLiteral("検索 URL に検索語の入る %s がありません。");
    const QUrl url = engines::searchAddress(searchTemplate, QStringLiteral("x"));
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return QStringLiteral("検索 URL は http:// か https:// で始まるアドレスにしてください。");
    return {};
}

QString SearchEngines::addressFor(const QString &ini, const QString &text, engines::RelativeFiles files)
{
    const engines::TypedText typed = engines::readTypedText(text, files);
    if (typed.kind != engines::TypedText::Search)
        return text;
    return engines::searchAddress(chosen(ini).searchTemplate, typed.words).toString(QUrl::FullyEncoded);
}

SearchEngines::SearchEngines(QLineEdit *field, std::function<QString()> ini)
    : QObject(field), field_(field), ini_(std::move(ini))
{
    setObjectName(QStringLiteral("SearchEngines"));
    field_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(field_, &QWidget::customContextMenuRequested, this,
            guarded([this](const QPoint &pos) { showContextMenu(pos); }));
}

void SearchEngines::showContextMenu(const QPoint &pos)
{
    // The field's own menu (undo, cut, copy, paste, ...) stays as it was.
    std::unique_ptr<QMenu> menu(field_->createStandardContextMenu());
    menu->addSeparator();
    menu->addMenu(engineMenu(menu.get()));
    menu->exec(field_->mapToGlobal(pos));
}

QMenu *SearchEngines::engineMenu(QWidget *parent)
{
    auto *menu = new QMenu(QStringLiteral("検索エンジン"), parent);
    menu->setObjectName(QStringLiteral("SearchEngineMenu"));
    auto *group = new QActionGroup(menu);
    const QString ini = ini_();
    const QString current = chosen(ini).id;
    for (const Engine &engine : engines(ini)) {
        // A name of the user's own is text, not a mnemonic.
        QAction *item = menu->addAction(QString(engine.name).replace(QLatin1Char('&'), QLatin1String("&&")));
        item->setCheckable(true);
        item->setChecked(engine.id == current);
        item->setData(engine.id);
        group->addAction(item);
        connect(item, &QAction::triggered, this, guarded([this, id = engine.id](bool) { choose(id); }));
    }
    menu->addSeparator();
    QAction *add = menu->addAction(QStringLiteral("検索エンジンを追加..."));
    add->setObjectName(QStringLiteral("AddSearchEngine"));
    // Asked once the context menu has closed.
    connect(add, &QAction::triggered, this,
            [this] { QMetaObject::invokeMethod(this, [this] { runGuarded([this] { addOwn(); }); }, Qt::QueuedConnection); });
    return menu;
}

void SearchEngines::choose(const QString &id)
{
    const QString ini = ini_();
    // Choosing what is chosen already writes nothing: a first start's file
    // stays as it was.
    if (id != chosen(ini).id)
        config::writeSearchEngine(ini, id);
}

void SearchEngines::addOwn()
{
    QDialog dialog(field_->window());
    dialog.setWindowTitle(QStringLiteral("検索エンジンを追加"));
    auto *name = new QLineEdit(&dialog);
    auto *address = new QLineEdit(&dialog);
    address->setPlaceholderText(QStringLiteral("https://example.com/search?q=%s"));
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("名前:"), name);
    form->addRow(QStringLiteral("検索 URL:"), address);
    auto *hint = new QLabel(QStringLiteral("%s に検索語が入ります。"), &dialog);
    hint->setTextFormat(Qt::PlainText);
    form->addRow(QString(), hint);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const QString problem = templateProblem(address->text().trimmed());
        if (problem.isEmpty()) {
            dialog.accept();
            return;
        }
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Vexel"), problem, QMessageBox::Ok, &dialog);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString searchTemplate = address->text().trimmed();
    QString title = name->text().simplified();
    if (title.isEmpty())
        title = engines::searchAddress(searchTemplate, QString()).host();
    const QString ini = ini_();
    config::writeOwnSearch(ini, title, searchTemplate);
    config::writeSearchEngine(ini, OwnId);
}
