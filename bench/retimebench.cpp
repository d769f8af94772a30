// retimebench: accepting many new pick times at once, as the QC window does
// when the traces' suggestions for the whole file are accepted.
//
// On a generated file of 5,000 shots x 240 picks (1.2 M records, 101 MB) it
// plans new times for 10,000 records spread over the file, in no order,
// first retimed one at a time (a read of the file per pick), then in one
// pass (neighbouring records read together), and prints the medians of
// three runs each, with the page cache warm. Both plans must list the same
// changes, or it says so and fails.

#include "benchtiming.h"
#include <fbqc/editplan.h>
#include <fbfile/fbgenerator.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <random>

using namespace FbFile;
using namespace FbQc;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("line.fb"));
    FbGenerator::Options options;
    options.shots = 5000;
    options.channels = 240;
    if (!FbGenerator::FileWriter(options).write(file)) {
        out << "cannot write " << file << "\n";
        return 1;
    }
    const qint32 records = options.shots * options.channels;
    std::mt19937 random(7);
    QVector<QPair<qint32, float>> times;
    for (int k = 0; k < 10000; ++k)
        times.append({qint32(random() % quint32(records)), 10.0f + float(random() % 4000) / 8.0f});

    int oneByOneChanges = 0, onePassChanges = 0;
    std::vector<double> oneByOne, onePass;
    for (int run = 0; run < 3; ++run) {
        oneByOne.push_back(BenchTiming::timeMs([&] {
            FbQc::EditPlan plan(file, {}, {}, FbQc::EditPlan::Picks);
            for (const auto &t : times)
                plan.retime(t.first, t.second, QStringLiteral("accepted"));
            oneByOneChanges = plan.changes().size();
        }));
        onePass.push_back(BenchTiming::timeMs([&] {
            FbQc::EditPlan plan(file, {}, {}, FbQc::EditPlan::Picks);
            plan.retime(times, QStringLiteral("accepted"));
            onePassChanges = plan.changes().size();
        }));
    }
    out << "10,000 new times in " << records << " records\n";
    out << "  one at a time: " << BenchTiming::median(oneByOne) << " ms (" << oneByOneChanges << " changes)\n";
    out << "  in one pass:   " << BenchTiming::median(onePass) << " ms (" << onePassChanges << " changes)\n";
    if (oneByOneChanges != onePassChanges) {
        out << "the two plans differ\n";
        return 1;
    }
    return 0;
}
