// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search engines words typed in the address field go to: four known
// ones and one of the user's own, chosen from the field's context menu
// ("検索エンジン") and kept in config.ini only once the user chooses.

#include "browser/enginecontrol.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QMenu;
class QWidget;

class SearchEngines : public QObject {
    Q_OBJECT
public:
    struct Engine {
        QString id;  // what config.ini keeps
        QString name;
        QString searchTemplate;  // "%s" stands for the words
    };
    static inline const QString OwnId = QStringLiteral("Own");

    // The known engines, then the user's own when config.ini holds a usable one.
    static QList<Engine> engines(const QString &ini);
    // The chosen engine; Google when none is chosen or the choice is gone.
    static Engine chosen(const QString &ini);
    // Why a template of the user's own cannot be used; empty when it can.
    static QString templateProblem(const QString &searchTemplate);
    // What typed text opens: the text itself when it is an address (the
    // engine reads it again with the same reader), else the search address
    // of its words in the chosen engine.
    static QString addressFor(const QString &ini, const QString &text,
                              engines::RelativeFiles files = engines::RelativeFiles::Look);

    // Gives field's context menu the engines; ini names config.ini when asked.
    SearchEngines(QLineEdit *field, std::function<QString()> ini);

    // The submenu "検索エンジン" as the choice stands now.
    QMenu *engineMenu(QWidget *parent);

private:
    void showContextMenu(const QPoint &pos);
    void choose(const QString &id);
    void addOwn();
    QLineEdit *field_;
    std::function<QString()> ini_;
};
