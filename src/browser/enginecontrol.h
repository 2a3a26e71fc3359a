#pragma once
// What a browser window needs of a web engine: five operations, the current
// address and five events. Every engine, real or scripted, is a widget that
// fills its window's client area. An operation that fails throws VexelError.

#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

class EngineControl : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void Navigate(const QString &address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    virtual QString LocationURL() const = 0;

    // What users expect of a browser window beyond the frame's commands.
    // Finds text in the page from the selection on (wrapping); an empty text
    // clears the highlight.
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

signals:
    void StatusTextChange(const QString &Text);
    void ProgressChange(int Progress, int ProgressMax);
    // Command 1: forward possible or not; 2: back possible or not.
    void CommandStateChange(int Command, bool Enable);
    void TitleChange(const QString &Text);
    // A load ended: ok when the page is shown, false when it failed (an
    // error page, a stopped load, a refused certificate).
    void LoadFinished(bool ok);
    // A page asks for a new window on address (empty when the engine does not
    // say). Setting Cancel keeps the engine from opening one of its own.
    // Connect directly: Cancel is read back when the signal returns.
    void NewWindow2(const QString &address, bool &Cancel);

    // The page closes its window (window.close()).
    void CloseRequested();
    // A message for the status bar that is not a link's address: download
    // progress, completion and failure.
    void StatusMessage(const QString &text);
    // The page's context menu asks for the find bar, or a zoom step
    // (+1 in, -1 out, 0 back to 100 %).
    void FindRequested();
    void ZoomRequested(int step);
    // The page's context menu asks for the page in the other engine.
    void OtherEngineRequested();

    // The page's scripts stopped answering (false) or answer again (true).
    void PageResponsiveChange(bool responsive);
    // An engine made in the background could not be made after all: the
    // window reports message and closes.
    void EngineFailed(const QString &message);
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

// Creates the control of a class ID. Throws "クラスが登録されていません。"
// when no engine is registered under it.
EngineControl *create(const QString &classId, QWidget *parent);

// The message of a control that could not be embedded.
QString activationFailedMessage();
QString classNotRegisteredMessage();

// What a typed address means, as a browser reads it: a URL with a scheme
// stays as it is, a path to an existing file (absolute, or relative to the
// current directory) is that file, anything else ("example.com") a web
// address. Empty stays empty.
QUrl urlFromUserInput(const QString &address);

// The zoom factor one step (+1 in, -1 out, 0 back to 100 %) away from
// current, on the levels users know from other browsers.
qreal nextZoom(qreal current, int step);

// Registers the real engines that this build has.
void registerBuiltInEngines();

}  // namespace engines
