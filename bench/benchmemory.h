#ifndef BENCHMEMORY_H
#define BENCHMEMORY_H

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/resource.h>

// What the benchmarks that watch their own memory share: one field of
// /proc/self/status, the peak resident set, and clearing that peak so that
// the next one is measured on its own.
namespace BenchMemory {

// The field key ("VmRSS", "VmHWM": the kernel gives them in kB) of
// /proc/self/status, in KiB; -1 where the kernel does not give it.
inline qint64 statusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The peak resident set in KiB since the last resetPeak(); where the kernel
// keeps no such peak, since the start.
inline qint64 peakKiB()
{
    const qint64 peak = statusKiB("VmHWM");
    if (peak >= 0)
        return peak;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Starts a new peak (Linux: "5" resets VmHWM); false where it cannot.
inline bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace BenchMemory

#endif // BENCHMEMORY_H
