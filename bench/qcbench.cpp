// qcbench: what a whole `fbtool qc` run costs against reading the same file.
//
// On two generated files of about 1.07 GB each, 53,000 shots of 240 picks
// and 12,720,000 shots of one pick (nothing to fit, every shot a summary),
// it runs `cat FILE` and `fbtool qc FILE` as whole processes with their
// output thrown away, interleaved, after warming the page cache, and prints
// the medians (wall time, and qc's CPU time, which a loaded machine blurs
// less), the ratio qc / cat and the peak resident memory of each qc process
// (the child's ru_maxrss). Goals: at most 2x cat, at most 256 MiB.

#include "benchprocess.h"
#include "fbgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

using BenchProcess::Sample;
using BenchProcess::median;

bool generate(const QString &fileName, int shots, int channels)
{
    FbGenerator::Options options;
    options.shots = shots;
    options.channels = channels;
    options.shotInterval = channels > 1 ? 2 : 1;
    FbGenerator::FileWriter writer(options);
    QElapsedTimer timer;
    timer.start();
    if (!writer.write(fileName)) {
        out() << "cannot generate: " << writer.errorString() << Qt::endl;
        return false;
    }
    out() << "generated " << fileName << ": " << shots << " shots x " << channels << " picks in "
          << QString::number(timer.nsecsElapsed() / 1e9, 'f', 1) << " s" << Qt::endl;
    return true;
}

struct Row
{
    QString name;
    qint64 bytes = 0;
    double cat = 0.0;
    double qc = 0.0;
    double qcCpu = 0.0;
    qint64 peakKiB = 0;
    int exitCode = -1;
};

// Medians of cat and qc on one file, interleaved so that both see the same
// load on a shared machine.
bool measure(const QString &fbtool, const QString &fileName, int repetitions, Row *row)
{
    const QString cat = QStringLiteral("/bin/cat");
    for (int k = 0; k < 2; ++k)
        BenchProcess::run(cat, {fileName});
    std::vector<double> catTimes, qcTimes, qcCpu;
    for (int k = 0; k < repetitions; ++k) {
        const Sample c = BenchProcess::run(cat, {fileName});
        const Sample q = BenchProcess::run(fbtool, {QStringLiteral("qc"), fileName});
        if (c.seconds < 0 || q.seconds < 0 || q.exitCode > 1) {
            out() << "a run failed on " << fileName << " (qc exit " << q.exitCode << ")" << Qt::endl;
            return false;
        }
        catTimes.push_back(c.seconds);
        qcTimes.push_back(q.seconds);
        qcCpu.push_back(q.cpu);
        row->peakKiB = qMax(row->peakKiB, q.peakKiB);
        row->exitCode = q.exitCode;
        out() << "  " << row->name << " run " << (k + 1) << ": cat " << QString::number(c.seconds, 'f', 3)
              << " s, qc " << QString::number(q.seconds, 'f', 3) << " s (cpu " << QString::number(q.cpu, 'f', 3)
              << " s), " << q.peakKiB / 1024 << " MiB"
              << Qt::endl;
    }
    row->bytes = QFileInfo(fileName).size();
    row->cat = median(catTimes);
    row->qc = median(qcTimes);
    row->qcCpu = median(qcCpu);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const BenchProcess::Options bench = BenchProcess::parseOptions(
        app, QStringLiteral("Whole fbtool qc runs against cat on two files of about 1 GB."),
        QStringLiteral("Folder for the two files, kept and reused if present "
                       "(default: a temporary folder; 2.2 GB free needed)."),
        temporary.path());
    const int repetitions = bench.repetitions;
    const QString &fbtool = bench.fbtool;
    const QString &dirName = bench.dirName;
    const struct { const char *name; const char *file; int shots; int channels; } files[] = {
        {"53,000 shots x 240", "shots240.fb", 53000, 240},
        {"12,720,000 shots x 1", "shots1.fb", 12720000, 1},
    };
    std::vector<Row> rows;
    for (const auto &f : files) {
        const QString fileName = QDir(dirName).filePath(QLatin1String(f.file));
        if (!QFileInfo::exists(fileName) && !generate(fileName, f.shots, f.channels))
            return 1;
        Row row;
        row.name = QLatin1String(f.name);
        if (!measure(fbtool, fileName, repetitions, &row))
            return 1;
        rows.push_back(row);
    }

    out() << "\nmedians of " << repetitions << " warm-cache runs, whole processes\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                 .arg(QStringLiteral("file"), -22).arg(QStringLiteral("bytes"), 12).arg(QStringLiteral("cat s"), 8)
                 .arg(QStringLiteral("qc s"), 8).arg(QStringLiteral("qc cpu s"), 9).arg(QStringLiteral("qc/cat"), 7)
                 .arg(QStringLiteral("peak MiB"), 9).arg(QStringLiteral("goals (2x, 256 MiB)"));
    for (const Row &r : rows) {
        const double ratio = r.qc / r.cat;
        const double peakMiB = r.peakKiB / 1024.0;
        out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                     .arg(r.name, -22).arg(r.bytes, 12).arg(r.cat, 8, 'f', 3).arg(r.qc, 8, 'f', 3)
                     .arg(r.qcCpu, 9, 'f', 3)
                     .arg(ratio, 7, 'f', 2).arg(peakMiB, 9, 'f', 1)
                     .arg(QLatin1String(ratio <= 2.0 ? "time met" : "time MISSED")
                          + QLatin1String(peakMiB <= 256.0 ? ", memory met" : ", memory MISSED"));
    }
    out() << "one-pick shots against 240-pick shots: qc " << QString::number(rows[1].qc / rows[0].qc, 'f', 2)
          << "x the time\n";
    return 0;
}
