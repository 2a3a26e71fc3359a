// SPDX-License-Identifier: GPL-3.0-or-later
// The page's context menu: the engine's standard items, then the frame's
// (print, find, zoom, encoding, the other engine, the site's settings).

#include "webenginecontrol.h"

#include "browser/engines/pageencoding.h"
#include "browser/engines/webengine/webengineblocking.h"
#include "browser/engines/webengine/webenginerules.h"
#include "browser/sitepermissions.h"
#include "browser/sitesettings.h"
#include "core/errors.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPointer>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

// Our developer tools item, looked for once the engine's are replaced.
const QString devToolsActionName = QStringLiteral("inspectAction");

}  // namespace

void WebEngineControl::showContextMenu(const QPoint &pos)
{
    QMenu *menu = view_->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Back, forward and reload belong in every page's menu.
    const QList<QAction *> actions = menu->actions();
    if (!actions.contains(page_->action(QWebEnginePage::Back))) {
        QAction *first = actions.value(0);
        menu->insertActions(first, {page_->action(QWebEnginePage::Back), page_->action(QWebEnginePage::Forward),
                                    page_->action(QWebEnginePage::Reload)});
        if (first)
            menu->insertSeparator(first);
    }
    // The engine's source and developer tools items, through ours: a window
    // of the frame for the source, our tools' window for the tools.
    for (QAction *action : menu->actions()) {
        if (action == page_->action(QWebEnginePage::ViewSource) ||
            action == page_->action(QWebEnginePage::InspectElement)) {
            menu->insertAction(action, ourPageAction(menu, action));
            menu->removeAction(action);
        }
    }
    if (!menu->actions().contains(menu->findChild<QAction *>(devToolsActionName)))
        menu->addAction(ourPageAction(menu, page_->action(QWebEnginePage::InspectElement)));
    menu->addSeparator();
    menu->addAction(QStringLiteral("印刷..."), this, [this] { emit PrintRequested(); })
        ->setObjectName(QStringLiteral("printAction"));
    menu->addAction(QStringLiteral("ページ内を検索..."), this, [this] { emit FindRequested(); });
    menu->addAction(QStringLiteral("拡大"), this, [this] { emit ZoomRequested(1); });
    menu->addAction(QStringLiteral("縮小"), this, [this] { emit ZoomRequested(-1); });
    menu->addAction(QStringLiteral("標準の大きさ"), this, [this] { emit ZoomRequested(0); });
    menu->addSeparator();
    addEncodingMenu(menu);
    menu->addSeparator();
    QAction *other = menu->addAction(QStringLiteral("もう一方のエンジンで開く"), this, [this] { emit OtherEngineRequested(); });
    other->setObjectName(QStringLiteral("otherEngineAction"));
    other->setEnabled(!OtherEngineAvailable || OtherEngineAvailable());
    QAction *both = menu->addAction(QStringLiteral("両方のエンジンで並べて表示"), this, [this] { emit SideBySideRequested(); });
    both->setObjectName(QStringLiteral("sideBySideAction"));
    both->setEnabled(other->isEnabled());
    webenginerules::addMenu(menu, this, page_->url());
    QAction *siteSettings = menu->addAction(QStringLiteral("サイトの設定"), this, [this] {
        SiteSettingsForm::showFor(this, sitepermissions::siteOf(page_->url()));
    });
    siteSettings->setObjectName(QStringLiteral("siteSettingsAction"));
    webengineblocking::addMenu(menu, page_, BlockedCount());
    menu->popup(view_->mapToGlobal(pos));
}

QAction *WebEngineControl::ourPageAction(QMenu *menu, QAction *engines)
{
    const bool devTools = engines == page_->action(QWebEnginePage::InspectElement);
    auto *action = new QAction(engines->text(), menu);
    action->setObjectName(devTools ? devToolsActionName : QStringLiteral("viewSourceAction"));
    connect(action, &QAction::triggered, this, guarded([this, devTools](bool) {
        if (!devTools) {
            ViewSource();
            return;
        }
        // The element under the menu, once the tools are there to show it.
        ShowInspector();
        page_->triggerAction(QWebEnginePage::InspectElement);
    }));
    return action;
}

void WebEngineControl::addEncodingMenu(QMenu *menu)
{
    // The engine decodes with this default only what the page does not
    // declare itself; re-reading is all it offers.
    QMenu *encodings = menu->addMenu(QStringLiteral("エンコード"));
    encodings->setObjectName(QStringLiteral("encodingMenu"));
    auto *group = new QActionGroup(encodings);
    for (const pageencoding::Choice &choice : pageencoding::choices) {
        const QString charset = QString::fromLatin1(choice.charset);
        QAction *action = encodings->addAction(QString::fromUtf8(choice.label));
        action->setCheckable(true);
        action->setChecked(charset == encoding_);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, charset] { readAgainAs(charset); });
    }
}

void WebEngineControl::readAgainAs(const QString &charset)
{
    encoding_ = charset;
    // Empty: the profile's default again.
    page_->settings()->setDefaultTextEncoding(charset);
    page_->triggerAction(QWebEnginePage::Reload);
    if (charset.isEmpty())
        return;
    // The engine's own detection may overrule the choice (and a page's
    // declaration always does): the user hears when the page stayed as it
    // was rather than believing it re-read.
    auto *once = new QObject(this);
    connect(page_, &QWebEnginePage::loadFinished, once, [this, once, charset](bool ok) {
        once->deleteLater();
        if (!ok)
            return;
        page_->runJavaScript(QStringLiteral("document.characterSet"), QWebEngineScript::ApplicationWorld,
                             [self = QPointer<WebEngineControl>(this), charset](const QVariant &used) {
                                 if (self && used.toString().compare(charset, Qt::CaseInsensitive) != 0)
                                     emit self->StatusMessage(
                                         QStringLiteral("このページは %1 で読み直せませんでした").arg(charset));
                             });
    });
}
