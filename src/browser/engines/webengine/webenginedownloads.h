// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt WebEngine's downloads in the program's downloads list. The engine may
// resume an interrupted download by itself, asking again with a new request
// for the same download; it goes on where the user placed it.

#include <QString>

class QWebEngineDownloadRequest;

namespace webenginedownloads {

// Where the download this request continues was placed; empty for a new one.
QString placedPath(const QWebEngineDownloadRequest *request);
// The list follows request, saved at path, to its end (also after its window
// has gone); a request that continues a listed download keeps its entry.
void follow(QWebEngineDownloadRequest *request, const QString &path);

}  // namespace webenginedownloads
