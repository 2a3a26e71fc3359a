// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a browser window needs of a web engine: five operations, the current
// address and five events. Every engine, real or scripted, is a widget that
// fills its window's client area. An operation that fails throws VexelError.

#include "browser/newwindowrequest.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace engines {
// Whether the control being made is a private window's (engines::create
// says so while its factory runs).
bool makingPrivate();
}  // namespace engines

class EngineControl : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // The history commands whose state CommandStateChange reports.
    enum class NavigationCommand { Forward = 1, Back = 2 };
    Q_ENUM(NavigationCommand)

    // A private window's page keeps its cookies, storage and cache in
    // memory only, apart from every other window's; fixed at its making.
    bool IsPrivate() const { return private_; }

    virtual void Navigate(const QString &address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    virtual QString LocationURL() const = 0;

    // Reloads the page from the server, not from the cache (Shift+F5).
    virtual void RefreshBypassingCache() = 0;
    // The page's back/forward history as the engine can save it (empty
    // when it cannot), and a saved one put back with its current entry
    // shown; false when the engine cannot read it, and then nothing changed.
    virtual QByteArray SaveHistory() const { return {}; }
    virtual bool RestoreHistory(const QByteArray &) { return false; }

    // What users expect of a browser window beyond the frame's commands.
    // Finds text in the page from the selection on (wrapping); an empty text
    // clears the highlight. The outcome comes as FindResult.
    virtual void FindText(const QString &text, bool backward) = 0;
    virtual qreal ZoomFactor() const = 0;
    virtual void SetZoomFactor(qreal factor) = 0;

    // Asks the page whether its window may close (its beforeunload handler
    // may ask the user). Returns true when the answer comes later as
    // CloseRequested; false when the engine has nothing to ask.
    virtual bool RequestClose() { return false; }

    // Whether the page's context menu may offer its address to the other
    // engine; unset means it may.
    std::function<bool()> OtherEngineAvailable;

    // Ends the process running the page (one that no longer answers): the
    // page shows as crashed, and Refresh brings it back.
    virtual void TerminatePage() {}

    // The page laid out for print, written as a PDF file to path; the
    // outcome comes as PdfPrinted. An engine that cannot print reports
    // failure.
    virtual void PrintToPdf(const QString &path) { emit PdfPrinted(path, false); }
    // Leaves the page's full screen (Esc); nothing when the page is not.
    virtual void ExitFullScreen() {}
    // The page's source, and the engine's own inspector on the page.
    virtual void ViewSource() {}
    virtual void ShowInspector() {}
    // Downloads address as a link's target would be (a retry from the
    // downloads list); the user chooses where it goes.
    virtual void Download(const QUrl &address) { Q_UNUSED(address); }

    // Requests the content filters blocked for the page now shown (0 at
    // each new top-level page).
    int BlockedCount() const { return blockedCount_; }

    // Linking two windows of one page. While watched, the page reports
    // where it is scrolled as ScrollPositionChange; ScrollTo puts another
    // page at a reported place. A place is the element at the top of the
    // page ("#id" or a path of child indexes like "/1/0/3"), how far into
    // that element the top lies (0..1), and the fraction of the page's
    // height, used when the element is not found. A scroll made by ScrollTo
    // is not reported back.
    virtual void WatchScrolling(bool on) { Q_UNUSED(on); }
    virtual void ScrollTo(const QString &anchor, qreal within, qreal fraction)
    {
        Q_UNUSED(anchor);
        Q_UNUSED(within);
        Q_UNUSED(fraction);
    }
    // The page's pixels as shown now.
    virtual QImage PageSnapshot() { return grab().toImage(); }
    // Whether engine rules per site may send this page's own navigations
    // elsewhere; a linked window's never go.
    void setFollowsEngineRules(bool on) { followsEngineRules_ = on; }
    bool followsEngineRules() const { return followsEngineRules_; }

signals:
    void StatusTextChange(const QString &Text);
    void ProgressChange(int Progress, int ProgressMax);
    // Whether Command (forward or back) is possible now.
    void CommandStateChange(EngineControl::NavigationCommand Command, bool Enable);
    void TitleChange(const QString &Text);
    // A load ended: ok when the page is shown, false when it failed (an
    // error page, a stopped load, a refused certificate).
    void LoadFinished(bool ok);
    // A page asks for a new window; the frame accepts the request when it
    // opened one, which keeps the engine from opening one of its own.
    void NewWindow2(const NewWindowRequest &request);

    // The page closes its window (window.close()).
    void CloseRequested();
    // A message for the status bar that is not a link's address: download
    // progress, completion and failure.
    void StatusMessage(const QString &text);
    // The page's context menu asks for the find bar, or a zoom step
    // (+1 in, -1 out, 0 back to 100 %).
    void FindRequested();
    // What the last FindText found: the match now selected (from 1; 0 when
    // the engine does not say) of count matches; count 0: none.
    void FindResult(int active, int count);
    void ZoomRequested(int step);
    // The page's context menu asks for the page in the other engine.
    void OtherEngineRequested();
    // The page's context menu asks that its site always open in the engine
    // of engineClassId (empty: that the site's rule go).
    void SiteEngineRequested(const QString &engineClassId);
    // The page's own navigation to address (a link, a form) was held back
    // because a site rule names the other engine: the frame opens it there.
    void RuleNavigationRequested(const QString &address);

    // The page's scripts stopped answering (false) or answer again (true).
    void PageResponsiveChange(bool responsive);
    // An engine made in the background could not be made after all: the
    // window reports message and closes.
    void EngineFailed(const QString &message);

    // The page (window.print(), or its context menu) asks to be printed.
    void PrintRequested();
    // What PrintToPdf wrote: ok when path holds the page.
    void PdfPrinted(const QString &path, bool ok);
    // The page enters (a video's full-screen button) or leaves full screen.
    void FullScreenRequested(bool on);
    void BlockedCountChange(int count);
    // The page's context menu asks for the page in both engines side by side.
    void SideBySideRequested();
    // Where the watched page is scrolled now (see WatchScrolling).
    void ScrollPositionChange(const QString &anchor, qreal within, qreal fraction);
    // SetZoomFactor changed the page's zoom.
    void ZoomFactorChange(qreal factor);

protected:
    void setBlockedCount(int count)
    {
        if (count == blockedCount_)
            return;
        blockedCount_ = count;
        emit BlockedCountChange(count);
    }

private:
    int blockedCount_ = 0;
    bool followsEngineRules_ = true;
    const bool private_ = engines::makingPrivate();
};

// The engines, by the class IDs the two menu slots create.
namespace engines {

inline const QString IE_CLSID = QStringLiteral("{8856F961-340A-11D0-A96B-00C04FD705A2}");
inline const QString MOZILLA_CLSID = QStringLiteral("{1339B54C-3453-11D2-93B9-000000000000}");

// Makes a control as a child of parent; throws when the engine cannot be
// embedded.
using Factory = std::function<EngineControl *(QWidget *parent)>;

// Registers (or, with an empty factory, removes) the engine of a class ID;
// returns the factory it replaces.
Factory registerEngine(const QString &classId, Factory factory);

// Creates the control of a class ID, a private window's when privateWindow.
// Throws "クラスが登録されていません。" when no engine is registered under it.
EngineControl *create(const QString &classId, QWidget *parent, bool privateWindow = false);

// The message of a control that could not be embedded.
QString activationFailedMessage();
QString classNotRegisteredMessage();

// What typed text is. An address: a known scheme ("about:", "mailto:", ...)
// or any "scheme://"; a path (absolute, "~", or an existing file relative to
// the current directory unless files are ignored); a dotted host, IDN
// included, "localhost", an IP address or any host with a port, each with
// an optional path. Anything else (blanks, a word without a dot) is words
// to search for, with their blanks made single spaces.
struct TypedText {
    enum Kind { Empty, Address, Search };
    Kind kind = Empty;
    QUrl address;   // an Address
    QString words;  // a Search
};
enum class RelativeFiles { Look, Ignore };
TypedText readTypedText(const QString &text, RelativeFiles files = RelativeFiles::Look);

// A search template's address with words put in place of each "%s",
// percent-encoded as UTF-8.
QUrl searchAddress(const QString &searchTemplate, const QString &words);
QString defaultSearchTemplate();

// What typed text opens: its address, or the search of its words in the
// default engine (the frame searches in the user's own before it gets here).
// Empty stays empty.
QUrl urlFromUserInput(const QString &address);

// The zoom factor one step (+1 in, -1 out, 0 back to 100 %) away from
// current, on the levels users know from other browsers.
qreal nextZoom(qreal current, int step);

// Registers the real engines that this build has.
void registerBuiltInEngines();

}  // namespace engines
