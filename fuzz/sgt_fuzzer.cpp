// Feeds arbitrary bytes to the library as a picks file of the unified data
// format (.sgt), imported into an FB file, and aborts when what must hold
// for any such file breaks.

#include "textinputcheck.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // tmpfs when there is one: the library reads files, so each input is one.
    static const QString path = QStringLiteral("%1/sgt_fuzzer_%2.sgt")
                                    .arg(QLatin1String(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"))
                                    .arg(getpid());
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString problem = checkSgtImport(path);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
