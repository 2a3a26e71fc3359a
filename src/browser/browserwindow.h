#pragma once
// What the two kinds of browser window share: an MDI child holding one
// engine control, reporting to the frame's shared controls, and keeping the
// state it restores the frame from when it becomes active again.

#include <QMdiSubWindow>
#include <QString>

class EngineControl;
class QFrame;
class QPushButton;
class TMainForm;

class TBrowserWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    ~TBrowserWindow() override;

    EngineControl *control() const { return control_; }

    // Fields, in their order after the control.
    QString LastStatusText;
    bool BackEnabled = false;
    bool ForwardEnabled = false;
    bool StopEnabled = false;
    bool ReloadEnabled = false;
    int Tag = 0;  // the last Progress received, unscaled

    // The bar position this window's progress rule last gave; what the frame
    // shows when the window becomes active again.
    int ShownProgress = 0;

    // Shown while the page does not answer; its button ends the page.
    QFrame *HungBar = nullptr;
    QPushButton *btnStopPage = nullptr;

    virtual void FormCreate();
    virtual void FormActivate();
    void FormClose();
    void FormResize();

    // Whether this window is the frame's active child: only that one writes
    // into the frame's shared controls.
    bool isActiveInFrame() const;

protected:
    TBrowserWindow(TMainForm *frame, const QString &classId, const QString &name);

    // The shared bodies of the event handlers.
    void statusTextChanged(const QString &text);
    void commandStateChanged(int command, bool enable);
    void titleChanged(const QString &text);
    void newWindowRequested(const QString &caption, const QString &address, bool &cancel);
    // Shows a progress position in the frame (when active) and remembers it.
    void showProgress(int position);

    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    TMainForm *frame_;
    EngineControl *control_ = nullptr;
    bool closeAsked_ = false;   // the page has been asked whether it may close
    bool closeAgreed_ = false;  // the page agreed (or closes itself)
};
