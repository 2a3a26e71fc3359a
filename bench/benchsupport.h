// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared by the benchmark programs: medians, peak memory, figure lines.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QList>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>

inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Peak resident memory of this process, in MB.
inline double peakRssMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Writes a file a benchmark works on; a failure ends the run.
inline void writeBenchFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// How long work takes, in ms.
inline double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

inline void printFigure(const char *figure, double value, const char *unit)
{
    std::printf("%s %.1f %s\n", figure, value, unit);
    std::fflush(stdout);
}

// Memory of a process and all its descendants, in MB, by one field of
// their status (VmRSS: resident; shared library pages count in each) or of
// their smaps_rollup (Pss: shared pages divided among their sharers).
inline double treeMemoryMb(qint64 root, const QByteArray &field)
{
    QHash<qint64, qint64> parentOf;
    QHash<qint64, double> rss;
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile status("/proc/" + entry + "/status");
        QFile rollup("/proc/" + entry + "/smaps_rollup");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QByteArray text = status.readAll();
        if (rollup.open(QIODevice::ReadOnly))
            text += rollup.readAll();
        for (const QByteArray &line : text.split('\n')) {
            if (line.startsWith("PPid:"))
                parentOf[pid] = line.mid(5).trimmed().toLongLong();
            else if (line.startsWith(field + ':'))
                rss[pid] = line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    double total = 0;
    for (auto it = rss.cbegin(); it != rss.cend(); ++it) {
        for (qint64 p = it.key(); p > 1; p = parentOf.value(p)) {
            if (p == root) {
                total += it.value();
                break;
            }
        }
    }
    return total;
}
