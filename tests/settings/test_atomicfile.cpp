// SPDX-License-Identifier: GPL-3.0-or-later
// The one writer of Vexel's files under faults: a full disk, a file reached
// through a symbolic link, and a process killed in the middle of a save. In
// each case the old file stays whole or the new one is there whole.

#include "core/errors.h"
#include "bookmarks/bookmarkfile.h"
#include "core/atomicfile.h"
#include "settings/profile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestAtomicFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void symlinkedFileIsCheckedWhereTheBytesGo();
    void killDuringSaveLeavesOldOrNewFile();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot prepare a test file");
}

QString expectedRefusal(const QString &path)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(" に書き込めません");
}

// The two files Vexel writes, each saved the way the program saves it.
void saveSettings(const QString &path, bool large)
{
    profile::writeString(path, QStringLiteral("General"), QStringLiteral("Value"),
                         large ? QString(2000, QLatin1Char('n')) : QStringLiteral("new"));
}

void saveBookmarks(const QString &path, bool large)
{
    bookmarks::BookmarkWriter writer;
    for (int i = 0; i < (large ? 3000 : 1); ++i)
        bookmarks::AppendFileEntry(writer.root(), 1, QStringLiteral("エントリ %1").arg(i),
                                   QStringLiteral("http://example.org/%1").arg(i));
    writer.save(path);
}

// A disk that is full: a 64 KB tmpfs filled to the last byte where the test
// may mount one (root), otherwise a file-size limit that makes every write
// past the old file's size fail the same way, inside the writer's buffer.
class FullDisk {
public:
    explicit FullDisk(bool tmpfs)
    {
        if (tmpfs) {
            mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, "size=64k") == 0;
            return;
        }
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        limited_ = true;
    }
    ~FullDisk()
    {
        if (limited_)
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    bool ready() const { return mounted_ || limited_; }
    QString path(const QString &name) const { return dir_.filePath(name); }

    // After the old file is in place: no byte more fits.
    void fill()
    {
        if (limited_) {
            rlimit none = saved_;
            none.rlim_cur = 16;
            ::setrlimit(RLIMIT_FSIZE, &none);
            return;
        }
        QFile filler(path(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            qFatal("cannot fill the test disk");
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write(block.left(1)) == 1) {
        }
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    bool limited_ = false;
    rlimit saved_ {};
};

}  // namespace

void TestAtomicFile::initTestCase()
{
    // A write past the file-size limit is to fail, not to end the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestAtomicFile::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::addColumn<bool>("bookmarks");
    QTest::addColumn<bool>("large");
    for (bool tmpfs : {true, false}) {
        const char *disk = tmpfs ? "full tmpfs" : "file size limit";
        for (bool bookmarks : {false, true})
            for (bool large : {false, true})
                QTest::addRow("%s, %s %s", disk, bookmarks ? "bookmark.xml" : "config.ini", large ? "large" : "small")
                    << tmpfs << bookmarks << large;
    }
}

void TestAtomicFile::fullDiskKeepsTheOldFile()
{
    QFETCH(bool, tmpfs);
    QFETCH(bool, bookmarks);
    QFETCH(bool, large);
    FullDisk disk(tmpfs);
    if (!disk.ready())
        QSKIP("this test may not mount a tmpfs (it needs root); the file size limit rows cover the same fault");
    const QString path = disk.path(bookmarks ? QStringLiteral("bookmark.xml") : QStringLiteral("config.ini"));
    const QByteArray old = bookmarks ? QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<bookmark/>\n")
                                     : QByteArray("[General]\r\nValue=old\r\n");
    put(path, old);
    disk.fill();
    try {
        bookmarks ? saveBookmarks(path, large) : saveSettings(path, large);
        QFAIL("a write to a full disk reported success");
    } catch (const VexelError &e) {
        QCOMPARE(e.message(), expectedRefusal(path));
    }
    QCOMPARE(contents(path), old);
    // The temporary file is gone too.
    QStringList left = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files);
    left.removeAll(QStringLiteral("filler"));
    QCOMPARE(left, QStringList{QFileInfo(path).fileName()});
}

void TestAtomicFile::symlinkedFileIsCheckedWhereTheBytesGo()
{
    QTemporaryDir linkDir, targetDir;
    const QString link = linkDir.filePath(QStringLiteral("config.ini"));
    const QString target = targetDir.filePath(QStringLiteral("real.ini"));
    const QByteArray old("[General]\r\nValue=old\r\n");
    put(target, old);
    QVERIFY(QFile::link(target, link));

    // The link's own folder may be written; the target's may not.
    QVERIFY(::chmod(QFile::encodeName(targetDir.path()).constData(), 0555) == 0);
    // Settings are no bookmark file: a bookmark save keeps a copy first and says so.
    ErrorRecorder notices;
    try {
        saveSettings(link, false);
        QFAIL("a file in a read-only folder was rewritten through a link");
    } catch (const VexelError &e) {
        QCOMPARE(e.message(), expectedRefusal(link));
    }
    try {
        saveBookmarks(link, false);
        QFAIL("a file in a read-only folder was rewritten through a link");
    } catch (const VexelError &e) {
        QCOMPARE(e.message(), expectedRefusal(link));
    }
    QCOMPARE(contents(target), old);
    QCOMPARE(notices.messages.size(), 1);
    ::chmod(QFile::encodeName(targetDir.path()).constData(), 0755);

    // Writable: the target takes the bytes and the link stays a link.
    saveSettings(link, false);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(target), QByteArray("[General]\r\nValue=new\r\n"));
}

void TestAtomicFile::killDuringSaveLeavesOldOrNewFile()
{
    // A child saves two versions in turn, a byte on the pipe after each
    // save; it is killed right after one of those bytes, somewhere inside
    // the next save. Large files make the save long enough to be hit.
    for (bool bookmarks : {false, true}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(bookmarks ? QStringLiteral("bookmark.xml") : QStringLiteral("config.ini"));
        bookmarks ? saveBookmarks(path, false) : saveSettings(path, false);
        const QByteArray small = contents(path);
        bookmarks ? saveBookmarks(path, true) : saveSettings(path, true);
        const QByteArray large = contents(path);
        for (int round = 0; round < 25; ++round) {
            int pipeFds[2];
            QVERIFY(::pipe(pipeFds) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::close(pipeFds[0]);
                for (int i = 0;; ++i) {
                    try {
                        bookmarks ? saveBookmarks(path, i % 2) : saveSettings(path, i % 2);
                    } catch (...) {
                        ::_exit(1);
                    }
                    if (::write(pipeFds[1], "s", 1) != 1)
                        ::_exit(0);
                }
            }
            ::close(pipeFds[1]);
            const int saves = 1 + QRandomGenerator::global()->bounded(3);
            char c;
            for (int i = 0; i < saves; ++i)
                QVERIFY(::read(pipeFds[0], &c, 1) == 1);
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            ::close(pipeFds[0]);
            QVERIFY(WIFSIGNALED(status));
            const QByteArray now = contents(path);
            QVERIFY2(now == small || now == large, qPrintable(QStringLiteral("round %1: a damaged file of %2 bytes")
                                                                  .arg(round)
                                                                  .arg(now.size())));
        }
    }
}

VEXEL_TEST_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"
