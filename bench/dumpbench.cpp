// dumpbench: what `fbtool dump` of one very large shot costs against
// reading the same records.
//
// On a generated file of one shot of 3,000,000 picks (252 MB), it runs
// `cat FILE`, `fbtool check FILE` (which reads and decodes every record)
// and `fbtool dump FILE --shot 1`, aligned and with --csv, as whole
// processes with their output thrown away, interleaved after warming the
// page cache, and prints the medians (wall time, and CPU time, which a
// loaded machine blurs less), both as ratios to check, and each dump's peak
// resident memory. Then, in this process, the cost of one cell text made by
// FbColumns::fieldText (a QString) against FbColumns::writeFieldText (bytes)
// over the shot's first million records. Goals: a dump at most 3x check, at
// most 64 MiB.

#include <fbfile/fbblockreader.h>
#include <fbfile/fbcolumns.h>
#include "benchprocess.h"
#include <fbfile/fbgenerator.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace FbFile;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

using BenchProcess::Sample;
using BenchProcess::median;

QString seconds(double s)
{
    return QString::number(s, 'f', 3);
}

// Nanoseconds per cell of both ways to make the texts of up to `limit`
// records, every field; the byte counts keep the work from being dropped.
void measureCells(const QString &fileName, qint64 limit)
{
    FbBlockReader reader(fileName);
    if (!reader.open())
        return;
    std::vector<FbRecord> records;
    FbBlockReader::Block block;
    while (qint64(records.size()) < limit && reader.nextBlock(&block)) {
        for (qint64 k = 0; k < block.records && qint64(records.size()) < limit; ++k)
            records.push_back(FbLayout::decodeRecord(block.record(k)));
    }
    const double cells = double(records.size()) * FbLayout::FieldCount;
    QElapsedTimer timer;
    timer.start();
    qint64 qstringChars = 0;
    for (const FbRecord &r : records) {
        for (const FbLayout::Field &f : FbLayout::fields)
            qstringChars += FbColumns::fieldText(f, r).size();
    }
    const double viaQString = timer.nsecsElapsed() / cells;
    timer.restart();
    qint64 bytes = 0;
    char text[FbColumns::MaxCellBytes];
    for (const FbRecord &r : records) {
        for (const FbLayout::Field &f : FbLayout::fields)
            bytes += FbColumns::writeFieldText(f, r, text) - text;
    }
    const double viaBytes = timer.nsecsElapsed() / cells;
    out() << "\ncell texts of " << records.size() << " records, every field: fieldText "
          << QString::number(viaQString, 'f', 1) << " ns, writeFieldText " << QString::number(viaBytes, 'f', 1)
          << " ns a cell (" << QString::number(viaQString / viaBytes, 'f', 1) << "x)"
          << (bytes == qstringChars ? "" : ", LENGTHS DIFFER") << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const BenchProcess::Options bench =
        BenchProcess::parseOptions(app, QStringLiteral("fbtool dump of a 3,000,000-pick shot against reading it."),
                                   QStringLiteral("Folder for the file, kept and reused if present "
                                                  "(default: a temporary folder; 260 MB free needed)."),
                                   temporary.path());
    const int repetitions = bench.repetitions;
    const QString &fbtool = bench.fbtool;
    const QString &dirName = bench.dirName;
    const QString fileName = QDir(dirName).filePath(QStringLiteral("dump3m.fb"));
    if (!QFileInfo::exists(fileName)) {
        FbGenerator::Options options;
        options.shots = 1;
        options.channels = 3000000;
        FbGenerator::FileWriter writer(options);
        if (!writer.write(fileName)) {
            out() << "cannot generate: " << writer.errorString() << Qt::endl;
            return 1;
        }
    }

    const struct
    {
        const char *name;
        QString program;
        QStringList args;
    } commands[] = {
        {"cat", QStringLiteral("/bin/cat"), {fileName}},
        {"check", fbtool, {QStringLiteral("check"), fileName}},
        {"dump", fbtool, {QStringLiteral("dump"), fileName, QStringLiteral("--shot"), QStringLiteral("1")}},
        {"dump --csv",
         fbtool,
         {QStringLiteral("dump"), fileName, QStringLiteral("--shot"), QStringLiteral("1"), QStringLiteral("--csv")}},
    };
    const int count = int(sizeof commands / sizeof commands[0]);
    std::vector<std::vector<double>> wall(count), cpu(count);
    std::vector<qint64> peakKiB(count, 0);
    BenchProcess::run(commands[0].program, commands[0].args); // warm the page cache
    for (int k = 0; k < repetitions; ++k) {
        for (int c = 0; c < count; ++c) {
            const Sample s = BenchProcess::run(commands[c].program, commands[c].args);
            if (s.seconds < 0 || s.exitCode > 1) {
                out() << commands[c].name << " failed" << Qt::endl;
                return 1;
            }
            wall[c].push_back(s.seconds);
            cpu[c].push_back(s.cpu);
            peakKiB[c] = qMax(peakKiB[c], s.peakKiB);
        }
    }

    out() << "medians of " << repetitions << " warm-cache runs on " << QFileInfo(fileName).size()
          << " bytes, one shot of 3,000,000 picks, whole processes\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                 .arg(QStringLiteral("command"), -11)
                 .arg(QStringLiteral("wall s"), 7)
                 .arg(QStringLiteral("cpu s"), 7)
                 .arg(QStringLiteral("/check"), 7)
                 .arg(QStringLiteral("cpu/chk"), 7)
                 .arg(QStringLiteral("peak MiB"), 9)
                 .arg(QStringLiteral("goals (3x check, 64 MiB)"));
    const double checkWall = median(wall[1]), checkCpu = median(cpu[1]);
    for (int c = 0; c < count; ++c) {
        const double ratio = median(wall[c]) / checkWall;
        const double peakMiB = peakKiB[c] / 1024.0;
        const bool isDump = c >= 2;
        out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                     .arg(QLatin1String(commands[c].name), -11)
                     .arg(seconds(median(wall[c])), 7)
                     .arg(seconds(median(cpu[c])), 7)
                     .arg(ratio, 7, 'f', 2)
                     .arg(median(cpu[c]) / checkCpu, 7, 'f', 2)
                     .arg(peakMiB, 9, 'f', 1)
                     .arg(!isDump ? QString()
                                  : QLatin1String(ratio <= 3.0 ? "time met" : "time MISSED") +
                                        QLatin1String(peakMiB <= 64.0 ? ", memory met" : ", memory MISSED"));
    }
    out().flush();
    measureCells(fileName, 1000000);
    return 0;
}
