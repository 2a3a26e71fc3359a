// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "閲覧データを消去" (Ctrl+Shift+Delete): history, cookies and site data,
// the cache, the downloads list and the site permissions of a period,
// cleared in both engines at once. Private windows keep nothing of theirs
// here, and nothing here touches them.
//
// Neither engine tells when a cookie or a site's storage was made. For a
// period short of "すべての期間", cookies and site data go for the sites the
// history shows visited in that period, and so do their permission
// decisions (which carry no time either). The cache goes whole whatever
// the period: Qt WebEngine clears it no other way.

#include <QDateTime>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TMainForm;

class TClearingForm : public QWidget {
    Q_OBJECT
public:
    // Shows the window (made once, then raised) over the frame.
    static TClearingForm *showFor(TMainForm *frame);

    QComboBox *cmbPeriod;  // 過去 1 時間 / 過去 24 時間 / 過去 7 日間 / すべての期間
    QCheckBox *chkHistory, *chkCookies, *chkCache, *chkDownloads, *chkPermissions;
    QLabel *lblState;
    QPushButton *btnClear, *btnCancel;

    // The start of the chosen period; null for all of it.
    QDateTime since() const;
    // Clears what is checked; cleared() when both engines have answered.
    void Clear();
    bool isBusy() const { return busy_; }

signals:
    void cleared(const QStringList &failures);

private:
    explicit TClearingForm(TMainForm *frame);
    void finish(const QStringList &failures);

    TMainForm *frame_;
    bool busy_ = false;
};
