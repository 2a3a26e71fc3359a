// SPDX-License-Identifier: GPL-3.0-or-later
#include "webenginerules.h"

#include "browser/enginecontrol.h"
#include "browser/enginerules.h"

#include <QAction>
#include <QMenu>
#include <QWebEngineNavigationRequest>
#include <QWebEnginePage>

namespace webenginerules {

void follow(EngineControl *control, QWebEnginePage *page)
{
    QObject::connect(page, &QWebEnginePage::navigationRequested, control,
                     [control](QWebEngineNavigationRequest &request) {
        // The frame's own Navigate arrives typed, never as a link or a form.
        const auto type = request.navigationType();
        if (!control->followsEngineRules() || !request.isMainFrame() ||
            (type != QWebEngineNavigationRequest::LinkClickedNavigation &&
             type != QWebEngineNavigationRequest::FormSubmittedNavigation))
            return;
        const std::optional<enginerules::Rule> rule = enginerules::ruleFor(request.url());
        if (!rule || rule->engine == engines::IE_CLSID)
            return;
        // Gecko switched off: the page goes on here.
        if (control->OtherEngineAvailable && !control->OtherEngineAvailable())
            return;
        request.reject();
        emit control->RuleNavigationRequested(request.url().toString());
    });
}

void addMenu(QMenu *menu, EngineControl *control, const QUrl &url)
{
    const std::optional<enginerules::Rule> rule = enginerules::ruleFor(url);
    const bool named = !url.isLocalFile() && !url.host().isEmpty();
    const std::pair<QString, const char *> choices[] = {
        {engines::MOZILLA_CLSID, "siteGeckoAction"},
        {engines::IE_CLSID, "siteIEAction"},
    };
    for (const auto &[engine, name] : choices) {
        QAction *action = menu->addAction(
            QStringLiteral("このサイトを常に %1 で開く").arg(enginerules::engineLabel(engine)));
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(rule && rule->engine == engine);
        action->setEnabled(named && (engine == engines::IE_CLSID || !control->OtherEngineAvailable ||
                                     control->OtherEngineAvailable()));
        // Choosing the rule already chosen takes it away.
        QObject::connect(action, &QAction::triggered, control, [control, engine = engine](bool on) {
            emit control->SiteEngineRequested(on ? engine : QString());
        });
    }
    QAction *remove = menu->addAction(QStringLiteral("ルールを削除"), control,
                                      [control] { emit control->SiteEngineRequested(QString()); });
    remove->setObjectName(QStringLiteral("siteRuleRemoveAction"));
    remove->setEnabled(rule.has_value());
}

}  // namespace webenginerules
