// Benchmark of editing in the pick QC window. On a generated line of
// 10,000 shots x 240 picks with +-7 ms of noise (thousands of outliers,
// written to a temporary folder unless FILE is given), it prints:
//  - one pick rejected: the time from the action to the verdicts shown,
//    beside reading and judging that one shot alone;
//  - every outlier of the file rejected: the time the action holds the UI
//    thread (reading the picks, building the step), the time until the
//    verdicts are shown and the longest gap between two ticks of a 10 ms
//    probe timer on the UI thread meanwhile; then the same for its undo;
//    beside loading (judging) the whole file;
//  - the corrected copy of those edits written, beside a plain copy of the
//    file.
// Medians of repeated runs where a run is short. Runs on the offscreen
// platform unless told otherwise.
//
//   QT_QPA_PLATFORM=offscreen build/bin/qceditbench [FILE]

#include "benchtiming.h"
#include "correctedcopy.h"
#include "editsession.h"
#include <fbfile/fbgenerator.h>
#include "fbpickqcwindow.h"
#include "pickeditor.h"
#include <fbfile/shotrecords.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

using BenchTiming::median;
using BenchTiming::timeMs;
using Probe = BenchTiming::UiProbe;

namespace {

QTextStream out(stdout);

// Runs the event loop until the session has judged every change.
void waitJudged(EditSession *session)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!session->isJudging())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.filePath(QStringLiteral("noisy.fb"));
    if (argc <= 1) {
        out << "writing " << file << " (10,000 shots x 240 picks, +-7 ms noise)..." << Qt::endl;
        FbGenerator::Options options;
        options.shots = 10000;
        options.channels = 240;
        options.seed = 5;
        options.noiseMs = 7.0;
        FbGenerator::FileWriter writer(options);
        if (!writer.write(file)) {
            out << "cannot write " << file << ": " << writer.errorString() << Qt::endl;
            return 1;
        }
    }

    FbPickQcWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1400, 900);
    window.show();
    EditSession *session = window.findChild<PickEditor *>()->session();
    QEventLoop loading;
    QObject::connect(&window, &FbPickQcWindow::loadFinished, &loading, &QEventLoop::quit);
    const double loadMs = timeMs([&] {
        window.openFile(file);
        loading.exec();
    });
    if (!window.data()) {
        out << "cannot open " << file << Qt::endl;
        return 1;
    }
    // The window's data is replaced whenever edits are judged: what is
    // needed of the loaded one is copied.
    const FbQc::Report &report = window.data()->report;
    const QVector<ShotIndexEntry> index = report.index();
    const FbQc::Settings settings = report.settings;
    out << "file: " << file << ", " << index.size() << " shots, " << report.recordCount << " picks, "
        << report.count(FbQc::Kind::Outlier) << " outliers, " << report.pairs().size() << " compared pairs" << Qt::endl;
    out << "load and judge the whole file: " << loadMs << " ms" << Qt::endl;

    // One pick at a time, in shots across the file.
    std::vector<double> one, bare;
    for (int k = 0; k < 9; ++k) {
        const ShotIndexEntry e = index.at((k + 1) * index.size() / 10);
        one.push_back(timeMs([&] {
            session->rejectPicks({e.firstRecord + 3});
            waitJudged(session);
        }));
        bare.push_back(timeMs([&] {
            const QVector<FbRecord> records = readShotRecords(file, e.firstRecord, e.lastRecord);
            const FbQc::ShotFit fit = FbQc::fitShot(records, settings);
            Q_UNUSED(fit);
        }));
        session->undoStack()->undo();
        waitJudged(session);
    }
    out << "one pick rejected, to the verdicts shown: " << median(one) << " ms (median of 9); one shot read and judged "
        << "alone: " << median(bare) << " ms" << Qt::endl;

    // Every outlier of the file, answering the question at once.
    // The question comes once the outliers are gathered, on a worker.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    answer.start(5);
    const int steps = session->undoStack()->index();
    QElapsedTimer clock;
    clock.start();
    window.findChild<QAction *>(QStringLiteral("rejectFileOutliersAction"))->trigger();
    const double actionMs = clock.nsecsElapsed() / 1e6;
    Probe probe;
    probe.start();
    while (session->undoStack()->index() == steps)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    answer.stop();
    waitJudged(session);
    const double judgedMs = clock.nsecsElapsed() / 1e6;
    probe.timer.stop();
    out << "every outlier of the file rejected (" << session->edits().size() << " picks): the action holds the UI "
        << actionMs << " ms (question answered at once included); verdicts shown after " << judgedMs
        << " ms; longest UI gap meanwhile " << probe.longestMs << " ms" << Qt::endl;
    out << "  left: " << window.data()->report.count(FbQc::Kind::Outlier) << " outliers" << Qt::endl;

    const PickEdits edits = session->edits();
    const QString copyName = tmp.filePath(QStringLiteral("corrected.fb"));
    const QString plainName = tmp.filePath(QStringLiteral("plain.fb"));
    const double copyMs = timeMs([&] {
        CorrectedCopy copy(file, FbFileIdentity(), edits);
        if (!copy.write(copyName, copyName + QStringLiteral(".edits.csv")))
            out << "cannot write the copy: " << copy.errorString() << Qt::endl;
    });
    const double plainMs = timeMs([&] { QFile::copy(file, plainName); });
    out << "corrected copy and its log: " << copyMs << " ms; plain copy of the file: " << plainMs << " ms" << Qt::endl;

    clock.restart();
    session->undoStack()->undo();
    const double undoMs = clock.nsecsElapsed() / 1e6;
    probe.start();
    waitJudged(session);
    probe.timer.stop();
    out << "its undo: holds the UI " << undoMs << " ms; verdicts shown after " << clock.nsecsElapsed() / 1e6
        << " ms; longest UI gap meanwhile " << probe.longestMs
        << " ms; outliers again: " << window.data()->report.count(FbQc::Kind::Outlier) << Qt::endl;
    return 0;
}
