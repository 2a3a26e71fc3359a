// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history window (Ctrl+H): every visited page, most recent first, with
// a search field; a page opens as a bookmark would.

#include <QWidget>

class HistoryStore;
class QLabel;
class QLineEdit;
class QPushButton;
class QSqlQueryModel;
class QTreeView;

class THistoryForm : public QWidget {
    Q_OBJECT
public:
    explicit THistoryForm(HistoryStore *store, QWidget *parent = nullptr);
    ~THistoryForm() override;

    QLabel *Label1;
    QLineEdit *txtSearch;
    QTreeView *lstHistory;
    QPushButton *btnOpen, *btnDelete, *btnClear, *btnClose;

    // Handlers.
    void txtSearchChange();
    void btnOpenClick();
    void btnDeleteClick();
    void btnClearClick();

    // Shows the entries again (after a visit, a removal).
    void refresh();
    // The address of the row, or of the current row.
    QString addressAt(int row) const;
    int rowCount() const;

signals:
    // The user chose a page to open.
    void openRequested(const QString &address);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList selectedAddresses() const;

    HistoryStore *store_;
    QSqlQueryModel *model_;
};
