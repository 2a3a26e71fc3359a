// SPDX-License-Identifier: GPL-3.0-or-later
// The content filters in the "Gekko" slot, the frame's side.

#include "webkitblocking.h"

#include "browser/contentblocking.h"
#include "browser/filterlistsform.h"
#include "core/errors.h"
#include "protocol.h"
#include "webkitcontrol.h"
#include "webkithost.h"

#include <QUrl>

namespace webkitblocking {

void follow(WebKitHost *host)
{
    const auto send = [host] {
        const ContentBlocking &blocking = ContentBlocking::instance();
        // A host name holds no blank: the list is one field.
        host->send(0, VEXEL_VERB_BLOCKING,
                   {blocking.cachePath().toUtf8(), blocking.exemptHosts().join(QLatin1Char(' ')).toUtf8()});
    };
    send();
    QObject::connect(&ContentBlocking::instance(), &ContentBlocking::changed, host, guarded(send));
}

}  // namespace webkitblocking

void WebKitControl::onBlocked(const QList<QByteArray> &fields)
{
    bool ok = false;
    const int count = fields.value(0).toInt(&ok);
    if (ok && count >= 0)
        setBlockedCount(count);
}

void WebKitControl::onExempt(const QList<QByteArray> &fields)
{
    // The host as the page's address names it here (an IDN in Unicode, as
    // the other slot keeps it).
    QUrl site;
    site.setScheme(QStringLiteral("http"));
    site.setHost(textField(fields, 0));
    if (!site.isValid() || site.host().isEmpty() || site.host().contains(QLatin1Char(' ')))
        return;
    ContentBlocking::instance().setExempt(site.host(), isYes(fields.value(1)));
    // The page again, filtered (or not) as now chosen.
    Refresh();
}

void WebKitControl::onFilterLists(const QList<QByteArray> &)
{
    FilterListsForm::showFor(this);
}
