// Feeds arbitrary bytes to the QC pass as a file and aborts when one of its
// invariants breaks (see qcpasscheck.h).

#include "qcpasscheck.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // tmpfs when there is one: the pass reads files, so each input is one.
    static const QString path = QStringLiteral("%1/qcpass_fuzzer_%2.fb")
                                    .arg(QLatin1String(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"))
                                    .arg(getpid());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString problem = checkQcPass(path);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
