#pragma once

// What every benchmark needs: timing with a best-of-three, peak memory, and stopping with one
// clear line when a step fails.

#include "dataaccess/dataerror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <ctime>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace kv6bench {

[[noreturn]] inline void die(const QString &text)
{
    std::fprintf(
        stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
    std::exit(1);
}

inline void check(const kv6::DataResult &e)
{
    if (e)
        die(e->Description());
}

// Wall-clock time; with KV6_BENCH_CPU set, the CPU time of the process and of the programs it
// ran and waited for, which a machine busy with other work disturbs far less (waits for disk or
// servers then do not count, nor does a server's own work).
inline double seconds(const std::function<void()> &work)
{
    static const bool cpu = qEnvironmentVariableIsSet("KV6_BENCH_CPU");
    if (cpu) {
        const auto children = [] {
            rusage u {};
            getrusage(RUSAGE_CHILDREN, &u);
            return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
                + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        timespec from {}, to {};
        const double childrenFrom = children();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &from);
        work();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &to);
        return double(to.tv_sec - from.tv_sec) + double(to.tv_nsec - from.tv_nsec) / 1e9
            + children() - childrenFrom;
    }
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Best of three, as the first run also pays for caches.
inline double best(const std::function<void()> &work)
{
    double b = 1e300;
    for (int i = 0; i < 3; ++i)
        b = std::min(b, seconds(work));
    return b;
}

// The process's peak resident memory so far.
inline double peakMB()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

} // namespace kv6bench
