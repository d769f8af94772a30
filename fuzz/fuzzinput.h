#ifndef FUZZ_FUZZINPUT_H
#define FUZZ_FUZZINPUT_H

// What every fuzz target does with an input: the libraries read files, so
// the bytes become a scratch file (on tmpfs when there is one, one per
// process), the target's check reads it, and a broken invariant aborts with
// what broke, which libFuzzer then keeps as a crash.

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

inline int fuzzFileInput(const uint8_t *data, size_t size, const char *name, QString (*check)(const QString &))
{
    static const QString path =
        QStringLiteral("%1/%2_%3")
            .arg(QLatin1String(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"), QLatin1String(name))
            .arg(getpid());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString problem = check(path);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

#endif // FUZZ_FUZZINPUT_H
