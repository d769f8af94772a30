// Feeds arbitrary bytes to the trace library's readers (SEG-Y and SEG-2) as
// a file and as a folder of one file, and aborts when an invariant breaks.

#include "tracecheck.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchFile()
{
    // tmpfs when there is one: the readers read files, so each input is one.
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return QStringLiteral("%1/tracefile_fuzzer_%2.dat").arg(QLatin1String(dir)).arg(getpid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString problem = checkTraceFile(path);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
