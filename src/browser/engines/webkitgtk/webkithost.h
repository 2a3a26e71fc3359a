// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engine host process (vexel-webkit) seen from the frame: started on the
// first Gecko window, shared by all of them, replaced by a new one after it
// has gone. The protocol is in protocol.h, its codec in protocolcodec.h.
//
// Nothing here waits: a view is asked for and arrives later, so no window's
// constructor runs an event loop in which other windows' events happen.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include "protocol.h"
#include "protocolcodec.h"

// One line of the protocol, decoded.
struct WebKitMessage {
    quint32 view = 0;
    QByteArray verb;
    QList<QByteArray> fields;  // as sent: UTF-8 text, numbers, words
};

namespace webkitprotocol {
// The codec wrapped for the frame: the line for a message ("\n" included),
// or an empty array when it cannot be written (a field holding NUL, or too
// long for a line).
QByteArray encode(quint32 view, const char *verb, const QList<QByteArray> &fields);
// VEXEL_PROTO_OK and *message, or the codec's error.
int decode(const QByteArray &line, WebKitMessage *message);
}  // namespace webkitprotocol

// The pipe's yes and no fields: anything but a yes is a no.
inline bool isYes(const QByteArray &field)
{
    return field == VEXEL_YES;
}
inline QByteArray yesNo(bool yes)
{
    return yes ? QByteArrayLiteral(VEXEL_YES) : QByteArrayLiteral(VEXEL_NO);
}

// What the host needs of a view's owner (WebKitControl; a test's fake). An
// owner releases its view (WebKitHost::releaseView) before it goes, so the
// host never calls one that has gone.
class WebKitView {
public:
    virtual ~WebKitView() = default;
    // The view asked for has arrived: its plug window.
    virtual void viewArrived(quint32 plug) = 0;
    // There is none, and why; hostWent: the host ended, and a new one may do.
    virtual void viewFailed(const QString &message, bool hostWent) = 0;
    // An event of this view.
    virtual void hostEvent(const QByteArray &verb, const QList<QByteArray> &fields) = 0;
    // The host has ended under the view.
    virtual void hostGone() = 0;
    // Its data in memory only.
    virtual bool isPrivateView() const = 0;
};

class WebKitHost : public QObject {
    Q_OBJECT
public:
    ~WebKitHost() override;

    // The running host, started when there is none. Throws
    // "クラスが登録されていません。" when there is no host beside the
    // program, "OLE コントロールのアクティベートに失敗しました" when its
    // views cannot be embedded here (no X display). Does not wait for it.
    static WebKitHost *running();
    // Starts the host now, while the frame is still being built, when the
    // first window will be a Gecko one; warmPage (not for a private window)
    // has it start the first page's web process too. Nothing when no host
    // can run here: the window says so itself when it opens.
    static void startEarly(bool warmPage);

    // Asks for a view for owner and returns its number at once. The answer
    // comes later: owner->viewArrived(plug), or owner->viewFailed(message,
    // hostWent) when the host refused, did not answer in time (it is then
    // let go) or ended first.
    int requestView(WebKitView *owner);
    // The view goes (also one still awaited); the host destroys it.
    void releaseView(int view);

    bool isAlive() const { return !gone_; }
    // The window scale its views draw at (GDK's, whole numbers only).
    int scale() const { return scale_; }
    // It has said "ready" with the right protocol version.
    bool isReady() const { return ready_; }
    // Fields as text; the codec escapes them. False when nothing was sent:
    // the host has gone, or the line could not be written (too long).
    bool send(int view, const char *verb, const QList<QByteArray> &fields = {});

    // Test hooks: the host program to start instead of the one beside the
    // program (empty: that one again); how long to wait for an answer; the
    // process id of the running host (0 when none).
    static void setExecutableForTesting(const QString &path);
    static void setReplyTimeoutForTesting(int milliseconds);
    static qint64 runningProcessId();

signals:
    // A message to view 0 other than "ready" (site data answers ...).
    void hostMessage(const QByteArray &verb, const QList<QByteArray> &fields);

private:
    int scale_ = 1;
    WebKitHost();
    void start(const QString &program);
    void read();
    void processLines();
    void dispatch(const WebKitMessage &message);
    void onReady(const QList<QByteArray> &fields);
    void onViewAnswer(const WebKitMessage &message);
    void awaitAnswer();
    void onTimeout();
    void onGone();

    QProcess process_;
    VexelProtoReader reader_;
    QList<QByteArray> lines_;  // whole lines read, not yet handled
    bool linesQueued_ = false;
    bool ready_ = false;
    bool gone_ = false;
    int nextView_ = 1;
    QTimer replyTimer_;
    QHash<int, WebKitView *> views_;    // views that have arrived
    QHash<int, WebKitView *> pending_;  // views asked for
};
