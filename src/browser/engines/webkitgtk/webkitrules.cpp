// SPDX-License-Identifier: GPL-3.0-or-later
// Engine rules per site in the "Gekko" slot, the frame's side.

#include "webkitrules.h"

#include "browser/enginerules.h"
#include "core/errors.h"
#include "protocol.h"
#include "webkitcontrol.h"
#include "webkithost.h"

namespace webkitrules {

void follow(WebKitHost *host)
{
    const auto send = [host] {
        // A message has few fields and a host holds no blank: the list is one.
        QByteArrayList words;
        for (const enginerules::Rule &rule : enginerules::rules())
            words << (rule.subdomains ? VEXEL_SUBDOMAINS_MARK : "") + rule.host.toUtf8() << enginerules::engineWord(rule.engine).toUtf8();
        host->send(0, VEXEL_VERB_RULES, {words.join(' ')});
    };
    send();
    QObject::connect(&enginerules::Notifier::instance(), &enginerules::Notifier::changed, host, guarded(send));
}

}  // namespace webkitrules

void WebKitControl::onRuleNavigation(const QList<QByteArray> &fields)
{
    // The rules as they are now, and this window's part in them: a linked
    // window's navigations stay in it.
    const QString address = textField(fields, 0);
    const std::optional<enginerules::Rule> rule = enginerules::ruleFor(QUrl(address));
    const bool elsewhere = followsEngineRules() && rule && rule->engine == engines::IE_CLSID;
    send(VEXEL_VERB_RULEANSWER, {yesNo(elsewhere)});
    if (elsewhere)
        emit RuleNavigationRequested(address);
}

void WebKitControl::onSiteEngine(const QList<QByteArray> &fields)
{
    emit SiteEngineRequested(enginerules::engineOfWord(textField(fields, 0)));
}
