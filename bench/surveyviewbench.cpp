// Benchmark of the survey-wide views, each beside a baseline measured in the
// same run:
//  - a full redraw of the receiver view of 1 and 4 million receivers on 100
//    receiver lines, beside a bare pixels() of as many points into an
//    image of the same size;
//  - the station axis of 12.7 million one-pick shots (what the QC window's
//    loader adds), beside the survey map's data of the same report;
//  - the residuals of 2,000 shots x 240 picks read and fitted (what the
//    worker does for the residual image), beside reading the same records
//    and fitting the same shots one after the other;
//  - the window's share when those residuals arrive (the image shown), and
//    a full redraw of the image of reciprocal differences of 53,000 shots
//    with 119 partners each (6.3 million pairs, 12.6 million cells), beside
//    bare pixels() of as many points.
// Medians of repeated runs, on the offscreen platform unless told otherwise.
//
//   QT_QPA_PLATFORM=offscreen build/bin/surveyviewbench

#include "benchtiming.h"
#include <fbfile/fbgenerator.h>
#include <fbqc/pickqc.h>
#include <fbview/qcmapvalues.h>
#include <fbfile/shotrecords.h>
#include <fbview/stationaxis.h>
#include <fbview/stationresidualview.h>
#include <fbview/stationshotbuilder.h>
#include <fbview/stationshotview.h>

#include <qwt_plot_canvas.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

using BenchTiming::median;

namespace {

QTextStream out(stdout);

double medianMs(int runs, const std::function<void()> &f)
{
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// n points of double coordinates, each scaled to its pixel of an image of
// size and set there: the least any drawing of n points costs.
double barePointsMs(int n, const QSize &size)
{
    std::mt19937 random(5);
    const size_t count = size_t(n);
    std::vector<QPointF> points(count);
    for (QPointF &p : points)
        p = QPointF(double(random() % 100000), double(random() % 100000));
    return medianMs(5, [&] {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        auto *bits = reinterpret_cast<QRgb *>(image.bits());
        const double ax = size.width() / 100000.0, ay = size.height() / 100000.0;
        for (const QPointF &p : points)
            bits[int(p.y() * ay) * size.width() + int(p.x() * ax)] = 0xff000000u;
    });
}

// A report of `receivers` receivers on 100 lines (mean and rms drawn at
// random, one in a thousand off by 5 ms) and `shots` shots, one per
// receiver station in turn.
FbQc::Report syntheticReport(int receivers, int shots)
{
    FbQc::Report report;
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 0.5f);
    const int perLine = receivers / 100;
    QVector<FbQc::StationResidual> stations;
    stations.reserve(receivers);
    for (int k = 0; k < receivers; ++k) {
        FbQc::StationResidual r;
        r.line = 1 + k / perLine;
        r.stat = 1000 + k % perLine;
        r.x = 25.0f * (k % perLine);
        r.y = 400.0f * (k / perLine);
        r.picks = 60;
        r.meanResidual = noise(random) + (k % 1000 == 0 ? 5.0f : 0.0f);
        r.rmsResidual = std::abs(r.meanResidual) + 0.5f;
        stations.append(r);
    }
    report.setStations(std::move(stations));
    report.reserveShots(shots);
    for (int s = 0; s < shots; ++s) {
        FbQc::ShotSummary summary;
        const int k = s % receivers;
        summary.sLine = 1 + k / perLine;
        summary.sStat = 1000 + k % perLine;
        summary.sourceX = 25.0f * (k % perLine);
        summary.sourceY = 400.0f * (k / perLine);
        report.appendShot(summary);
    }
    return report;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QSize size(1200, 800);

    out << "Receiver view, full redraw at " << size.width() << "x" << size.height() << Qt::endl;
    for (const int receivers : {1000000, 4000000}) {
        const StationAxis axis = StationAxis::build(syntheticReport(receivers, 1));
        StationResidualView view;
        view.resize(size);
        view.show();
        view.setAxis(axis);
        view.setThreshold(4.0);
        const QSize canvas = view.canvas()->size();
        const double drawMs = medianMs(5, [&] {
            view.setThreshold(4.0); // drops what is kept on screen
            view.canvas()->grab();
        });
        const double bareMs = barePointsMs(receivers, canvas);
        out << "  " << receivers << " receivers: " << drawMs << " ms; bare pixels " << bareMs << " ms; ratio "
            << drawMs / bareMs << Qt::endl;
    }

    {
        const FbQc::Report report = syntheticReport(1000000, 12700000);
        const double axisMs = medianMs(3, [&] { StationAxis::build(report); });
        const double mapMs = medianMs(3, [&] { QcMapValues::survey(report); });
        out << "Station axis of 12,700,000 shots and 1,000,000 receivers: " << axisMs << " ms; the map's data " << mapMs
            << " ms; ratio " << axisMs / mapMs << Qt::endl;
    }

    QTemporaryDir tmp;
    const QString file = tmp.filePath(QStringLiteral("survey.fb"));
    FbGenerator::Options options;
    options.shots = 2000;
    options.channels = 240;
    options.seed = 11;
    FbGenerator::FileWriter writer(options);
    if (!writer.write(file)) {
        out << "cannot write " << file << ": " << writer.errorString() << Qt::endl;
        return 1;
    }
    FbQc::Settings settings;
    settings.collectReceivers = true;
    FbQc::Report report;
    if (!FbQc::Analyzer(file, settings).run(&report)) {
        out << "cannot judge " << file << Qt::endl;
        return 1;
    }
    const StationAxis axis = StationAxis::build(report);
    const int last = report.index().size() - 1;
    StationShotCells cells;
    const double buildMs =
        medianMs(5, [&] { cells = StationShotBuilder::build(file, report.index(), axis, settings, 0, last); });
    QVector<QVector<FbRecord>> shots;
    const double readMs = medianMs(5, [&] {
        const QVector<FbRecord> all = readShotRecords(file, 0, report.index().last().lastRecord);
        Q_UNUSED(all);
    });
    for (const ShotIndexEntry &e : qAsConst(report.index()))
        shots.append(readShotRecords(file, e.firstRecord, e.lastRecord));
    const double fitMs = medianMs(5, [&] {
        for (const QVector<FbRecord> &records : qAsConst(shots))
            FbQc::fitShot(records, settings);
    });
    out << "Residuals of 2,000 shots x 240 picks (" << cells.cells.size() << " cells): " << buildMs
        << " ms; reading them " << readMs << " ms and fitting them " << fitMs << " ms; ratio "
        << buildMs / (readMs + fitMs) << Qt::endl;

    StationShotView image;
    image.resize(size);
    image.show();
    image.setSurvey(axis, report.index());
    image.setKind(StationShotView::Residuals);
    const double arriveMs = medianMs(5, [&] {
        image.setResidualCells(cells);
        image.canvas()->grab();
    });
    out << "The residual image shown when its cells arrive: " << arriveMs << " ms" << Qt::endl;

    {
        // One line of 53,000 sources a station apart, each with the 119
        // after it as partners.
        constexpr int Shots = 53000, Partners = 119;
        FbQc::Report big;
        QVector<FbQc::StationResidual> stations;
        for (int k = 0; k < Shots + 240; ++k)
            stations.append(FbQc::StationResidual{1, k, 25.0f * k, 0.0f, 60, 0.0f, 0.5f});
        big.setStations(std::move(stations));
        QVector<FbQc::ReciprocalPair> pairs;
        std::mt19937 random(9);
        std::normal_distribution<float> noise(0.0f, 1.0f);
        for (int s = 0; s < Shots; ++s) {
            FbQc::ShotSummary summary;
            summary.sLine = 1;
            summary.sStat = s + 120;
            summary.sourceX = 25.0f * (s + 120);
            big.appendShot(summary);
            for (int b = s + 1; b <= s + Partners && b < Shots; ++b)
                pairs.append(FbQc::ReciprocalPair{s, b, 100.0f + noise(random), 100.0f});
        }
        big.setPairs(std::move(pairs));
        QVector<ShotIndexEntry> index(Shots);
        for (int s = 0; s < Shots; ++s)
            index[s] = ShotIndexEntry{1001 + s, 240 * s, 240 * s + 239};
        StationShotView differences;
        differences.resize(size);
        differences.show();
        differences.setSurvey(StationAxis::build(big), index);
        const double drawMs = medianMs(5, [&] {
            differences.setDifferences(big); // drops what is kept on screen
            differences.canvas()->grab();
        });
        const double bareMs = barePointsMs(2 * big.pairs().size(), differences.canvas()->size());
        out << "Reciprocal differences of " << Shots << " shots (" << big.pairs().size()
            << " pairs), full redraw: " << drawMs << " ms; bare pixels " << bareMs << " ms; ratio " << drawMs / bareMs
            << Qt::endl;
    }
    return 0;
}
