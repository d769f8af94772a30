// Benchmark of the pick QC window. On a generated file of about 1 GB
// (53,000 shots x 240 picks, 12.7 million picks, written to a temporary
// folder unless FILE is given) and on small files of large shots (50,000,
// 1,000,000 and 3,000,000 picks), it prints:
//  - the longest gap between two ticks of a 10 ms probe timer on the UI
//    thread while the file loads and is judged, beside the same probe idle;
//  - the time to move to another shot until its table and plot are shown,
//    for 240- and 50,000-pick shots, beside reading and fitting the same
//    shot alone; the longest UI gap while a 1,000,000-pick shot (judged)
//    and a 3,000,000-pick shot (too large to judge) are read and shown,
//    while the 1,000,000-pick shot goes to residuals and back and one of
//    its picks is retimed and the edit undone, and while another file is
//    opened over the 1,000,000-pick shot shown;
//  - judging the file again after a threshold change (8 to 6 ms), until
//    the window shows it, beside the bare FbQc::rejudge of a copy of the
//    report, with the longest UI gap meanwhile;
//  - a full redraw of the survey map, and a move of its highlight, beside a
//    bare drawPoints() of the same points into an image;
//  - how long opening another file takes while a cancelled load fits a
//    1,000,000-pick shot, and closing the window right after Cancel;
//  - on the same file judged at 0.4 ms (millions of outliers): the
//    longest UI gap while the problem list is sorted by a column, and the
//    time until it is sorted; a change of the kind filter;
//  - the resident memory before the load and the peak after it.
// Medians of repeated runs. Runs on the offscreen platform unless told
// otherwise. With --gaps-only it measures only the longest UI gaps: the
// load, the file opened again over a small one, the large shots and judging
// again.
//
//   QT_QPA_PLATFORM=offscreen build/bin/qcwindowbench [--gaps-only] [FILE]

#include "benchmemory.h"
#include "benchtiming.h"
#include <fbfile/fbgenerator.h>
#include "editsession.h"
#include "fbpickqcwindow.h"
#include "pickeditor.h"
#include <fbview/shotplot.h>
#include <fbqc/pickqc.h>
#include "problemmodel.h"
#include "shottablemodel.h"
#include <fbfile/shotrecords.h>
#include <fbview/surveymap.h>

#include <QCommandLineParser>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>

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

// VmRSS or VmHWM of this process, in MiB; 0 where the kernel does not say.
double memoryMiB(const char *field)
{
    return qMax<qint64>(0, BenchMemory::statusKiB(field)) / 1024.0;
}

bool generate(const QString &fileName, int shots, int channels)
{
    FbGenerator::Options options;
    options.shots = shots;
    options.channels = channels;
    options.seed = 11;
    FbGenerator::FileWriter writer(options);
    if (!writer.write(fileName)) {
        out << "cannot write " << fileName << ": " << writer.errorString() << Qt::endl;
        return false;
    }
    return true;
}

bool load(FbPickQcWindow &window, const QString &fileName, Probe *probe, double *elapsedMs)
{
    bool ok = false;
    const auto connection = QObject::connect(&window, &FbPickQcWindow::loadFinished, [&](bool result) { ok = result; });
    QElapsedTimer t;
    t.start();
    if (probe)
        probe->start();
    window.openFile(fileName);
    BenchTiming::waitFor(&window, &FbPickQcWindow::loadFinished);
    *elapsedMs = t.nsecsElapsed() / 1e6;
    if (probe)
        probe->stop();
    QObject::disconnect(connection);
    // The first shot too.
    if (ok && window.shownShot() != window.currentShot())
        BenchTiming::waitFor(&window, &FbPickQcWindow::shotShown);
    return ok;
}

// Moves to shot and waits until it is shown; the time taken.
double moveTo(FbPickQcWindow &window, int shot)
{
    return timeMs([&] {
        window.goToShot(shot);
        if (window.shownShot() != shot)
            BenchTiming::waitFor(&window, &FbPickQcWindow::shotShown);
        QApplication::processEvents();
    });
}

// The median time to move to each of `shots` in turn, painting included,
// and the median of reading and fitting the same shots without the window.
void shotSwitch(FbPickQcWindow &window, const QVector<int> &shots, double *windowMs, double *bareMs)
{
    std::vector<double> moves, bare;
    const QcData *data = window.data();
    for (const int shot : shots) {
        moves.push_back(moveTo(window, shot));
        const ShotIndexEntry &e = data->report.index().at(shot);
        bare.push_back(timeMs([&] {
            const QVector<FbRecord> records = readShotRecords(data->fileName, e.firstRecord, e.lastRecord);
            const FbQc::ShotFit fit = FbQc::fitShot(records, data->report.settings);
            Q_UNUSED(fit);
        }));
    }
    *windowMs = median(moves);
    *bareMs = median(bare);
}

// The longest UI gap while the window moves to shot and shows it.
double gapMovingTo(FbPickQcWindow &window, int shot, Probe *probe)
{
    probe->start();
    moveTo(window, shot);
    return probe->stop();
}

// Runs until done() holds (events processed meanwhile), at most a minute.
void waitUntil(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The longest UI gaps while the shown shot goes to residuals and back, and
// while one of its picks is retimed and the edit undone: each until the
// plot shows it.
void viewAndEditGaps(FbPickQcWindow &window, Probe *probe, double *viewGap, double *editGap)
{
    auto *residuals = window.findChild<QCheckBox *>(QStringLiteral("residualMode"));
    auto *plot = window.findChild<ShotPlot *>(QStringLiteral("shotPlot"));
    *viewGap = *editGap = 0.0;
    for (const bool on : {true, false}) {
        probe->start();
        residuals->setChecked(on);
        waitUntil([&] { return plot->mode() == (on ? ShotPlot::Residuals : ShotPlot::Times); });
        QApplication::processEvents();
        *viewGap = std::max(*viewGap, probe->stop());
    }
    EditSession *session = window.findChild<PickEditor *>()->session();
    const qint32 record = window.data()->report.index().at(window.currentShot()).firstRecord;
    // The table takes the refitted picks when the plot does.
    auto *table =
        qobject_cast<const ShotTableModel *>(window.findChild<QTableView *>(QStringLiteral("shotTable"))->model());
    const float before = table->records().value(0).fb_time;
    for (const bool undo : {false, true}) {
        probe->start();
        if (undo)
            session->undoStack()->undo();
        else
            session->setTime(record, before + 7.0f);
        waitUntil([&] { return table->records().value(0).fb_time == (undo ? before : before + 7.0f); });
        QApplication::processEvents();
        *editGap = std::max(*editGap, probe->stop());
    }
    session->undoStack()->setClean();
}

// Sets a threshold as a user does and waits until the file is shown judged
// with it; the time taken.
double setThreshold(FbPickQcWindow &window, const char *spin, double ms)
{
    return timeMs([&] {
        window.findChild<QDoubleSpinBox *>(QLatin1String(spin))->setValue(ms);
        BenchTiming::waitFor(&window, &FbPickQcWindow::loadFinished);
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The QC window on a large file: longest UI gap while it is judged, shot moves, a giant shot, judging "
        "again with new thresholds, cancel and close, sorting the problems, and peak memory."));
    parser.addHelpOption();
    const QCommandLineOption gapsOnly(QStringLiteral("gaps-only"),
                                      QStringLiteral("Measure only the longest UI gaps: the load, judging again and "
                                                     "the large shots."));
    parser.addOption(gapsOnly);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The FB file to judge (default: 53,000 shots x 240 picks, generated)."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    const bool all = !parser.isSet(gapsOnly);
    QTemporaryDir tmp;
    const bool given = !parser.positionalArguments().isEmpty();
    QString big = given ? parser.positionalArguments().first() : tmp.filePath(QStringLiteral("survey.fb"));
    const QString wide = tmp.filePath(QStringLiteral("wide.fb"));
    const QString large = tmp.filePath(QStringLiteral("large.fb"));
    const QString giant = tmp.filePath(QStringLiteral("giant.fb"));
    if (!given) {
        out << "writing " << big << " (53,000 shots x 240 picks)..." << Qt::endl;
        if (!generate(big, 53000, 240))
            return 1;
    }
    out << "writing shots of 50,000, 1,000,000 and 3,000,000 picks..." << Qt::endl;
    if (!generate(wide, 4, 50000) || !generate(large, 2, 1000000) || !generate(giant, 2, 3000000))
        return 1;
    out << "file: " << big << ", " << QFile(big).size() << " bytes" << Qt::endl;

    FbPickQcWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1400, 900);
    window.show();
    QApplication::processEvents();

    Probe probe;
    probe.start();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double idleGap = probe.stop();

    const double rssBefore = memoryMiB("VmRSS");
    double loadMs = 0.0;
    if (!load(window, big, &probe, &loadMs)) {
        out << "the window could not load " << big << Qt::endl;
        return 1;
    }
    const double busyGap = probe.longestMs;
    const double busyGapAt = probe.longestAtMs;
    const double peak = memoryMiB("VmHWM");
    const int shots = window.data()->report.index().size();

    QVector<int> spread;
    for (int k = 0; k < 41; ++k)
        spread << int((qint64(k) * 7919 + 13) % shots);
    double small = 0.0, smallBare = 0.0;
    if (all)
        shotSwitch(window, spread, &small, &smallBare);

    // Another colouring, as the user chooses it: the values made, the
    // sources drawn again.
    auto *map = window.findChild<SurveyMap *>(QStringLiteral("surveyMap"));
    auto *colourBy = window.findChild<QComboBox *>(QStringLiteral("mapColorBy"));
    std::vector<double> full, highlight;
    for (int k = 0; all && k < 15; ++k) {
        full.push_back(timeMs([&] {
            colourBy->setCurrentIndex(k % 2 ? 2 : 0); // picks, outliers
            map->canvas()->repaint();
        }));
        highlight.push_back(timeMs([&] {
            map->setCurrentShot(spread.at(k), {});
            map->canvas()->repaint();
        }));
    }
    const QSize canvasSize = map->canvas()->size();
    QVector<QPointF> points;
    const QcData *data = window.data();
    for (int k = 0; k < data->report.shots().size(); ++k)
        points.append(QPointF(data->report.shots().source(k).x, data->report.shots().source(k).y));
    for (const SurveyPoint &p : data->map.receivers())
        points.append(p.toPointF());
    const int receivers = data->map.receivers().size();
    std::vector<double> bareDraw;
    for (int k = 0; all && k < 15; ++k) {
        bareDraw.push_back(timeMs([&] {
            QImage image(canvasSize, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            const QRectF box = QPolygonF(points).boundingRect();
            painter.setPen(QPen(Qt::black, 2));
            painter.setWindow(box.toRect());
            painter.drawPoints(points.constData(), points.size());
        }));
    }

    // Judging again with another outlier threshold, above the floor the
    // pass kept: the window against a bare rejudge of a copy of the report.
    std::vector<double> rejudges, rejudgeGaps, bareRejudges;
    for (int k = 0; k < 5; ++k) {
        const double ms = k % 2 ? 8.0 : 6.0;
        probe.start();
        rejudges.push_back(setThreshold(window, "outlierMsSpin", ms));
        rejudgeGaps.push_back(probe.stop());
        const FbQc::Report &shown = window.data()->report;
        FbQc::Report copy;
        QString error;
        const double other = k % 2 ? 6.0 : 8.0;
        bareRejudges.push_back(timeMs([&] {
            QcLoader::copyForRejudging(shown, other, shown.settings.reciprocityMs, &copy, &error);
            FbQc::rejudge(&copy, other, shown.settings.reciprocityMs);
        }));
    }
    if (window.data()->report.settings.outlierMs != 8.0)
        setThreshold(window, "outlierMsSpin", 8.0);

    // Cancel in the middle of a load, then open the next file at once:
    // nothing waits for the cancelled worker.
    std::vector<double> cancelStops;
    for (int k = 0; all && k < 5; ++k) {
        window.openFile(big);
        QEventLoop running;
        QTimer::singleShot(300 + 150 * k, &running, &QEventLoop::quit);
        running.exec();
        window.cancelLoading();
        cancelStops.push_back(timeMs([&] { window.openFile(wide); }));
        window.cancelLoading();
    }

    // Large shots: reading and fitting them is the worker's; the UI thread
    // only takes the result.
    double wideLoad = 0.0;
    if (!load(window, wide, nullptr, &wideLoad)) {
        out << "the window could not load " << wide << Qt::endl;
        return 1;
    }
    double wideMove = 0.0, wideBare = 0.0;
    if (all)
        shotSwitch(window, {1, 2, 3, 0, 1, 2, 3}, &wideMove, &wideBare);
    double largeLoad = 0.0;
    if (!load(window, large, nullptr, &largeLoad)) {
        out << "the window could not load " << large << Qt::endl;
        return 1;
    }
    std::vector<double> largeGaps;
    for (int k = 0; k < 3; ++k)
        largeGaps.push_back(gapMovingTo(window, 1 - window.currentShot(), &probe));
    double largeViewGap = 0.0, largeEditGap = 0.0;
    viewAndEditGaps(window, &probe, &largeViewGap, &largeEditGap);
    // The next file arrives while the 1,000,000-pick shot is shown: its
    // settings reach the plot before its first shot does.
    double giantLoad = 0.0;
    if (!load(window, giant, &probe, &giantLoad)) {
        out << "the window could not load " << giant << Qt::endl;
        return 1;
    }
    const double overLargeGap = probe.longestMs;
    std::vector<double> giantGaps;
    for (int k = 0; k < 3; ++k)
        giantGaps.push_back(gapMovingTo(window, 1 - window.currentShot(), &probe));

    // Opening another file while a cancelled load fits a 1,000,000-pick
    // shot, and closing a window right after Cancel.
    std::vector<double> openDuringFit, closeAfterCancel;
    for (int k = 0; all && k < 3; ++k) {
        window.openFile(large);
        QEventLoop fitting;
        QTimer::singleShot(400, &fitting, &QEventLoop::quit);
        fitting.exec();
        openDuringFit.push_back(timeMs([&] { window.openFile(wide); }));
        window.cancelLoading();

        auto *closing = new FbPickQcWindow;
        closing->show();
        closing->openFile(large);
        QEventLoop started;
        QTimer::singleShot(400, &started, &QEventLoop::quit);
        started.exec();
        closeAfterCancel.push_back(timeMs([&] {
            closing->cancelLoading();
            delete closing;
        }));
    }

    // Millions of problems: the large file judged at 0.4 ms, read again
    // since that is below the floor the pass keeps.
    // Opened again over the giant file: the long shot list replaces a short one.
    double reloadMs = 0.0;
    if (!load(window, big, &probe, &reloadMs))
        return 1;
    const double reloadGap = probe.longestMs;
    const double maxLarge = *std::max_element(largeGaps.begin(), largeGaps.end());
    const double maxGiant = *std::max_element(giantGaps.begin(), giantGaps.end());
    const double maxRejudgeGap = *std::max_element(rejudgeGaps.begin(), rejudgeGaps.end());
    auto row = [](const QString &name, double value, double base, const QString &goal) {
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(name, -52)
                   .arg(value, 10, 'f', 2)
                   .arg(base, 10, 'f', 2)
                   .arg(base > 0 ? value / base : 0.0, 7, 'f', 2)
                   .arg(goal, 9)
            << Qt::endl;
    };
    auto gapRows = [&] {
        row(QStringLiteral("longest UI gap during QC, ms (idle probe)"), busyGap, idleGap, QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, the file opened again, ms (idle)"), reloadGap, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, 1,000,000-pick shot, ms (idle)"), maxLarge, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, residuals of that shot, ms (idle)"), largeViewGap, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, a pick of it retimed, ms (idle)"), largeEditGap, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, a file over that shot, ms (idle)"), overLargeGap, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap, 3,000,000-pick shot, ms (idle)"), maxGiant, idleGap,
            QStringLiteral("< 100"));
        row(QStringLiteral("longest UI gap judging again, ms (idle probe)"), maxRejudgeGap, idleGap,
            QStringLiteral("< 100"));
    };
    if (!all) {
        out << Qt::endl << QStringLiteral("%1 shots").arg(shots) << Qt::endl;
        gapRows();
        return 0;
    }
    const double manyMs = setThreshold(window, "outlierMsSpin", 0.4);
    const qint64 problemCount = window.data()->problems->size();
    auto *problems = window.findChild<QTreeView *>(QStringLiteral("problemView"));
    auto *model = qobject_cast<ProblemModel *>(problems->model());
    std::vector<double> sortGaps, sortTimes;
    for (int k = 0; k < 4; ++k) {
        probe.start();
        sortTimes.push_back(timeMs([&] {
            // As a click on the column title does.
            problems->header()->setSortIndicator(k % 2 ? ProblemModel::OutliersColumn : ProblemModel::TimingColumn,
                                                 Qt::DescendingOrder);
            BenchTiming::waitFor(model, &ProblemModel::sorted);
        }));
        sortGaps.push_back(probe.stop());
    }
    auto *kinds = window.findChild<QComboBox *>(QStringLiteral("problemKindFilter"));
    std::vector<double> filters;
    for (int k = 0; k < 6; ++k)
        filters.push_back(
            timeMs([&] { kinds->setCurrentIndex(k % 2 ? kinds->findData(int(FbQc::Kind::Outlier)) : 0); }));

    out << Qt::endl
        << QStringLiteral("%1 shots, %2 distinct receivers; loaded and judged in %3 s")
               .arg(shots)
               .arg(receivers)
               .arg(loadMs / 1000.0, 0, 'f', 1)
        << Qt::endl;
    out << QStringLiteral("the longest UI gap ended %1 s into the load").arg(busyGapAt / 1000.0, 0, 'f', 2) << Qt::endl;
    out << QStringLiteral("judged again at 0.4 ms (read again) in %1 s: %L2 problems")
               .arg(manyMs / 1000.0, 0, 'f', 1)
               .arg(problemCount)
        << Qt::endl;
    out << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4 %5")
               .arg(QStringLiteral("measure"), -52)
               .arg(QStringLiteral("window"), 10)
               .arg(QStringLiteral("baseline"), 10)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("goal"), 9)
        << Qt::endl;
    const double maxSortGap = *std::max_element(sortGaps.begin(), sortGaps.end());
    gapRows();
    row(QStringLiteral("move to a 240-pick shot, ms (read+fit)"), small, smallBare, QStringLiteral("< 5"));
    row(QStringLiteral("move to a 50,000-pick shot, ms (read+fit)"), wideMove, wideBare, QStringLiteral("< 60"));
    row(QStringLiteral("judge again at another threshold, ms (rejudge)"), median(rejudges), median(bareRejudges),
        QStringLiteral("<= 500"));
    row(QStringLiteral("map full redraw, ms (bare drawPoints)"), median(full), median(bareDraw),
        QStringLiteral("< 100"));
    row(QStringLiteral("map highlight move, ms (bare drawPoints)"), median(highlight), median(bareDraw),
        QStringLiteral("< 100"));
    row(QStringLiteral("open a file after Cancel, ms (idle probe)"), median(cancelStops), idleGap,
        QStringLiteral("< 100"));
    row(QStringLiteral("open a file during a large shot's fit, ms (idle)"), median(openDuringFit), idleGap,
        QStringLiteral("< 100"));
    row(QStringLiteral("close right after Cancel, ms (idle probe)"), median(closeAfterCancel), idleGap,
        QStringLiteral("< 100"));
    row(QStringLiteral("sort %L1 problems by a column, ms (UI gap)").arg(problemCount), median(sortTimes), maxSortGap,
        QString());
    row(QStringLiteral("longest UI gap sorting them, ms (idle probe)"), maxSortGap, idleGap, QStringLiteral("< 100"));
    row(QStringLiteral("filter them by kind, ms (idle probe)"), median(filters), idleGap, QStringLiteral("< 100"));
    row(QStringLiteral("peak memory, MiB (RSS before load)"), peak, rssBefore, QString());
    return 0;
}
