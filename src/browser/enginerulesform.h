// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "エンジンのルール": the sites that always open in one engine, to look
// over, change, add to, take away, and carry to and from a text file.

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class EngineRulesForm : public QWidget {
    Q_OBJECT
public:
    // Shows the window (made once, then raised) over from's top-level window.
    static EngineRulesForm *showFor(QWidget *from);

    QTreeWidget *lvRules;
    QLineEdit *txtHost;
    QComboBox *cmbEngine;
    QPushButton *btnAdd;
    QPushButton *btnIE;
    QPushButton *btnGecko;
    QPushButton *btnRemove;
    QPushButton *btnImport;
    QPushButton *btnExport;
    QPushButton *btnClose;

    // Reads the rules again.
    void reload();
    // The rules as the list shows them, written; the list read back.
    void save();
    // Adds the rules of a file; returns what the user is told.
    QString importFile(const QString &path);
    void exportFile(const QString &path);

private:
    explicit EngineRulesForm(QWidget *parent);
    void addRule();
    void setEngine(const QString &engine);
    void updateButtons();
    bool reloading_ = false;
};
