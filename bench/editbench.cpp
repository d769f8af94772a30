// editbench: what `fbtool edit` costs against copying the same file.
//
// On a generated file of 53,000 shots x 240 picks (1.07 GB) and a hand-made
// list of 100,000 edits (random records, in no order, half new times and
// half rejected statuses), it runs as whole processes, interleaved after
// warming the page cache:
//   cp IN OUT                       the plain copy;
//   cp IN OUT && sync OUT           the copy made as durable as the edit's;
//   fbtool edit IN -o OUT --edits   the edit, writing its edit log as well;
// removing each output before its run (not timed), and prints the medians
// (wall and CPU time), the edit's ratio to both copies and its peak
// resident memory. Goal: the edit at most 1.5x cp.
//
// The edited file is renamed into place only after it reached the disk
// (fdatasync): a crash cannot leave a half-written file under its name.
// cp makes no such promise, which is why the durable copy is shown beside it.

#include "benchprocess.h"
#include <fbfile/fbgenerator.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <vector>

using namespace FbFile;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

using BenchProcess::median;
using BenchProcess::Sample;

// 100,000 edits of records spread at random over the file: a time on
// even rows, a rejected status on odd ones.
bool writeEdits(const QString &fileName, qint64 records)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text("record,field,new\n");
    quint64 state = 12345;
    for (int k = 0; k < 100000; ++k) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const qint64 record = qint64((state >> 16) % quint64(records)) + 1;
        text += QByteArray::number(record) +
                (k % 2 ? QByteArray(",fb_status,2\n") : ",fb_time," + QByteArray::number(10 + k % 500) + ".25\n");
    }
    return file.write(text) == text.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const BenchProcess::Options bench = BenchProcess::parseOptions(
        app, QStringLiteral("fbtool edit of 100,000 picks in a 1.07 GB file against cp of it."),
        QStringLiteral("Folder for the files; the FB file and the edits are kept and reused if present "
                       "(default: a temporary folder; 3.3 GB free needed)."),
        temporary.path());
    const QDir dir(bench.dirName);
    const QString fileName = dir.filePath(QStringLiteral("edit53k.fb"));
    const QString editsName = dir.filePath(QStringLiteral("edits100k.csv"));
    FbGenerator::Options options;
    options.shots = 53000;
    options.channels = 240;
    if (!QFileInfo::exists(fileName)) {
        FbGenerator::FileWriter writer(options);
        if (!writer.write(fileName)) {
            out() << "cannot generate: " << writer.errorString() << Qt::endl;
            return 1;
        }
    }
    if (!QFileInfo::exists(editsName) && !writeEdits(editsName, qint64(options.shots) * options.channels)) {
        out() << "cannot write " << editsName << Qt::endl;
        return 1;
    }

    const QString copyName = dir.filePath(QStringLiteral("copy.fb"));
    const QString editedName = dir.filePath(QStringLiteral("edited.fb"));
    const QString logName = editedName + QStringLiteral(".edits.csv");
    const struct
    {
        const char *name;
        QString program;
        QStringList args;
        QStringList outputs;
    } commands[] = {
        {"cp", QStringLiteral("/bin/cp"), {fileName, copyName}, {copyName}},
        {"cp + sync",
         QStringLiteral("/bin/sh"),
         {QStringLiteral("-c"), QStringLiteral("cp \"$1\" \"$2\" && sync \"$2\""), QStringLiteral("sh"), fileName,
          copyName},
         {copyName}},
        {"edit",
         bench.fbtool,
         {QStringLiteral("edit"), fileName, QStringLiteral("-o"), editedName, QStringLiteral("--edits"), editsName},
         {editedName, logName}},
    };
    const int count = int(sizeof commands / sizeof commands[0]);
    std::vector<std::vector<double>> wall(count), cpu(count);
    std::vector<qint64> peakKiB(count, 0);
    auto removeOutputs = [&](int c) {
        for (const QString &name : commands[c].outputs)
            QFile::remove(name);
    };
    // Warms the page cache, and checks that every command works.
    for (int c = 0; c < count; ++c) {
        removeOutputs(c);
        const Sample s = BenchProcess::run(commands[c].program, commands[c].args);
        if (s.seconds < 0 || s.exitCode != 0) {
            out() << commands[c].name << " failed" << Qt::endl;
            return 1;
        }
    }
    for (int k = 0; k < bench.repetitions; ++k) {
        for (int c = 0; c < count; ++c) {
            removeOutputs(c);
            ::sync(); // what earlier runs left dirty is not this run's to write
            const Sample s = BenchProcess::run(commands[c].program, commands[c].args);
            if (s.seconds < 0 || s.exitCode != 0) {
                out() << commands[c].name << " failed" << Qt::endl;
                return 1;
            }
            wall[c].push_back(s.seconds);
            cpu[c].push_back(s.cpu);
            peakKiB[c] = qMax(peakKiB[c], s.peakKiB);
        }
    }
    for (int c = 0; c < count; ++c)
        removeOutputs(c);

    out() << "medians of " << bench.repetitions << " warm-cache runs on " << QFileInfo(fileName).size() << " bytes ("
          << options.shots << " shots x " << options.channels << " picks), 100,000 edits, whole processes\n";
    out() << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                 .arg(QStringLiteral("command"), -10)
                 .arg(QStringLiteral("wall s"), 7)
                 .arg(QStringLiteral("cpu s"), 7)
                 .arg(QStringLiteral("/cp"), 6)
                 .arg(QStringLiteral("/cp+sync"), 8)
                 .arg(QStringLiteral("peak MiB"), 9);
    const double cp = median(wall[0]), durable = median(wall[1]);
    for (int c = 0; c < count; ++c) {
        const double w = median(wall[c]);
        out() << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                     .arg(QLatin1String(commands[c].name), -10)
                     .arg(w, 7, 'f', 3)
                     .arg(median(cpu[c]), 7, 'f', 3)
                     .arg(w / cp, 6, 'f', 2)
                     .arg(w / durable, 8, 'f', 2)
                     .arg(peakKiB[c] / 1024.0, 9, 'f', 1);
    }
    const double ratio = median(wall[2]) / cp;
    out() << "edit / cp = " << QString::number(ratio, 'f', 2)
          << " against the goal of 1.5: " << (ratio <= 1.5 ? "met" : "MISSED") << Qt::endl;
    return 0;
}
