// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/contentblocking.h"

#include "blocking/filterengine.h"
#include "core/atomicfile.h"
#include "core/errors.h"
#include "core/programdir.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const char *const kPackagedRoot = "/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/";
const char *const kPublicSuffixes = "/usr/share/publicsuffix/public_suffix_list.dat";
// How long a compile waits for the first page at most.
constexpr int kCompileWait = 3000;

bool &listsOverridden()
{
    static bool overridden = false;
    return overridden;
}

QStringList &overriddenLists()
{
    static QStringList lists;
    return lists;
}

QString exemptionsPath()
{
    return userDataDirectory() + QStringLiteral("blocking-exemptions.txt");
}

QString userListsPath()
{
    return userDataDirectory() + QStringLiteral("filter-lists.txt");
}

QString cacheFolder()
{
    userDataDirectory();  // makes the cache folder ours first
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Vexel/");
}

bool isAddress(const QString &list)
{
    return list.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           list.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty() && !lines.contains(text))
            lines << text;
    }
    return lines;
}

QByteArray linesBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + '\n';
    return bytes;
}

QByteArray readWhole(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the cache was made from: each file read (the lists and the public
// suffixes), its size and time. A cache whose stamp differs is made again.
QByteArray stampOf(const QStringList &files)
{
    QByteArray stamp = "vexel-filters 1\n";
    const QStringList paths = QStringList(files) << QString::fromLatin1(kPublicSuffixes);
    for (const QString &path : paths) {
        const QFileInfo info(path);
        stamp += path.toUtf8() + '\t' + QByteArray::number(info.size()) + '\t' +
                 QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
    }
    return stamp;
}

struct Loaded {
    std::shared_ptr<blocking::FilterEngine> engine;
    QString cachePath;
};

QStringList existingFiles(const QStringList &lists)
{
    QStringList files;
    for (const QString &list : lists)
        if (QFileInfo(list).isFile())
            files << list;
    return files;
}

QString stampPathIn(const QString &folder)
{
    return folder + QStringLiteral("filters.stamp");
}

// Whether loading the lists means compiling them: there are lists and no
// cache made of them as they are now.
bool mustCompile(const QStringList &lists, const QString &folder)
{
    const QStringList files = existingFiles(lists);
    return !files.isEmpty() && readWhole(stampPathIn(folder)) != stampOf(files);
}

// Runs off the UI thread: the cache when it is current, else the lists
// compiled and the cache written for the next run and the web processes.
Loaded loadFilters(const QStringList &lists, const QString &folder)
{
    const QStringList files = existingFiles(lists);
    if (files.isEmpty())
        return {};
    const QString cache = folder + QStringLiteral("filters.bin");
    const QString stampPath = stampPathIn(folder);
    const QByteArray stamp = stampOf(files);
    if (readWhole(stampPath) == stamp) {
        const QByteArray bytes = readWhole(cache);
        if (auto engine = blocking::FilterEngine::deserialize(std::string_view(bytes.constData(), bytes.size())))
            return {std::make_shared<blocking::FilterEngine>(std::move(*engine)), cache};
    }
    auto engine = std::make_shared<blocking::FilterEngine>();
    const QByteArray suffixes = readWhole(QString::fromLatin1(kPublicSuffixes));
    engine->setPublicSuffixes(std::string_view(suffixes.constData(), suffixes.size()));
    for (const QString &path : files) {
        const QByteArray text = readWhole(path);
        engine->addList(std::string_view(text.constData(), text.size()));
    }
    engine->finish();
    const std::string bytes = engine->serialize();
    // The stamp goes last: a cache half written is never taken as current.
    QFile::remove(stampPath);
    if (!runGuarded([&] {
            writeFileAtomically(cache, QByteArray(bytes.data(), qsizetype(bytes.size())));
            writeFileAtomically(stampPath, stamp);
            // As everything else in the user's own cache folder.
            restrictToOwner(cache);
            restrictToOwner(stampPath);
        }))
        return {engine, QString()};
    return {engine, cache};
}

}  // namespace

ContentBlocking &ContentBlocking::instance()
{
    static ContentBlocking *blocking = new ContentBlocking;
    return *blocking;
}

ContentBlocking::ContentBlocking()
{
    readExemptions();
}

ContentBlocking::~ContentBlocking() = default;

QStringList ContentBlocking::packagedLists()
{
    if (listsOverridden())
        return overriddenLists();
    const QString root = QString::fromLatin1(kPackagedRoot);
    QStringList lists;
    for (const char *name : {"easylist/easylist.txt", "easylist/easyprivacy.txt",
                             "urlhaus-filter/urlhaus-filter-online.txt"})
        if (QFileInfo(root + QLatin1String(name)).isFile())
            lists << root + QLatin1String(name);
    return lists;
}

void ContentBlocking::setPackagedListsForTesting(const QStringList &lists)
{
    listsOverridden() = true;
    overriddenLists() = lists;
}

QStringList ContentBlocking::userLists() const
{
    return readLines(userListsPath());
}

void ContentBlocking::setUserLists(const QStringList &lists)
{
    writeFileAtomically(userListsPath(), linesBytes(lists));
    reload();
}

QString ContentBlocking::downloadedCopy(const QString &address)
{
    const QByteArray name = QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return userDataDirectory() + QStringLiteral("filter-lists/") + QString::fromLatin1(name) + QStringLiteral(".txt");
}

void ContentBlocking::updateAddresses(bool asked)
{
    // A list is text of some megabytes; a server sending more is not
    // sending a list.
    constexpr qint64 kLargest = 32 * 1024 * 1024;
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    for (const QString &list : userLists()) {
        if (!isAddress(list))
            continue;
        const QFileInfo copy(downloadedCopy(list));
        if (!asked && copy.isFile() && copy.lastModified().daysTo(QDateTime::currentDateTime()) < 4)
            continue;
        QNetworkRequest request{QUrl(list)};
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setTransferTimeout(60000);
        QNetworkReply *reply = network_->get(request);
        ++downloading_;
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
            if (received > kLargest)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply, list, asked] {
            reply->deleteLater();
            const QByteArray bytes = reply->readAll();
            const bool ok = reply->error() == QNetworkReply::NoError && bytes.size() <= kLargest;
            runGuarded([&] {
                if (ok) {
                    QDir().mkpath(QFileInfo(downloadedCopy(list)).path());
                    writeFileAtomically(downloadedCopy(list), bytes);
                } else if (asked) {
                    throw VexelError(QStringLiteral("フィルター リスト %1 をダウンロードできませんでした").arg(list));
                }
            });
            if (--downloading_ == 0)
                reload();
        });
    }
}

void ContentBlocking::load()
{
    if (started_)
        return;
    started_ = true;
    // Compiling the lists (on a first start, or after they changed) takes a
    // core for a while, on a small machine the one the first page needs:
    // it waits for that page, a few seconds at most. A current cache loads
    // at once.
    if (mustCompile(listFiles(), cacheFolder())) {
        compileWaiting_ = true;
        QTimer::singleShot(kCompileWait, this, &ContentBlocking::pageLoaded);
    } else {
        start();
    }
    updateAddresses(false);
}

void ContentBlocking::pageLoaded()
{
    if (!compileWaiting_)
        return;
    compileWaiting_ = false;
    start();
}

QStringList ContentBlocking::listFiles() const
{
    QStringList lists = packagedLists();
    for (const QString &list : userLists())
        lists << (isAddress(list) ? downloadedCopy(list) : QDir::cleanPath(QDir::home().absoluteFilePath(list)));
    return lists;
}

void ContentBlocking::start()
{
    loading_ = true;
    const QStringList lists = listFiles();
    const QString folder = cacheFolder();
    QPointer<ContentBlocking> self(this);
    QThread *thread = QThread::create([self, lists, folder] {
        // Compiling the lists takes a core for a while: the pages being
        // loaded meanwhile come first (a nice thread still gets its turn on
        // a busy machine, unlike an idle-class one).
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        Loaded result = loadFilters(lists, folder);
        QMetaObject::invokeMethod(
            qApp, [self, result] {
                if (self)
                    self->loaded(result.engine, result.cachePath);
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void ContentBlocking::reload()
{
    // The filters in use stay until their successor is there.
    started_ = true;
    compileWaiting_ = false;
    readExemptions();
    if (loading_)
        loadAgain_ = true;
    else
        start();
}

void ContentBlocking::loaded(std::shared_ptr<blocking::FilterEngine> engine, const QString &cachePath)
{
    loading_ = false;
    engine_ = std::move(engine);
    cachePath_ = cachePath;
    emit changed();
    if (loadAgain_) {
        loadAgain_ = false;
        start();
    }
}

void ContentBlocking::readExemptions()
{
    exempt_.clear();
    for (const QString &line : readLines(exemptionsPath()))
        exempt_ << line.toLower();
}

bool ContentBlocking::isExempt(const QString &host) const
{
    // An exempt site's subdomains are exempt with it.
    QString name = host.toLower();
    while (!name.isEmpty()) {
        if (exempt_.contains(name))
            return true;
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot < 0)
            break;
        name = name.mid(dot + 1);
    }
    return false;
}

void ContentBlocking::setExempt(const QString &host, bool exempt)
{
    const QString name = host.toLower();
    if (name.isEmpty() || isExempt(name) == exempt)
        return;
    QStringList next = exempt_;
    if (exempt)
        next << name;
    else  // whatever made it exempt: the host itself or a site above it
        next.removeIf([&](const QString &e) { return name == e || name.endsWith(QLatin1Char('.') + e); });
    writeFileAtomically(exemptionsPath(), linesBytes(next));
    exempt_ = next;
    emit changed();
}
