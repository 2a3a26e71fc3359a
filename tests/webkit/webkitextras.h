// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Gecko slot's extra tests share: the test class and the helpers of
// both its files.

#include "webkittests.h"

#include "app/findbar.h"
#include "browser/pagedialogs.h"
#include "httpserver.h"
#include "whenopen.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QStandardPaths>
#include <QToolButton>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

inline HttpResponse attachment(const QByteArray &type, const QByteArray &name, const QByteArray &body)
{
    return HttpResponse{200, "OK",
                        {{"Content-Type", type}, {"Content-Disposition", "attachment; filename=\"" + name + "\""}},
                        body, false};
}

// Opens the page's context menu with a real right click at a point of the
// page and chooses its index-th item among those that can be chosen (the
// keyboard skips separators and disabled items).
inline bool chooseFromContextMenu(QWidget *page, const QPoint &at, int index)
{
    if (!popupMenus().isEmpty() || !movePointer(onScreen(page, at)) ||
        !xdotool({QStringLiteral("click"), QStringLiteral("3")}))
        return false;
    if (!QTest::qWaitFor([] { return !popupMenus().isEmpty(); }, kWait))
        return false;
    // Home selects the first item whatever the pointer rests on.
    QStringList keys{QStringLiteral("Home")};
    for (int i = 0; i < index; ++i)
        keys << QStringLiteral("Down");
    keys << QStringLiteral("Return");
    return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys) &&
           QTest::qWaitFor([] { return popupMenus().isEmpty(); }, kWait);
}

class TestWebKitExtras : public EngineTest {
    Q_OBJECT
private slots:
    void cleanup();

    void downloadIntoAMissingFolderSaysSo();
    void pageClosingItselfWaitsForTheSaveDialog();
    void proxyAuthentication();
    void crashedPageClosesWithoutAsking();
    void pagesWithoutAQuestionClose_data();
    void pagesWithoutAQuestionClose();
    void contextMenuNavigates();
    void contextMenuLinks();
    void contextMenuCopiesTheSelection();
    void contextMenuFindAndZoom();
    void cookiesAndStorageSurviveHostRestart_data();
    void cookiesAndStorageSurviveHostRestart();
    void pageDialogWhileAGeckoWindowIsMade();
    void hungPageIsStoppedAndReloaded();

};
