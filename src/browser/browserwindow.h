// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the two kinds of browser window share: an MDI child holding one
// engine control. A window keeps what the frame's shared controls show for
// it and announces each change; it never reaches into the frame. The frame
// listens and draws the state of its active window only.

#include "browser/enginecontrol.h"
#include "core/errors.h"

#include <QMdiSubWindow>
#include <QString>

class QFrame;
class QPushButton;

// What the frame shows for a browser window: the address field, the status
// text, the progress bar and the four navigation buttons.
struct WindowState {
    QString address;
    QString statusText;
    int progress = 0;  // the bar's position, 0 to 100, as the window's own rule gives it
    bool backEnabled = false;
    bool forwardEnabled = false;
    bool stopEnabled = false;
    bool reloadEnabled = false;

    // The parts a change concerns; the frame redraws only those, so a new
    // status text leaves what the user is typing in the address field alone.
    enum Part { Address = 1, Status = 2, Progress = 4, Buttons = 8, All = 15 };
};

class TBrowserWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    ~TBrowserWindow() override;

    EngineControl *control() const { return control_; }
    // A private window: its page keeps nothing on the disk, and its caption
    // and frame say so.
    bool isPrivate() const { return private_; }
    static inline const QString PrivateSuffix = QStringLiteral("（プライベート）");
    // The caption without what marks a private or a linked window.
    QString pageCaption() const;
    // Linked with a window of the other engine showing the same page: its
    // caption begins with LinkedMark while the link lasts.
    static inline const QString LinkedMark = QStringLiteral("⇔ ");
    bool isLinked() const { return linked_; }
    void setLinked(bool on);

    // Fields, in their order after the control.
    QString LastStatusText;
    bool BackEnabled = false;
    bool ForwardEnabled = false;
    bool StopEnabled = false;
    bool ReloadEnabled = false;

    // The bar position this window's progress rule last gave; what the frame
    // shows when the window becomes active again.
    int ShownProgress = 0;

    // Shown while the page does not answer; its button ends the page.
    QFrame *HungBar = nullptr;
    QPushButton *btnStopPage = nullptr;

    // What the frame shows while this window is the active one.
    WindowState state() const;

    // While the frame shows a dialog for the page (its print), the page
    // waits for the user: its window shows no hang until the last ends.
    void holdHangWatch(bool held);

    virtual void FormCreate();
    virtual void FormActivate();
    void FormClose();
    void FormResize();

signals:
    // Parts (WindowState::Part) of what the frame shows for this window changed.
    void stateChanged(int parts);
    // The window is closing: the frame clears what it showed for it.
    void closing();
    // The page asks for a new window on address; the frame accepts request
    // when it opened one, and ignores it otherwise.
    void newWindowRequested(const QString &caption, const QString &address, const NewWindowRequest &request);
    // The page's menu asks for the find bar, or for the page in the other engine.
    void findRequested();
    void otherEngineRequested();
    // The page at address finished loading: a visit. A title the page gets
    // after that comes as retitled.
    void visited(const QString &address, const QString &title);
    void retitled(const QString &address, const QString &title);

protected:
    // frameShows: what the frame shows at the window's creation; the new
    // window starts from its Back, Forward and Stop states.
    TBrowserWindow(const QString &classId, const QString &name, const WindowState &frameShows,
                   bool privateWindow = false);

    // Binds the engine's five events to a kind's named handlers, each run
    // inside the error-reporting wrapper.
    template <class Kind>
    void bindHandlers(Kind *kind, void (Kind::*status)(const QString &), void (Kind::*progress)(int, int),
                      void (Kind::*command)(EngineControl::NavigationCommand, bool),
                      void (Kind::*title)(const QString &), void (Kind::*newWindow)(const NewWindowRequest &))
    {
        connect(control_, &EngineControl::StatusTextChange, this,
                guarded([kind, status](const QString &t) { (kind->*status)(t); }));
        connect(control_, &EngineControl::ProgressChange, this,
                guarded([kind, progress](int p, int max) { (kind->*progress)(p, max); }));
        connect(control_, &EngineControl::CommandStateChange, this,
                guarded([kind, command](EngineControl::NavigationCommand c, bool e) { (kind->*command)(c, e); }));
        connect(control_, &EngineControl::TitleChange, this,
                guarded([kind, title](const QString &t) { (kind->*title)(t); }));
        connect(control_, &EngineControl::NewWindow2, this,
                guarded([kind, newWindow](const NewWindowRequest &r) { (kind->*newWindow)(r); }));
    }

    // The shared bodies of the event handlers.
    void statusTextChanged(const QString &text);
    void commandStateChanged(EngineControl::NavigationCommand command, bool enable);
    void titleChanged(const QString &text);
    void pageAsksForWindow(const QString &caption, const NewWindowRequest &request);
    // Remembers the bar position the window's progress rule gives (held
    // within 0 to 100); publish() shows it while the window is active.
    void setShownProgress(int position);
    // Announces a change of parts of the state.
    void publish(int parts);

    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    EngineControl *control_ = nullptr;

private:
    WindowState frameShows_;  // what FormCreate copies its button states from
    QString address_;     // the page's address as last read from the control
    QString shownStatus_;  // the status text, or a message that is no link's address
    bool closeAsked_ = false;   // the page has been asked whether it may close
    bool closeAgreed_ = false;  // the page agreed (or closes itself)
    QString pageTitle_;       // the engine's title of the page
    QString visitedAddress_;  // the page last announced as visited
    int hangWatchHeld_ = 0;   // dialogs shown for the page now
    bool pageAnswers_ = true; // as the engine last reported
    const bool private_;
    bool marking_ = false;    // the private suffix or linked mark is being put on the caption
    bool linked_ = false;
};
