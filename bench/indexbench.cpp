// indexbench: how close the shot-index scan comes to the machine's limits.
//
// On one FB file of at least 1 GB (generated into a temporary folder unless
// a file is given) it prints, as medians over warm-cache repetitions:
//   - the index time (ShotIndexScanner: open, then scan with progress);
//   - a RAM-to-RAM memcpy of as many bytes as the file holds;
//   - reading the file end to end with plain 1 MiB reads, nothing else;
//   - the literal scan, one QFile seek and one 4-byte read per record, over
//     the first 1,000,000 records and scaled to the whole file;
// the ratios between them, and the peak resident memory of indexing a
// file a tenth the size and of this one.

#include "benchmemory.h"
#include "benchtiming.h"
#include <fbfile/fbgenerator.h>
#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace FbFile;

using BenchTiming::median;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

template<typename F>
double medianOf(int repetitions, F run)
{
    std::vector<double> times;
    for (int k = 0; k < repetitions; ++k)
        times.push_back(run());
    return median(times);
}

struct Indexed
{
    double seconds = 0;
    int shots = 0;
    int progressCalls = 0;
};

int blockRecords = 0; // 0: the scanner's own choice

Indexed indexFile(const QString &fileName)
{
    Indexed result;
    QElapsedTimer timer;
    timer.start();
    ShotIndexScanner scanner(fileName);
    if (blockRecords > 0)
        scanner.setBlockRecords(blockRecords);
    if (!scanner.open())
        qFatal("cannot open %s", qPrintable(fileName));
    const QVector<ShotIndexEntry> index = scanner.scan(Progress([&](int) { ++result.progressCalls; }));
    result.seconds = seconds(timer);
    result.shots = index.size();
    return result;
}

double plainRead(const QString &fileName)
{
    std::vector<char> buffer(1 << 20);
    QElapsedTimer timer;
    timer.start();
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY);
    if (fd < 0)
        qFatal("cannot open %s", qPrintable(fileName));
    qint64 total = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += got;
    ::close(fd);
    const double s = seconds(timer);
    if (total == 0)
        qFatal("read nothing from %s", qPrintable(fileName));
    return s;
}

// Copies bytes in 64 MiB pieces between two buffers too large for any
// cache: the memory bandwidth, without holding the whole file twice.
double memoryCopy(qint64 bytes)
{
    const size_t piece = 64 << 20;
    std::vector<char> from(piece, '\x5a'), to(piece, '\0');
    QElapsedTimer timer;
    timer.start();
    for (qint64 left = bytes; left > 0; left -= qint64(piece))
        std::memcpy(to.data(), from.data(), size_t(qMin<qint64>(left, qint64(piece))));
    const double s = seconds(timer);
    volatile char sink = to[size_t(bytes % qint64(piece))];
    (void)sink;
    return s;
}

// The scan done literally: one seek and one 4-byte read for every record
// from 1 on, with the same bookkeeping of the current shot.
double literalScan(const QString &fileName, qint64 records, int *shots)
{
    QFile file(fileName);
    QElapsedTimer timer;
    timer.start();
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(fileName));
    qint32 current = 0;
    file.seek(FbLayout::HeaderSize);
    file.read(reinterpret_cast<char *>(&current), 4);
    int count = 1;
    for (qint64 i = 1; i < records; ++i) {
        qint32 ffid = 0;
        file.seek(FbLayout::HeaderSize + FbLayout::RecordSize * i);
        file.read(reinterpret_cast<char *>(&ffid), 4);
        if (ffid != current) {
            current = ffid;
            ++count;
        }
    }
    *shots = count;
    return seconds(timer);
}

bool generate(const QString &fileName, int shots, int channels)
{
    FbGenerator::Options options;
    options.shots = shots;
    options.channels = channels;
    FbGenerator::FileWriter writer(options);
    QElapsedTimer timer;
    timer.start();
    if (!writer.write(fileName)) {
        out() << "cannot generate: " << writer.errorString() << Qt::endl;
        return false;
    }
    out() << "generated " << fileName << ": " << shots << " shots x " << channels << " picks in "
          << QString::number(seconds(timer), 'f', 2) << " s" << Qt::endl;
    return true;
}

QString fixed(double value, int decimals = 3)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shot-index scan against memcpy, plain reads and the literal "
                                                    "per-record scan."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("FB file to scan (default: generate 53,000 shots x 240 picks, "
                                                "about 1.07 GB, into a temporary folder)."),
                                 QStringLiteral("[FILE]"));
    const QCommandLineOption repeat(QStringLiteral("repeat"),
                                    QStringLiteral("Repetitions per measurement (default 5)."), QStringLiteral("N"),
                                    QStringLiteral("5"));
    const QCommandLineOption literal(QStringLiteral("literal-records"),
                                     QStringLiteral("Records of the literal scan (default 1000000)."),
                                     QStringLiteral("N"), QStringLiteral("1000000"));
    const QCommandLineOption block(QStringLiteral("block-records"),
                                   QStringLiteral("Records per read of the index scan (default: the scanner's own)."),
                                   QStringLiteral("N"));
    const QCommandLineOption indexOnly(QStringLiteral("index-only"),
                                       QStringLiteral("Measure only the index and the plain reads."));
    parser.addOptions({repeat, literal, block, indexOnly});
    parser.process(app);
    const int repetitions = qMax(1, parser.value(repeat).toInt());
    const qint64 literalRecords = qMax<qint64>(2, parser.value(literal).toLongLong());
    blockRecords = parser.value(block).toInt();

    QTemporaryDir dir;
    QString fileName;
    QString smallName;
    if (!parser.positionalArguments().isEmpty()) {
        fileName = parser.positionalArguments().first();
    } else {
        if (!dir.isValid())
            qFatal("no temporary folder");
        fileName = dir.filePath(QStringLiteral("bench.fb"));
        if (!generate(fileName, 53000, 240))
            return 1;
    }
    if (dir.isValid()) {
        // A tenth of the file, to show that the scan's memory does not grow
        // with it.
        smallName = dir.filePath(QStringLiteral("small.fb"));
        if (!generate(smallName, 5300, 240))
            return 1;
    }

    const qint64 fileSize = QFile(fileName).size();
    const qint64 records = FbLayout::recordCount(fileSize);

    // Warm the page cache, then measure.
    plainRead(fileName);
    plainRead(fileName);

    // Memory first, before any other measurement raises the peak.
    qint64 smallPeak = -1;
    if (!smallName.isEmpty() && BenchMemory::resetPeak()) {
        plainRead(smallName);
        BenchMemory::resetPeak();
        indexFile(smallName);
        smallPeak = BenchMemory::peakKiB();
    }
    const bool peakReset = BenchMemory::resetPeak();
    const qint64 rssBefore = BenchMemory::peakKiB();
    Indexed indexed = indexFile(fileName);
    const qint64 bigPeak = BenchMemory::peakKiB();

    // Interleaved, so that the three see the same load on a shared machine.
    std::vector<double> indexTimes, readTimes, copyTimes;
    for (int k = 0; k < repetitions; ++k) {
        indexed = indexFile(fileName);
        indexTimes.push_back(indexed.seconds);
        readTimes.push_back(plainRead(fileName));
        if (!parser.isSet(indexOnly))
            copyTimes.push_back(memoryCopy(fileSize));
    }
    const double index = median(indexTimes);
    const double read = median(readTimes);
    if (parser.isSet(indexOnly)) {
        out() << "index " << fixed(index) << " s, plain read " << fixed(read) << " s, ratio " << fixed(index / read, 2)
              << ", peak " << fixed(bigPeak / 1024.0, 1) << " MiB" << Qt::endl;
        return 0;
    }
    const double copy = median(copyTimes);
    const qint64 sample = qMin(records, literalRecords);
    int literalShots = 0;
    const double literalSample =
        medianOf(qMin(repetitions, 3), [&] { return literalScan(fileName, sample, &literalShots); });
    const double literalScaled = literalSample * double(records) / double(sample);

    const double gib = double(fileSize) / (1 << 30);
    QTextStream &o = out();
    o << "file: " << fileName << " (" << fileSize << " bytes, " << records << " records, " << indexed.shots
      << " shots, " << indexed.progressCalls << " progress calls)\n";
    o << "medians of " << repetitions << " warm-cache repetitions (literal scan: " << qMin(repetitions, 3) << ")\n";
    o << "  memcpy RAM to RAM        " << fixed(copy) << " s  (" << fixed(gib / copy, 2) << " GiB/s)\n";
    o << "  plain 1 MiB reads        " << fixed(read) << " s  (" << fixed(gib / read, 2) << " GiB/s)\n";
    o << "  shot index               " << fixed(index) << " s  (" << fixed(gib / index, 2) << " GiB/s)\n";
    o << "  literal seek+read scan   " << fixed(literalScaled, 2) << " s  (scaled from " << fixed(literalSample)
      << " s for " << sample << " records)\n";
    o << "ratios\n";
    o << "  index / plain read       " << fixed(index / read, 2) << "  (target <= 1.2)\n";
    o << "  index / memcpy           " << fixed(index / copy, 2) << '\n';
    o << "  plain read / memcpy      " << fixed(read / copy, 2) << '\n';
    o << "  literal / index          " << fixed(literalScaled / index, 1) << '\n';
    o << "peak resident memory while indexing\n";
    if (smallPeak >= 0)
        o << "  file of " << QFile(smallName).size() << " bytes  " << fixed(smallPeak / 1024.0, 1) << " MiB\n";
    o << "  file of " << fileSize << " bytes  " << fixed(bigPeak / 1024.0, 1) << " MiB"
      << (peakReset ? QString()
                    : QStringLiteral(" (process peak; before indexing %1 MiB)").arg(fixed(rssBefore / 1024.0, 1)))
      << '\n';
    o.flush();
    return 0;
}
