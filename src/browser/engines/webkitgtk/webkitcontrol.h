// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine of the "Gekko" slot: a WebKitGTK view run by the engine host
// process, its X window embedded here.

#include "browser/enginecontrol.h"
#include "webkithost.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <memory>
#include <functional>

class ErrorPage;
class QLabel;
class QStackedLayout;
class QWindow;

class WebKitControl : public EngineControl, public WebKitView {
    Q_OBJECT
public:
    // Starts the host when needed and asks it for a view, which arrives
    // later; requests meanwhile wait for it. Throws the creation or
    // activation error when no host can be started here; one that fails
    // later is reported by EngineFailed.
    explicit WebKitControl(QWidget *parent);
    ~WebKitControl() override;

    void Navigate(const QString &address) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    void RefreshBypassingCache() override;
    QString LocationURL() const override;
    void FindText(const QString &text, bool backward) override;
    qreal ZoomFactor() const override;
    void SetZoomFactor(qreal factor) override;
    bool RequestClose() override;
    void TerminatePage() override;
    void PrintToPdf(const QString &path) override;
    void Download(const QUrl &address) override;
    void ExitFullScreen() override;
    QByteArray SaveHistory() const override;
    bool RestoreHistory(const QByteArray &state) override;
    void ViewSource() override;
    void ShowInspector() override;
    // Linking with a window of the other engine (webkitscroll.cpp).
    void WatchScrolling(bool on) override;
    void ScrollTo(const QString &anchor, qreal within, qreal fraction) override;
    QImage PageSnapshot() override;
    // Whether the host has the page's inspector window open.
    bool showsInspector() const { return inspectorShown_; }

    // From the host: the view asked for, or why there is none (hostWent:
    // the host ended, and a new one may do); an event of this control's
    // view; the end of the host itself.
    void viewArrived(quint32 plug) override;
    void viewFailed(const QString &message, bool hostWent) override;
    void hostEvent(const QByteArray &verb, const QList<QByteArray> &fields) override;
    void hostGone() override;
    bool isPrivateView() const override { return IsPrivate(); }

    // Whether the view is still on its way.
    bool isCreating() const { return state_ == State::Creating; }
    // The embedded plug window (0 while none) and whether the window shows
    // that its page has gone.
    quint32 plugWindow() const { return plug_; }
    bool showsCrash() const;
    // Our page for a load that failed, over the view.
    ErrorPage *errorPage() const { return errorPage_; }
    bool showsErrorPage() const;
    // Whether the page has closed itself while one of its questions is open:
    // the window closes once it is answered.
    bool closesAfterQuestion() const { return closeWaiting_; }

    // A page asks for no size of its own: the frame's cascade leaves the
    // window as large as it is, as it does an IE window.
    QSize sizeHint() const override { return size().isEmpty() ? QSize(800, 600) : size(); }

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A field of a host's line as text.
    static QString textField(const QList<QByteArray> &fields, int index);
    // An address as the user reads it (and as the other engine gives it).
    static QString readable(const QString &uri);

    enum class State { Creating, Live, PageGone, HostGone, Failed };
    using Handler = void (WebKitControl::*)(const QList<QByteArray> &fields);
    static const QHash<QByteArray, Handler> &handlers();

    void embed();
    void fail(const QString &message);
    void release();
    // Brings a view back after its page or its host went; true when the
    // host already has the page to reload.
    bool revive();
    void showCrash(const QString &why);
    void send(const char *verb, const QList<QByteArray> &fields = {});
    // Reload (verb "reload" or "reloadfull"), or a load of the address for
    // a view that has to be made again.
    void reload(const char *verb);
    void tellFocus(Qt::FocusReason reason);
    // The zoom the view is given: the user's with the rest of the window's
    // scale factor (webkitscale.cpp); sent again when the screen changes.
    QByteArray zoomField() const;
    void followScale();
    void leaveToFrame(bool next);
    // Shows one of the page's questions (a modal dialog) and sends the
    // answer it returns, unless the control went meanwhile. The window does
    // not close under an open question: a page closing itself meanwhile
    // closes it once the question is answered.
    void ask(const char *verb, const std::function<QList<QByteArray>()> &dialog);

    void onUri(const QList<QByteArray> &fields);
    void onTitle(const QList<QByteArray> &fields);
    void onProgress(const QList<QByteArray> &fields);
    void onLoaded(const QList<QByteArray> &fields);
    void onStatus(const QList<QByteArray> &fields);
    void onHistory(const QList<QByteArray> &fields);
    void onNewWindow(const QList<QByteArray> &fields);
    void onPopupBlocked(const QList<QByteArray> &fields);
    void onOtherEngine(const QList<QByteArray> &fields);
    void onPress(const QList<QByteArray> &fields);
    // A click in the page whose plug sits in window.
    static void pressedIn(quint32 window);
    void onLeave(const QList<QByteArray> &fields);
    void onClose(const QList<QByteArray> &fields);
    void onCrashed(const QList<QByteArray> &fields);
    void onResponsive(const QList<QByteArray> &fields);
    void onCertificate(const QList<QByteArray> &fields);
    void onFailed(const QList<QByteArray> &fields);
    void hideErrorPage();
    void proceedPastCertificate();
    void onFindBar(const QList<QByteArray> &fields);
    void onZoomStep(const QList<QByteArray> &fields);
    void onDialog(const QList<QByteArray> &fields);
    void onAuth(const QList<QByteArray> &fields);
    // Leave for what a page asks (webkitpermissions.cpp), its notifications
    // and the window of remembered decisions.
    void onPermission(const QList<QByteArray> &fields);
    void onNotification(const QList<QByteArray> &fields);
    void onSiteSettings(const QList<QByteArray> &fields);
    void onDownload(const QList<QByteArray> &fields);
    void onDownloading(const QList<QByteArray> &fields);
    void onDownloaded(const QList<QByteArray> &fields);
    void onDownloadFailed(const QList<QByteArray> &fields);
    void onFound(const QList<QByteArray> &fields);
    void onSession(const QList<QByteArray> &fields);
    void onComposing(const QList<QByteArray> &fields);
    void onViewSource(const QList<QByteArray> &fields);
    void onSourceReady(const QList<QByteArray> &fields);
    void onSavePage(const QList<QByteArray> &fields);
    void onPageSaved(const QList<QByteArray> &fields);
    void onInspector(const QList<QByteArray> &fields);
    void onPrint(const QList<QByteArray> &fields);
    void onPrinted(const QList<QByteArray> &fields);
    // Prints not yet answered fail when their page or host goes.
    void failPrints();
    void onFullScreen(const QList<QByteArray> &fields);
    // The content filters' count, the page's site switch and the lists
    // window (webkitblocking.cpp).
    void onBlocked(const QList<QByteArray> &fields);
    void onExempt(const QList<QByteArray> &fields);
    void onFilterLists(const QList<QByteArray> &fields);
    void onRuleNavigation(const QList<QByteArray> &fields);  // webkitrules.cpp
    void onSiteEngine(const QList<QByteArray> &fields);
    void onScrolled(const QList<QByteArray> &fields);
    void onSideBySide(const QList<QByteArray> &fields);

    QPointer<WebKitHost> host_;
    int view_ = 0;
    quint32 plug_ = 0;
    QWindow *window_ = nullptr;  // the plug's window as Qt knows it
    QWidget *container_ = nullptr;
    QLabel *crashPage_;
    ErrorPage *errorPage_;
    QWidget *blankPage_;  // while the view is on its way
    QStackedLayout *stack_;
    State state_ = State::Creating;
    bool hadView_ = false;  // a view has arrived once: a later failure keeps the window
    bool retried_ = false;  // this request already tried a second host
    // What was asked of the view before it arrived (sent at once), asked
    // again of the next host should this one go before answering.
    QList<QPair<const char *, QList<QByteArray>>> queued_;
    QString location_;
    QString status_;
    bool canGoBack_ = false;
    bool canGoForward_ = false;
    int progress_ = 100;
    qreal zoom_ = 1.0;
    bool hung_ = false;         // the page does not answer
    int asking_ = 0;            // the page's questions open now
    bool closeWaiting_ = false;  // the page closed itself while one was open
    QByteArray session_;        // the page's history as the host last sent it
    bool composing_ = false;    // an input method composes in the page
    // Where the host writes the page's bytes for its source, one file a
    // request, each read once.
    std::unique_ptr<QTemporaryDir> sourceDir_;
    QSet<QString> sourcesAsked_;
    bool inspectorShown_ = false;
    QStringList printing_;      // PDF files asked of the host, not yet written
};
