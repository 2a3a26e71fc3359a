// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the history's two test files share: the test class and the history
// file's helpers.

#include "app/addresscompleter.h"
#include "app/browsinghistory.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/programdir.h"
#include "history/historyform.h"
#include "history/historystore.h"
#include "settings/config.h"
#include "testsupport.h"
#include "whenopen.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeView>
#include <sys/stat.h>
#include <thread>

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void init();
    void visitsFromWindowLoads();
    void twoWritersLoseNothing();
    void damagedDatabaseSetAside_data();
    void damagedDatabaseSetAside();
    void unavailableDatabaseKept_data();
    void unavailableDatabaseKept();
    void historyFilesPrivate_data();
    void historyFilesPrivate();
    void userFoldersPrivate_data();
    void userFoldersPrivate();
    void historyWindow();
    void suggestionOrder();
    void suggestionKeys();
};

inline QString historyPath()
{
    return userDataDirectory() + QStringLiteral("history.sqlite");
}

inline QStringList addressesOf(const QList<HistoryStore::Entry> &entries)
{
    QStringList list;
    for (const auto &e : entries)
        list.append(e.address);
    return list;
}
