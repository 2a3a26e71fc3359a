// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both engines do alike, seen through the frame: every case runs once
// per class ID the two menu slots create ("ie", and "gecko" where the engine
// host is built), with real X input on pages. Where the engines differ, a
// column of the row says how. The test class and the helpers its two files
// share.

#include "webkittests.h"

#include "app/browsinghistory.h"
#include "app/findbar.h"
#include "history/historystore.h"
#include "browser/engines/webengine/webenginecontrol.h"
#include "browser/pagedialogs.h"
#include "core/plaintext.h"
#include "httpserver.h"
#include "tlsserver.h"
#include "whenopen.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QWebEngineView>
#include <sys/stat.h>

inline bool click(TBrowserWindow *w, const QPoint &at)
{
    return clickAt(onScreen(w->control(), at));
}

inline void reject(QWidget *dialog)
{
    QMetaObject::invokeMethod(dialog, "reject");
}

inline HttpResponse attachment(const QByteArray &type, const QByteArray &name, const QByteArray &body)
{
    return HttpResponse{200, "OK",
                        {{"Content-Type", type}, {"Content-Disposition", "attachment; filename=\"" + name + "\""}},
                        body, false};
}

Q_DECLARE_METATYPE(HttpResponse)

class TestEngineContract : public EngineTest {
    Q_OBJECT
private slots:
    void titleBecomesCaptionAndAddress_data();
    void titleBecomesCaptionAndAddress();
    void visitsRecorded_data() { engineRows(); }
    void visitsRecorded();
    void backAndForwardStates_data() { engineRows(); }
    void backAndForwardStates();
    void addressesAsTyped_data() { engineRows(); }
    void addressesAsTyped();
    void stopAndReload_data() { engineRows(); }
    void stopAndReload();
    void hoveringALinkShowsItsAddress_data() { engineRows(); }
    void hoveringALinkShowsItsAddress();
    void pageAsksForNewWindow_data();
    void pageAsksForNewWindow();
    void pageClosesItsWindow_data() { engineRows(); }
    void pageClosesItsWindow();
    void downloadAsksAndSaves_data();
    void downloadAsksAndSaves();
    void downloadCancelledSavesNothing_data() { engineRows(); }
    void downloadCancelledSavesNothing();
    void downloadThatFailsSaysSo_data();
    void downloadThatFailsSaysSo();
    void authentication_data() { engineRows(); }
    void authentication();
    void selfSignedCertificateRefused_data();
    void selfSignedCertificateRefused();
    void pageDialogs_data() { engineRows(); }
    void pageDialogs();
    void pageTextStaysPlain_data();
    void pageTextStaysPlain();
    void pageDialogIsNoHang_data();
    void pageDialogIsNoHang();
    void leavingPageAsksFirst_data() { engineRows(); }
    void leavingPageAsksFirst();
    void findAndZoom_data() { engineRows(); }
    void findAndZoom();
    void browserKeysFromInsideThePage_data() { engineRows(); }
    void browserKeysFromInsideThePage();
};
