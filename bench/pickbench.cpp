// pickbench: `fbtool pick` on a generated SEG-Y file against reading the
// same traces through the trace library (open, then every shot read, in
// this process), interleaved after warming the page cache. Prints the
// medians of wall and CPU time (user + system: a loaded machine blurs it
// less) and both ratios. Goal: the pick within 2x the read. Also the pick
// against the file's bytes read and nothing done with them, as a copy to
// /dev/null reads them: what a user compares the pick with.
//
//   pickbench [--shots N] [--repeat R] [--dir DIR] [--fbtool PATH]
//
// The data set (N shots of 240 traces x 2,000 samples, IEEE float; 540
// shots make 1.07 GB) is generated with fbtool gen into DIR, kept there
// when DIR is given.

#include "benchprocess.h"
#include "benchtiming.h"
#include <fbtrace/tracedataset.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>
#include <vector>

using namespace FbFile;
using namespace FbTrace;

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Every shot read once through the library: wall and CPU seconds.
BenchProcess::Sample readAll(const QString &data)
{
    BenchProcess::Sample s;
    const double cpu = cpuSeconds();
    s.seconds = BenchTiming::timeMs([&] {
                    TraceDataSet set;
                    if (!set.open(data))
                        qFatal("%s", qPrintable(set.errorString()));
                    ShotGather gather;
                    for (int shot = 0; shot < set.shotCount(); ++shot)
                        if (!set.readShot(shot, &gather))
                            qFatal("%s", qPrintable(set.errorString()));
                }) /
                1000.0;
    s.cpu = cpuSeconds() - cpu;
    return s;
}

// Wall seconds to read the file's bytes in large blocks, nothing decoded.
double readBytes(const QString &data)
{
    return BenchTiming::timeMs([&] {
               QFile file(data);
               if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                   qFatal("cannot open %s", qPrintable(data));
               std::vector<char> block(1 << 20);
               while (file.read(block.data(), qint64(block.size())) > 0) { }
           }) /
           1000.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("fbtool pick against a read of the same traces."));
    parser.addHelpOption();
    const QCommandLineOption shotsOption(QStringLiteral("shots"), QStringLiteral("Shots of 240 traces (default 100)."),
                                         QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Runs of each (default 3)."),
                                    QStringLiteral("R"), QStringLiteral("3"));
    const QCommandLineOption dir(QStringLiteral("dir"), QStringLiteral("Where the data set is kept."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption tool(QStringLiteral("fbtool"), QStringLiteral("The fbtool to run."),
                                  QStringLiteral("PATH"));
    parser.addOptions({shotsOption, repeat, dir, tool});
    parser.process(app);
    QTemporaryDir temporary;
    BenchProcess::Options options;
    const int shots = qMax(1, parser.value(shotsOption).toInt());
    options.repetitions = qMax(1, parser.value(repeat).toInt());
    options.fbtool =
        parser.isSet(tool) ? parser.value(tool) : QCoreApplication::applicationDirPath() + QStringLiteral("/fbtool");
    options.dirName = parser.isSet(dir) ? parser.value(dir) : temporary.path();
    const QString line = options.dirName + QStringLiteral("/pickbench.fb");
    const QString data = options.dirName + QStringLiteral("/pickbench-%1.sgy").arg(shots);
    const QString picked = options.dirName + QStringLiteral("/picked.fb");
    if (!QFileInfo::exists(data)) {
        const BenchProcess::Sample made =
            BenchProcess::run(options.fbtool, {"gen", line, "--shots", QString::number(shots), "--channels", "240",
                                               "--trace-length", "1000", "--traces", data});
        if (made.seconds < 0)
            qFatal("fbtool gen failed");
    }
    out << data << ": " << QFileInfo(data).size() / 1e6 << " MB" << Qt::endl;
    readAll(data); // the page cache warmed
    std::vector<double> readWall, readCpu, pickWall, pickCpu, bytesWall;
    for (int r = 0; r < options.repetitions; ++r) {
        bytesWall.push_back(readBytes(data));
        const BenchProcess::Sample read = readAll(data);
        readWall.push_back(read.seconds);
        readCpu.push_back(read.cpu);
        const BenchProcess::Sample pick = BenchProcess::run(options.fbtool, {"pick", "--seismic", data, "-o", picked});
        if (pick.seconds < 0)
            qFatal("fbtool pick failed");
        pickWall.push_back(pick.seconds);
        pickCpu.push_back(pick.cpu);
    }
    const double rw = BenchTiming::median(readWall), rc = BenchTiming::median(readCpu);
    const double pw = BenchTiming::median(pickWall), pc = BenchTiming::median(pickCpu);
    out << "read: " << rw << " s wall, " << rc << " s CPU" << Qt::endl;
    out << "pick: " << pw << " s wall, " << pc << " s CPU" << Qt::endl;
    out << "pick / read: " << QString::number(pw / rw, 'f', 2) << " wall, " << QString::number(pc / rc, 'f', 2)
        << " CPU, against the goal of 2: " << (pw / rw <= 2.0 ? "met" : "MISSED") << Qt::endl;
    const double bw = BenchTiming::median(bytesWall);
    out << "bytes only: " << bw << " s wall; pick / bytes: " << QString::number(pw / bw, 'f', 2) << " wall" << Qt::endl;
    return 0;
}
