// SPDX-License-Identifier: GPL-3.0-or-later
// What a Gecko page asks leave for, answered from the remembered decisions
// or by the user; its notifications; the window of remembered decisions.

#include "webkitcontrol.h"

#include "browser/sitepermissions.h"
#include "browser/sitesettings.h"
#include "protocol.h"

void WebKitControl::onPermission(const QList<QByteArray> &fields)
{
    const QByteArray number = fields.value(0);
    const std::optional<sitepermissions::Kind> kind = sitepermissions::kindFromKey(textField(fields, 1));
    const QString site = sitepermissions::siteOf(QUrl(textField(fields, 2)));
    ask(VEXEL_VERB_PERMIT, [&] {
        const bool allowed = kind && sitepermissions::decide(this, site, *kind);
        return QList<QByteArray>{number, yesNo(allowed)};
    });
}

void WebKitControl::onNotification(const QList<QByteArray> &fields)
{
    sitepermissions::notifyDesktop(sitepermissions::siteOf(QUrl(textField(fields, 0))), textField(fields, 1),
                                   textField(fields, 2));
}

void WebKitControl::onSiteSettings(const QList<QByteArray> &)
{
    SiteSettingsForm::showFor(this, sitepermissions::siteOf(QUrl(LocationURL())));
}
