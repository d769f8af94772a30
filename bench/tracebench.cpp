// tracebench: the trace library's index of a SEG-Y file of 1,000,000
// traces against a plain read of its trace headers (one 240-byte pread a
// trace, and segyio's own header loop), interleaved after warming the
// cache, with the index's memory per trace; and the time to read one shot
// of 240 traces x 4,000 samples, which the traces panel waits for.
//
//   tracebench [--traces N] [--samples S] [--dir DIR] [--repeat R]
//
// The file (int16 samples, 240 traces a shot) is written into DIR or a
// temporary folder and removed at the end.

#include "benchtiming.h"
#include <fbtrace/tracedataset.h>

#include <segyio/segy.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <cstdio>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

using namespace FbFile;
using namespace FbTrace;

namespace {

constexpr int TracesPerShot = 240;

void put16(char *p, int at, int v)
{
    qToBigEndian<qint16>(qint16(v), p + at - 1);
}
void put32(char *p, int at, qint32 v)
{
    qToBigEndian<qint32>(v, p + at - 1);
}

bool writeFile(const QString &name, qint64 traces, int samples, int format = 3)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::vector<char> head(3600);
    put16(head.data(), 3217, 500);
    put16(head.data(), 3221, samples);
    put16(head.data(), 3225, format);
    f.write(head.data(), qint64(head.size()));
    const int traceBytes = 240 + (format == 3 ? 2 : 4) * samples;
    const int perBlock = qMax(1, (8 << 20) / traceBytes);
    std::vector<char> block(size_t(perBlock) * traceBytes);
    for (qint64 t = 0; t < traces;) {
        const int n = int(qMin<qint64>(perBlock, traces - t));
        for (int k = 0; k < n; ++k, ++t) {
            char *h = block.data() + qint64(k) * traceBytes;
            put32(h, 9, qint32(1 + t / TracesPerShot));
            put32(h, 13, qint32(1 + t % TracesPerShot));
            put32(h, 73, qint32(t / TracesPerShot * 50));
            put32(h, 81, qint32(t % TracesPerShot * 25));
            put16(h, 115, samples);
        }
        if (f.write(block.data(), qint64(n) * traceBytes) != qint64(n) * traceBytes)
            return false;
    }
    return true;
}

// Every trace header read with one pread at its offset: the least a reader
// of the headers can do.
qint64 preadHeaders(const QString &name, qint64 traces, int samples)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY);
    char h[240];
    qint64 sum = 0;
    const qint64 stride = 240 + 2 * qint64(samples);
    for (qint64 t = 0; t < traces; ++t) {
        if (::pread(fd, h, sizeof h, 3600 + t * stride) != qint64(sizeof h))
            break;
        sum += qFromBigEndian<qint32>(h + 8);
    }
    ::close(fd);
    return sum;
}

// segyio's header loop, as the index reads them.
qint64 segyioHeaders(const QString &name, qint64 traces, int samples)
{
    segy_file *fp = segy_open(QFile::encodeName(name).constData(), "rb");
    segy_set_format(fp, SEGY_SIGNED_SHORT_2_BYTE);
    char h[240];
    qint64 sum = 0;
    for (qint64 t = 0; t < traces; ++t) {
        if (segy_traceheader(fp, int(t), h, 3600, 2 * samples) != SEGY_OK)
            break;
        int32_t v = 0;
        segy_get_field(h, SEGY_TR_FIELD_RECORD, &v);
        sum += v;
    }
    segy_close(fp);
    return sum;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    auto option = [&args](const char *name, const QString &fallback) {
        const int i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const qint64 traces = option("--traces", "1000000").toLongLong();
    const int samples = option("--samples", "250").toInt();
    const int repeat = option("--repeat", "5").toInt();
    QTemporaryDir tmp(option("--dir", QDir::tempPath()) + "/tracebench-XXXXXX");
    QTextStream out(stdout);
    if (traces < 1 || samples < 1 || samples > 32767 || repeat < 1 || !tmp.isValid()) {
        std::fprintf(stderr, "tracebench: bad options or no scratch folder\n");
        return 2;
    }
    const QString file = tmp.filePath("bench.sgy");
    out << "writing " << traces << " traces of " << samples << " int16 samples ..." << Qt::endl;
    if (!writeFile(file, traces, samples)) {
        std::fprintf(stderr, "tracebench: cannot write %s\n", qPrintable(file));
        return 2;
    }
    out << "file: " << QFileInfo(file).size() / 1e6 << " MB" << Qt::endl;

    std::vector<double> pread, segyio, index;
    double bytesPerTrace = 0;
    preadHeaders(file, traces, samples); // warm the cache
    for (int r = 0; r < repeat; ++r) {
        pread.push_back(BenchTiming::timeMs([&] { preadHeaders(file, traces, samples); }));
        segyio.push_back(BenchTiming::timeMs([&] { segyioHeaders(file, traces, samples); }));
        TraceDataSet data;
        index.push_back(BenchTiming::timeMs([&] {
            if (!data.open(file))
                std::fprintf(stderr, "tracebench: %s\n", qPrintable(data.errorString()));
        }));
        bytesPerTrace = (data.traceKeys().capacity() * sizeof(TraceKey) + data.shots().capacity() * sizeof(TraceShot)) /
                        double(data.traceCount());
    }
    const double p = BenchTiming::median(pread), s = BenchTiming::median(segyio), i = BenchTiming::median(index);
    out << "median of " << repeat << " runs, cache warm:\n";
    out << "  pread of every trace header:   " << p << " ms\n";
    out << "  segyio's header loop:          " << s << " ms\n";
    out << "  TraceDataSet::open (index):    " << i << " ms\n";
    out << "  index / pread:  " << i / p << " (goal <= 1.2)\n";
    out << "  index / segyio: " << i / s << "\n";
    out << "index memory: " << bytesPerTrace << " bytes a trace (goal <= 48)\n";

    // Ten shots of 240 traces x 4,000 IEEE samples; each read is one shot.
    const QString shots = tmp.filePath("shots.sgy");
    if (!writeFile(shots, 10 * TracesPerShot, 4000, 5)) {
        std::fprintf(stderr, "tracebench: cannot write %s\n", qPrintable(shots));
        return 2;
    }
    TraceDataSet data;
    if (!data.open(shots)) {
        std::fprintf(stderr, "tracebench: %s\n", qPrintable(data.errorString()));
        return 2;
    }
    std::vector<double> reads;
    ShotGather g;
    for (int r = 0; r < 3 * data.shotCount(); ++r)
        reads.push_back(BenchTiming::timeMs([&] { data.readShot(r % data.shotCount(), &g); }));
    out << "one shot of 240 x 4000 samples read: " << BenchTiming::median(reads) << " ms (median of " << reads.size()
        << ", cache warm)\n";
    return 0;
}
