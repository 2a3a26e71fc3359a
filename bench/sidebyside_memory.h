// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The processes a browser start made and what memory they hold.
//
// Three counts of one process tree, in MB:
// - tree:     every physical page a process of the tree maps, counted once,
//             fully: the tree's Pss with a page's sharers counted only among
//             the tree's own processes, so other programs on the machine,
//             however many map the same libraries, do not move it. The
//             figure to compare browsers by;
// - unshared: of those, only the pages no program outside the tree maps
//             (every mapping /proc/kpagecount counts is one of the tree's);
//             it drops when another program maps the same libraries;
// - pss:      the plain sum of each process's Pss (smaps_rollup); a page
//             shared with programs outside the tree counts only in part.
// Pages are read from /proc/PID/pagemap, which names the physical page only
// to root; without root, only pss is known.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

struct TreeMemory {
    double pssMb = 0;
    double treeMb = -1;  // -1: not known (no access to the physical pages)
    double unsharedMb = -1;
};

struct ProcessTree {
    QList<qint64> alive;    // the root and its descendants that run
    QList<qint64> zombies;  // those that ended and wait to be reaped
};

// The given process and all its descendants.
inline ProcessTree processTree(qint64 root)
{
    QHash<qint64, QList<qint64>> children;
    QSet<qint64> ended;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() < 2)
            continue;
        children[rest[1].toLongLong()].append(pid);
        if (rest[0] == "Z")
            ended.insert(pid);
    }
    QList<qint64> all;
    if (QFile::exists(QStringLiteral("/proc/%1").arg(root)))
        all.append(root);
    for (qsizetype i = 0; i < all.size(); ++i)
        all += children.value(all[i]);
    ProcessTree tree;
    for (qint64 pid : all)
        (ended.contains(pid) ? tree.zombies : tree.alive).append(pid);
    return tree;
}

namespace sidebyside_detail {

constexpr std::uint64_t kPresent = 1ULL << 63;
constexpr std::uint64_t kFrameMask = (1ULL << 55) - 1;

// Adds each present page of the process's mappings that hold any to counts
// (physical page -> mappings seen). False when the physical pages are hidden.
inline bool countPages(qint64 pid, QHash<std::uint64_t, int> &counts)
{
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    const int pagemap = ::open(QStringLiteral("/proc/%1/pagemap").arg(pid).toLocal8Bit().constData(), O_RDONLY);
    if (pagemap < 0 || !smaps.open(QIODevice::ReadOnly)) {
        if (pagemap >= 0)
            ::close(pagemap);
        return true;  // the process has gone
    }
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    bool framesShown = true;
    std::uint64_t start = 0, end = 0;
    std::vector<std::uint64_t> entries;
    // Files in /proc tell no size, so they are read whole, not to an end.
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const int dash = line.indexOf('-');
        const int space = line.indexOf(' ');
        if (dash > 0 && space > dash && !line.left(space).endsWith(':')) {
            start = line.left(dash).toULongLong(nullptr, 16);
            end = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
            continue;
        }
        if (!line.startsWith("Rss:") || line.mid(4).trimmed().split(' ').value(0).toLongLong() == 0)
            continue;
        const std::uint64_t first = start / pageSize, count = (end - start) / pageSize;
        for (std::uint64_t done = 0; done < count;) {
            const std::uint64_t n = std::min<std::uint64_t>(count - done, 65536);
            entries.resize(n);
            const ssize_t got = ::pread(pagemap, entries.data(), n * 8, (first + done) * 8);
            if (got <= 0)
                break;
            for (ssize_t i = 0; i < got / 8; ++i) {
                if (!(entries[i] & kPresent))
                    continue;
                const std::uint64_t frame = entries[i] & kFrameMask;
                if (frame == 0)
                    framesShown = false;
                else
                    ++counts[frame];
            }
            done += got / 8;
        }
    }
    ::close(pagemap);
    return framesShown;
}

}  // namespace sidebyside_detail

inline TreeMemory treeMemory(qint64 root)
{
    TreeMemory memory;
    const QList<qint64> tree = processTree(root).alive;
    QHash<std::uint64_t, int> counts;
    bool framesShown = true;
    for (qint64 pid : tree) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (rollup.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : rollup.readAll().split('\n')) {
                if (line.startsWith("Pss:"))
                    memory.pssMb += line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
            }
        }
        framesShown = sidebyside_detail::countPages(pid, counts) && framesShown;
    }
    const int pageCounts = ::open("/proc/kpagecount", O_RDONLY);
    if (!framesShown || pageCounts < 0) {
        if (pageCounts >= 0)
            ::close(pageCounts);
        return memory;
    }
    const double pageMb = ::sysconf(_SC_PAGESIZE) / 1048576.0;
    qint64 unshared = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        std::uint64_t mappers = 0;
        if (::pread(pageCounts, &mappers, 8, it.key() * 8) == 8 && mappers <= std::uint64_t(it.value()))
            ++unshared;
    }
    ::close(pageCounts);
    memory.treeMb = counts.size() * pageMb;
    memory.unsharedMb = unshared * pageMb;
    return memory;
}
