// qcbench: what a whole `fbtool qc` run costs against reading the same file.
//
// On two generated files of about 1.07 GB each, 53,000 shots of 240 picks
// and 12,720,000 shots of one pick (nothing to fit, every shot a summary),
// it runs `cat FILE` and `fbtool qc FILE` as whole processes with their
// output thrown away, interleaved, after warming the page cache, and prints
// the medians (wall time, and qc's CPU time, which a loaded machine blurs
// less, also per pick), the ratio qc / cat, the speed-up of one thread per
// core over one thread, and the peak resident memory of each qc process
// (the child's ru_maxrss). With --baseline an earlier fbtool runs beside
// it, for before/after figures of one run. Goals: at most 70 ns of CPU per
// pick, at most 256 MiB.

#include "benchprocess.h"
#include <fbfile/fbgenerator.h>
#include <fbfile/fblayout.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

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

// One way of running qc on a file, and its medians.
struct Variant
{
    QString label;
    QString fbtool;
    QStringList extra; // options after qc FILE
    double seconds = 0.0;
    double cpu = 0.0;
    qint64 peakKiB = 0;
};

struct Row
{
    QString name;
    qint64 bytes = 0;
    qint64 picks = 0;
    double cat = 0.0;
    std::vector<Variant> variants;
};

// Medians of cat and each qc variant on one file, interleaved so that all
// see the same load on a shared machine.
bool measure(const QString &fileName, int repetitions, Row *row)
{
    const QString cat = QStringLiteral("/bin/cat");
    for (int k = 0; k < 2; ++k)
        BenchProcess::run(cat, {fileName});
    std::vector<double> catTimes;
    std::vector<std::vector<double>> times(row->variants.size()), cpu(row->variants.size());
    for (int k = 0; k < repetitions; ++k) {
        const Sample c = BenchProcess::run(cat, {fileName});
        catTimes.push_back(c.seconds);
        out() << "  " << row->name << " run " << (k + 1) << ": cat " << QString::number(c.seconds, 'f', 3) << " s";
        for (size_t v = 0; v < row->variants.size(); ++v) {
            Variant &variant = row->variants[v];
            const Sample q =
                BenchProcess::run(variant.fbtool, QStringList{QStringLiteral("qc"), fileName} + variant.extra);
            if (c.seconds < 0 || q.seconds < 0 || q.exitCode > 1) {
                out() << Qt::endl
                      << "a run failed on " << fileName << " (" << variant.label << ", exit " << q.exitCode << ")"
                      << Qt::endl;
                return false;
            }
            times[v].push_back(q.seconds);
            cpu[v].push_back(q.cpu);
            variant.peakKiB = qMax(variant.peakKiB, q.peakKiB);
            out() << ", " << variant.label << " " << QString::number(q.seconds, 'f', 3) << " s (cpu "
                  << QString::number(q.cpu, 'f', 3) << " s, " << q.peakKiB / 1024 << " MiB)";
        }
        out() << Qt::endl;
    }
    row->bytes = QFileInfo(fileName).size();
    row->picks = FbFile::FbLayout::recordCount(row->bytes);
    row->cat = median(catTimes);
    for (size_t v = 0; v < row->variants.size(); ++v) {
        row->variants[v].seconds = median(times[v]);
        row->variants[v].cpu = median(cpu[v]);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const BenchProcess::Options bench = BenchProcess::parseOptions(
        app,
        QStringLiteral("Whole fbtool qc runs against cat on two files of about 1 GB: on one thread, on "
                       "one per core, and an earlier fbtool's beside them."),
        QStringLiteral("Folder for the two files, kept and reused if present "
                       "(default: a temporary folder; 2.2 GB free needed)."),
        temporary.path(), true);
    const int repetitions = bench.repetitions;
    const QString &dirName = bench.dirName;
    const struct
    {
        const char *name;
        const char *file;
        int shots;
        int channels;
    } files[] = {
        {"53,000 shots x 240", "shots240.fb", 53000, 240},
        {"12,720,000 shots x 1", "shots1.fb", 12720000, 1},
    };
    const int cores = QThread::idealThreadCount();
    std::vector<Row> rows;
    for (const auto &f : files) {
        const QString fileName = QDir(dirName).filePath(QLatin1String(f.file));
        if (!QFileInfo::exists(fileName) && !generate(fileName, f.shots, f.channels))
            return 1;
        Row row;
        row.name = QLatin1String(f.name);
        row.variants.push_back(
            {QStringLiteral("qc 1 thread"), bench.fbtool, {QStringLiteral("--threads"), QStringLiteral("1")}});
        row.variants.push_back({QStringLiteral("qc %1 threads").arg(cores), bench.fbtool, {}});
        if (!bench.baseline.isEmpty())
            row.variants.push_back({QStringLiteral("baseline qc"), bench.baseline, {}});
        if (!measure(fileName, repetitions, &row))
            return 1;
        rows.push_back(row);
    }

    out() << "\nmedians of " << repetitions << " warm-cache runs, whole processes, " << cores << " cores\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                 .arg(QStringLiteral("file"), -22)
                 .arg(QStringLiteral("run"), -16)
                 .arg(QStringLiteral("wall s"), 8)
                 .arg(QStringLiteral("cpu s"), 8)
                 .arg(QStringLiteral("cpu ns/pick"), 12)
                 .arg(QStringLiteral("/cat"), 6)
                 .arg(QStringLiteral("speed-up"), 9)
                 .arg(QStringLiteral("peak MiB"), 9)
                 .arg(QStringLiteral("goals (70 ns/pick, 256 MiB)"));
    for (const Row &r : rows) {
        out() << QStringLiteral("%1 %2 %3\n").arg(r.name, -22).arg(QStringLiteral("cat"), -16).arg(r.cat, 8, 'f', 3);
        const double single = r.variants.front().seconds;
        for (const Variant &v : r.variants) {
            const double perPick = v.cpu * 1e9 / double(qMax<qint64>(1, r.picks));
            const double peakMiB = v.peakKiB / 1024.0;
            out() << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                         .arg(QString(), -22)
                         .arg(v.label, -16)
                         .arg(v.seconds, 8, 'f', 3)
                         .arg(v.cpu, 8, 'f', 3)
                         .arg(perPick, 12, 'f', 1)
                         .arg(v.seconds / r.cat, 6, 'f', 2)
                         .arg(single / v.seconds, 9, 'f', 2)
                         .arg(peakMiB, 9, 'f', 1)
                         .arg(QLatin1String(perPick <= 70.0 ? "cpu met" : "cpu MISSED") +
                              QLatin1String(peakMiB <= 256.0 ? ", memory met" : ", memory MISSED"));
        }
    }
    return 0;
}
