// Benchmark of the pick QC window. On a generated file of about 1 GB
// (53,000 shots x 240 picks, written to a temporary folder unless FILE is
// given) and on a small file of 50,000-pick shots, it prints:
//  - the longest gap between two ticks of a 10 ms probe timer on the UI
//    thread while the file loads and is judged, beside the same probe idle;
//  - the time to move to another shot, table and plot painted, for 240- and
//    50,000-pick shots, beside reading and fitting the same shot alone;
//  - a full redraw of the survey map, and a move of its highlight, beside a
//    bare drawPoints() of the same points into an image;
//  - how long a worker cancelled in mid-load takes to stop, and a sort of
//    the whole problem list;
//  - the resident memory before the load and the peak after it.
// Medians of repeated runs. Runs on the offscreen platform unless told
// otherwise.
//
//   QT_QPA_PLATFORM=offscreen build/bin/qcwindowbench [FILE]

#include "fbgenerator.h"
#include "fbpickqcwindow.h"
#include "pickqc.h"
#include "shotrecords.h"
#include "surveymap.h"
#include "problemmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double timeMs(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

// VmRSS or VmHWM of this process, in MiB.
double memoryMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}

// Measures the longest gap between ticks of a 10 ms timer while the event
// loop runs until `done` fires (or for idleMs when done is null).
struct Probe
{
    double longestMs = 0.0;
    double longestAtMs = 0.0;     // when the longest gap ended, from start()
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0;

    Probe()
    {
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            if ((now - last) / 1e6 > longestMs) {
                longestMs = (now - last) / 1e6;
                longestAtMs = now / 1e6;
            }
            last = now;
        });
    }
    void start()
    {
        longestMs = 0.0;
        clock.start();
        last = 0;
        timer.start();
    }
};

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
    QEventLoop loop;
    bool ok = false;
    const auto connection = QObject::connect(&window, &FbPickQcWindow::loadFinished, [&](bool result) {
        ok = result;
        loop.quit();
    });
    QElapsedTimer t;
    t.start();
    if (probe)
        probe->start();
    window.openFile(fileName);
    loop.exec();
    if (probe) {
        // The window's own work on the result ends the load; the probe's
        // next tick measures that stretch too.
        QEventLoop after;
        QTimer::singleShot(50, &after, &QEventLoop::quit);
        after.exec();
        probe->timer.stop();
    }
    *elapsedMs = t.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    return ok;
}

// The median time to move to each of `shots` in turn, painting included,
// and the median of reading and fitting the same shots without the window.
void shotSwitch(FbPickQcWindow &window, const QVector<int> &shots, double *windowMs, double *bareMs)
{
    std::vector<double> moves, bare;
    const QcData *data = window.data();
    for (const int shot : shots) {
        moves.push_back(timeMs([&] {
            window.goToShot(shot);
            QApplication::processEvents();
        }));
        const ShotIndexEntry &e = data->report.index.at(shot);
        bare.push_back(timeMs([&] {
            const QVector<FbRecord> records = readShotRecords(data->fileName, e.firstRecord, e.lastRecord);
            const PickQc::ShotFit fit = PickQc::fitShot(records, data->report.settings);
            Q_UNUSED(fit);
        }));
    }
    *windowMs = median(moves);
    *bareMs = median(bare);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    QString big = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.filePath(QStringLiteral("survey.fb"));
    const QString wide = tmp.filePath(QStringLiteral("wide.fb"));
    if (argc <= 1) {
        out << "writing " << big << " (53,000 shots x 240 picks)..." << Qt::endl;
        if (!generate(big, 53000, 240))
            return 1;
    }
    if (!generate(wide, 4, 50000))
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
    probe.timer.stop();
    const double idleGap = probe.longestMs;

    const double rssBefore = memoryMiB("VmRSS:");
    double loadMs = 0.0;
    if (!load(window, big, &probe, &loadMs)) {
        out << "the window could not load " << big << Qt::endl;
        return 1;
    }
    const double busyGap = probe.longestMs;
    const double busyGapAt = probe.longestAtMs;
    QApplication::processEvents();
    const double peak = memoryMiB("VmHWM:");
    const int shots = window.data()->report.index.size();

    QVector<int> spread;
    for (int k = 0; k < 41; ++k)
        spread << int((qint64(k) * 7919 + 13) % shots);
    double small = 0.0, smallBare = 0.0;
    shotSwitch(window, spread, &small, &smallBare);

    // Sorting the whole problem list by value is the user's own request,
    // and the one long step left on the UI thread.
    auto *problems = window.findChild<QTableView *>(QStringLiteral("problemView"));
    const qint64 problemCount = window.data()->problems.size();
    // As a click on the column title does (sortByColumn() would sort twice).
    QHeaderView *titles = problems->horizontalHeader();
    const double sortMs = timeMs([&] { titles->setSortIndicator(ProblemModel::ValueColumn, Qt::AscendingOrder); });
    titles->setSortIndicator(-1, Qt::AscendingOrder);

    // Another colouring, as the user chooses it: the values made, the
    // sources drawn again.
    auto *map = window.findChild<SurveyMap *>(QStringLiteral("surveyMap"));
    auto *colourBy = window.findChild<QComboBox *>(QStringLiteral("mapColorBy"));
    std::vector<double> full, highlight;
    for (int k = 0; k < 15; ++k) {
        full.push_back(timeMs([&] {
            colourBy->setCurrentIndex(k % 2 ? 2 : 0);    // picks, outliers
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
    for (int k = 0; k < data->report.shots.size(); ++k)
        points.append(QPointF(data->report.shots.source(k).x, data->report.shots.source(k).y));
    for (const SurveyPoint &p : data->map.receivers())
        points.append(p.toPointF());
    const int receivers = data->map.receivers().size();
    std::vector<double> bareDraw;
    for (int k = 0; k < 15; ++k) {
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

    // Cancel in the middle of a load, then open the next file at once: the
    // open waits for the cancelled worker to stop.
    std::vector<double> cancelStops;
    for (int k = 0; k < 5; ++k) {
        window.openFile(big);
        QEventLoop running;
        QTimer::singleShot(300 + 150 * k, &running, &QEventLoop::quit);
        running.exec();
        window.cancelLoading();
        cancelStops.push_back(timeMs([&] { window.openFile(wide); }));
        window.cancelLoading();
    }

    double wideLoad = 0.0;
    if (!load(window, wide, nullptr, &wideLoad)) {
        out << "the window could not load " << wide << Qt::endl;
        return 1;
    }
    double large = 0.0, largeBare = 0.0;
    shotSwitch(window, {1, 2, 3, 0, 1, 2, 3}, &large, &largeBare);

    out << Qt::endl << QStringLiteral("%1 shots, %2 distinct receivers; loaded and judged in %3 s")
                           .arg(shots).arg(receivers).arg(loadMs / 1000.0, 0, 'f', 1)
        << Qt::endl;
    out << QStringLiteral("the longest UI gap ended %1 s into the load").arg(busyGapAt / 1000.0, 0, 'f', 2) << Qt::endl;
    out << Qt::endl;
    out << QStringLiteral("%1 %2 %3 %4 %5").arg(QStringLiteral("measure"), -44).arg(QStringLiteral("window"), 10)
               .arg(QStringLiteral("baseline"), 10).arg(QStringLiteral("ratio"), 7).arg(QStringLiteral("goal"), 9)
        << Qt::endl;
    auto row = [](const QString &name, double value, double base, const QString &goal) {
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(name, -44)
                   .arg(value, 10, 'f', 2)
                   .arg(base, 10, 'f', 2)
                   .arg(base > 0 ? value / base : 0.0, 7, 'f', 2)
                   .arg(goal, 9)
            << Qt::endl;
    };
    row(QStringLiteral("longest UI gap during QC, ms (idle probe)"), busyGap, idleGap, QStringLiteral("< 100"));
    row(QStringLiteral("move to a 240-pick shot, ms (read+fit)"), small, smallBare, QStringLiteral("< 5"));
    row(QStringLiteral("move to a 50,000-pick shot, ms (read+fit)"), large, largeBare, QStringLiteral("< 30"));
    row(QStringLiteral("map full redraw, ms (bare drawPoints)"), median(full), median(bareDraw), QStringLiteral("< 100"));
    row(QStringLiteral("map highlight move, ms (bare drawPoints)"), median(highlight), median(bareDraw),
        QStringLiteral("< 100"));
    row(QStringLiteral("cancelled worker stops, ms (idle probe)"), median(cancelStops), idleGap, QStringLiteral("< 100"));
    row(QStringLiteral("sort %L1 problems by value, ms").arg(problemCount), sortMs, 0.0, QString());
    row(QStringLiteral("peak memory, MiB (RSS before load)"), peak, rssBefore, QString());
    return 0;
}
