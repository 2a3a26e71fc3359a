#pragma once
// Shared by the benchmark programs: medians, peak memory, figure lines.

#include <QList>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
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

inline void printFigure(const char *figure, double value, const char *unit)
{
    std::printf("%s %.1f %s\n", figure, value, unit);
    std::fflush(stdout);
}
