#pragma once
// The engine host process (vexel-webkit) seen from the frame: started on the
// first Gecko window, shared by all of them, replaced by a new one after it
// has gone. The protocol is in protocol.h.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <functional>

class WebKitControl;

class WebKitHost : public QObject {
    Q_OBJECT
public:
    ~WebKitHost() override;

    // The running host, started when there is none. Throws
    // "クラスが登録されていません。" when no host can be started beside the
    // program, "OLE コントロールのアクティベートに失敗しました" when its views
    // cannot be embedded here (no X display).
    static WebKitHost *running();

    // Makes a view for control, which receives the view's events from now
    // on; returns the view's number and its plug window. Throws the
    // activation error when the host does not answer in time.
    int createView(WebKitControl *control, quint32 *plugWindow);
    // The view goes; the host destroys it.
    void releaseView(int view);

    bool isAlive() const { return !gone_; }
    // Fields already percent-encoded where they hold text.
    void send(int view, const QByteArray &verb, const QByteArray &fields = QByteArray());

    // Test hooks: the host program to start instead of the one beside the
    // program (empty: that one again); how long to wait for an answer; the
    // process id of the running host (0 when none).
    static void setExecutableForTesting(const QString &path);
    static void setReplyTimeoutForTesting(int milliseconds);
    static qint64 runningProcessId();

signals:
    // Something arrived or the process ended: what a waiting caller checks.
    void changed();

private:
    WebKitHost();
    bool start(const QString &program);
    bool waitUntil(const std::function<bool()> &done);
    void read();
    void processLines();
    void dispatch(const QByteArray &line);
    void onGone();

    QProcess process_;
    QByteArray buffer_;
    bool linesQueued_ = false;
    bool ready_ = false;
    bool gone_ = false;
    int nextView_ = 1;
    QHash<int, WebKitControl *> controls_;
    // Views asked for and their answers, until the caller takes them: the
    // plug window, or 0 after an error.
    QSet<int> pending_;
    QHash<int, quint32> plugs_;
};
