// SPDX-License-Identifier: GPL-3.0-or-later
#include "downloadlist.h"

#include "browser/pagedialogs.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/programdir.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

// Far more than kKept entries need; a larger file is no list of ours.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

const char *const stateWords[] = {"running", "completed", "failed", "cancelled"};

QString stateWord(DownloadList::State state)
{
    return QString::fromLatin1(stateWords[int(state)]);
}

DownloadList::State stateFromWord(const QString &word)
{
    for (int i = 0; i < 4; ++i) {
        if (word == QLatin1String(stateWords[i]))
            return DownloadList::State(i);
    }
    return DownloadList::State::Failed;
}

qint64 byteCount(const QJsonValue &value)
{
    const double n = value.toDouble(0);
    return n > 0 && n < 9.0e15 ? qint64(n) : 0;
}

}  // namespace

DownloadList::DownloadList(const QString &file, QObject *parent) : QObject(parent), file_(file)
{
    read();
}

DownloadList &DownloadList::instance()
{
    static DownloadList *list = new DownloadList(defaultFile());
    return *list;
}

QString DownloadList::defaultFile()
{
    return userDataDirectory() + QStringLiteral("downloads.json");
}

QString DownloadList::stateText(State state)
{
    switch (state) {
    case State::Running:
        return QStringLiteral("進行中");
    case State::Completed:
        return QStringLiteral("完了");
    case State::Failed:
        return QStringLiteral("失敗");
    case State::Cancelled:
        return QStringLiteral("キャンセル");
    }
    return QString();
}

const DownloadList::Entry *DownloadList::find(int id) const
{
    for (const Entry &e : entries_) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

DownloadList::Entry *DownloadList::entry(int id)
{
    return const_cast<Entry *>(find(id));
}

int DownloadList::start(const QString &path, const QUrl &source, std::function<void()> cancel, bool privateWindow)
{
    Entry e;
    e.privateWindow = privateWindow;
    e.id = nextId_++;
    e.path = path;
    e.name = QFileInfo(path).fileName();
    e.source = source;
    e.started = QDateTime::currentDateTimeUtc();
    entries_.append(e);
    Live &live = live_[e.id];
    live.cancel = std::move(cancel);
    // Trim the oldest that have ended; running ones stay.
    bool keptChanged = !privateWindow;
    for (qsizetype i = 0; entries_.size() > kKept && i < entries_.size();) {
        if (entries_.at(i).state != State::Running) {
            const Entry gone = entries_.takeAt(i);
            keptChanged = keptChanged || !gone.privateWindow;
            emit removed(gone.id);
        } else {
            ++i;
        }
    }
    // Written now too, so a run that ends abruptly still leaves it listed.
    if (keptChanged)
        runGuarded([this] { save(); });
    emit added(e.id);
    return e.id;
}

void DownloadList::progress(int id, qint64 received, qint64 total)
{
    Entry *e = entry(id);
    if (!e || e->state != State::Running)
        return;
    e->received = qMax<qint64>(0, received);
    if (total > 0)
        e->size = total;
    Live &live = live_[id];
    if (!live.clock.isValid()) {
        live.clock.start();
        live.sampled = e->received;
    } else if (const qint64 ms = live.clock.elapsed(); ms >= 500) {
        e->speed = qMax<qint64>(0, (e->received - live.sampled) * 1000 / ms);
        live.sampled = e->received;
        live.clock.restart();
    }
    emit changed(id);
}

void DownloadList::finish(int id, State state)
{
    Entry *e = entry(id);
    if (!e || e->state != State::Running || state == State::Running)
        return;
    e->state = state;
    e->speed = 0;
    // A completed file's size is what arrived, whatever the server announced.
    if (state == State::Completed)
        e->size = e->received;
    live_.remove(id);
    if (!e->privateWindow)
        runGuarded([this] { save(); });
    emit changed(id);
}

void DownloadList::cancel(int id)
{
    const Entry *e = find(id);
    if (!e || e->state != State::Running)
        return;
    const std::function<void()> stop = live_.value(id).cancel;
    if (stop)
        stop();
    else
        finish(id, State::Cancelled);  // no engine left to ask
}

void DownloadList::remove(int id)
{
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_.at(i).id == id) {
            // A running download leaves the list only once it has stopped.
            if (entries_.at(i).state == State::Running)
                return;
            const bool kept = !entries_.takeAt(i).privateWindow;
            live_.remove(id);
            if (kept)
                runGuarded([this] { save(); });
            emit removed(id);
            return;
        }
    }
}

void DownloadList::dropPrivate()
{
    QList<int> gone;
    for (const Entry &e : std::as_const(entries_))
        if (e.privateWindow)
            gone.append(e.id);
    for (int id : gone) {
        cancel(id);
        // Whatever its engine says later finds it gone.
        for (qsizetype i = 0; i < entries_.size(); ++i)
            if (entries_.at(i).id == id)
                entries_.removeAt(i--);
        live_.remove(id);
        emit removed(id);
    }
}

void DownloadList::read()
{
    QFile in(file_);
    if (!in.open(QIODevice::ReadOnly) || in.size() > kMaxFileSize)
        return;
    const QJsonArray items = QJsonDocument::fromJson(in.readAll()).object().value(QStringLiteral("downloads")).toArray();
    for (const QJsonValue &item : items) {
        const QJsonObject o = item.toObject();
        Entry e;
        e.path = o.value(QStringLiteral("path")).toString();
        e.name = QFileInfo(e.path).fileName();
        if (!QFileInfo(e.path).isAbsolute() || e.name.isEmpty())
            continue;
        e.source = QUrl(o.value(QStringLiteral("source")).toString(), QUrl::StrictMode);
        if (!e.source.isValid())
            e.source.clear();
        e.size = byteCount(o.value(QStringLiteral("size")));
        e.received = byteCount(o.value(QStringLiteral("received")));
        e.state = stateFromWord(o.value(QStringLiteral("state")).toString());
        // Still running when the program ended: it did not finish.
        if (e.state == State::Running)
            e.state = State::Failed;
        e.started = QDateTime::fromString(o.value(QStringLiteral("started")).toString(), Qt::ISODate);
        e.id = nextId_++;
        entries_.append(e);
    }
    if (entries_.size() > kKept)
        entries_.remove(0, entries_.size() - kKept);
}

void DownloadList::save()
{
    QJsonArray items;
    for (const Entry &e : entries_) {
        if (e.privateWindow)
            continue;
        items.append(QJsonObject{
            {QStringLiteral("path"), e.path},
            {QStringLiteral("source"), e.source.toString(QUrl::FullyEncoded)},
            {QStringLiteral("size"), double(e.size)},
            {QStringLiteral("received"), double(e.received)},
            {QStringLiteral("state"), stateWord(e.state)},
            {QStringLiteral("started"), e.started.toString(Qt::ISODate)},
        });
    }
    writeFileAtomically(file_, QJsonDocument(QJsonObject{{QStringLiteral("downloads"), items}}).toJson());
}

namespace downloads {

bool isDownloadMessage(const QString &text)
{
    // The texts' own forms, with what varies in them matched by anything.
    static const QList<QRegularExpression> forms = [] {
        const QString name(QChar(1)), reason(QChar(2));
        auto form = [&](QString shape) {
            shape = QRegularExpression::escape(shape);
            shape.replace(QRegularExpression::escape(name), QStringLiteral(".*"));
            shape.replace(QRegularExpression::escape(reason), QStringLiteral(".*"));
            return QRegularExpression(QRegularExpression::anchoredPattern(shape + QStringLiteral(".*")),
                                      QRegularExpression::DotMatchesEverythingOption);
        };
        // Progress: what comes before the sizes.
        const QString few = pagedialogs::downloadProgressText(name, 0, 0);
        const QString many = pagedialogs::downloadProgressText(name, Q_INT64_C(1) << 40, 0);
        qsizetype same = 0;
        while (same < few.size() && same < many.size() && few.at(same) == many.at(same))
            ++same;
        return QList<QRegularExpression>{form(few.left(same)), form(pagedialogs::downloadFinishedText(name)),
                                         form(pagedialogs::downloadFailedText(name, reason)),
                                         form(pagedialogs::downloadCancelledText(name)),
                                         form(pagedialogs::downloadCancelledText(QString()))};
    }();
    if (text.isEmpty())
        return false;
    for (const QRegularExpression &re : forms) {
        if (re.match(text).hasMatch())
            return true;
    }
    return false;
}

}  // namespace downloads
