// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine of the "Internet Explorer" slot: Qt WebEngine, in process.

#include "browser/enginecontrol.h"
#include "browser/errorpage.h"
#include "browser/engines/webengine/devtoolswindow.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWebEnginePage>
#include <functional>

class QAuthenticator;
class QLabel;
class QMenu;
class QTimer;
class QWebEngineCertificateError;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

// The page: refuses to make windows of its own, so every new window a page
// asks for goes through the frame; shows the page's dialogs in Japanese.
class WebEnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    WebEnginePage(QWebEngineProfile *profile, QObject *parent);

    // How many of the page's own dialogs are open: the page waits for the
    // user then, it does not hang.
    int dialogsOpen() const { return dialogsOpen_; }

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;

private:
    // Counts a dialog of the page as open while it runs.
    template <typename F>
    auto asking(F dialog);
    int dialogsOpen_ = 0;
};

class WebEngineControl : public EngineControl {
    Q_OBJECT
public:
    explicit WebEngineControl(QWidget *parent);
    ~WebEngineControl() override;

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
    // Linking with a window of the other engine (webenginescroll.cpp).
    void WatchScrolling(bool on) override;
    void ScrollTo(const QString &anchor, qreal within, qreal fraction) override;
    QImage PageSnapshot() override;

    QWebEngineView *view() const { return view_; }
    // The developer tools' window while it is open.
    DevToolsWindow *devTools() const { return devTools_; }
    WebEnginePage *page() const { return page_; }
    bool showsCrashNotice() const;
    // Our page for a load that failed, shown instead of the view.
    ErrorPage *errorPage() const { return errorPage_; }
    bool showsErrorPage() const;

    // What the engine needs of the process before the application object
    // exists.
    static void prepareProcess();

    // The one profile all windows share: cookies, storage and cache kept in
    // the user's data and cache folders, so logins survive a restart.
    static QWebEngineProfile *sharedProfile();
    // At the program's end, after every window has gone.
    static void releaseSharedProfile();
    // The private windows' profile, off the record; made with the first
    // private page, gone with the last.
    static QWebEngineProfile *privateProfile();
    // Whether a private profile (or one on its way out) still holds data.
    static bool hasPrivateProfile();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showContextMenu(const QPoint &pos);
    // Our item of the menu in place of the engine's source or inspector one.
    QAction *ourPageAction(QMenu *menu, QAction *engines);
    // エンコード: reads the page again with another default encoding.
    void addEncodingMenu(QMenu *menu);
    void readAgainAs(const QString &charset);
    // Keeps the keys of an input method's composition in the page.
    bool watchComposition(QObject *watched, QEvent *event);
    void handleDownload(QWebEngineDownloadRequest *download);
    void askCredentials(const QString &who, QAuthenticator *authenticator);
    void showCrashNotice(bool shown);
    // A failed load shows our page; the next load of the page hides it.
    void loadingChanged(const QWebEngineLoadingInfo &info);
    void refuseCertificate(const QWebEngineCertificateError &error);
    void showErrorPage(bool shown);
    void proceedPastCertificate();
    // Whether the page's scripts still answer: a probe each second, and a
    // page whose probe has not come back in kHangAfter ms does not answer.
    void probe();
    void resetProbe();

    QWebEngineView *view_;
    WebEnginePage *page_;
    QMetaObject::Connection scrollWatch_;  // while the page's scrolls are reported
    QLabel *crashNotice_;
    ErrorPage *errorPage_;
    // The certificate last refused, for the page of the load it failed.
    struct Refused {
        QUrl url;
        QSslCertificate certificate;
        ErrorPage::Problems problems;
        bool overridable = false;
        QString description;
    } refused_;
    QTimer *probeTimer_;
    QElapsedTimer probeSent_;
    quint64 probeGeneration_ = 0;  // a probe of an earlier page is not an answer
    bool probing_ = false;
    bool hung_ = false;
    quint64 findGeneration_ = 0;  // only the latest find reports
    QString encoding_;            // chosen in the page's menu; empty: 自動
    bool composing_ = false;      // an input method composes in the page
    // The PDF asked for, until the page answers a probe: the engine is
    // given no print for a page that does not answer (one whose process is
    // ended meanwhile leaves the engine's print unfinished, and the engine
    // crashes on the next load).
    QString pdfAsked_;
    // The PDF the engine is writing; it stays set when the page's process
    // ended meanwhile, as the engine never ends that print.
    QString pdfPending_;
    QPointer<DevToolsWindow> devTools_;
};
