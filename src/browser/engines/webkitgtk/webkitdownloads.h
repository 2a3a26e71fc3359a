// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Gecko slot's downloads in the program's downloads list. The host
// numbers each download; the list follows it by that number from the moment
// the user chose where it goes, also after its window has gone.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

class WebKitHost;

namespace webkitdownloads {

// The user chose path for the host's download id: it is listed.
void placed(WebKitHost *host, const QByteArray &id, const QString &path, const QUrl &source,
            bool privateWindow = false);
// A message from the host, of any view; the list follows the download
// messages among them.
void report(WebKitHost *host, const QByteArray &verb, const QList<QByteArray> &fields);
// The host has ended: what it was still downloading failed.
void hostGone(WebKitHost *host);

}  // namespace webkitdownloads
