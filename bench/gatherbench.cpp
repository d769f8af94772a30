// Benchmark of the gather view on one shot of 240 traces x 4,000 samples
// (0.5 ms, two seconds), each beside a baseline measured in the same run:
//  - the scaling a worker thread does when a shot arrives (plain, and with
//    AGC), beside a copy of the same samples, and the time from setShot()
//    to the shot painted, with the UI thread's share of it;
//  - a redraw on the UI thread after a pan, for each display, at two
//    window sizes, showing all two seconds (every sample drawn), beside the
//    renderer's image alone and a bare QPainter::drawImage of it.
// Medians of repeated runs, on the offscreen platform unless told otherwise;
// the redraws also as the UI thread's CPU time, which other work on the
// machine does not inflate.
//
// With --switch, instead: the QC window on a generated line of 4,167 shots
// x 240 channels (1,000,080 picks) with its SEG-Y traces (1,000,080 traces
// of 500 samples, 2 ms) open, Page Down pressed shot after shot; the time
// from the key press until the traces panel has the next shot's gather
// painted, beside reading the same shot from the data set alone. The files
// go to a temporary folder (about 2.3 GB) and are removed at the end.
//
//   QT_QPA_PLATFORM=offscreen build/bin/gatherbench
//   QT_QPA_PLATFORM=offscreen build/bin/gatherbench --switch [--shots N]

#include "benchtiming.h"
#include <fbfile/fbgenerator.h>
#include "fbpickqcwindow.h"
#include <fbview/gatherrenderer.h>
#include <fbview/gatherview.h>
#include <fbqc/pickqc.h>
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracegenerator.h>
#include "tracespanel.h"
#include <fbtrace/tracesynth.h>

#include <qwt_plot_canvas.h>
#include <qwt_scale_div.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <ctime>
#include <functional>
#include <vector>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

using BenchTiming::median;

namespace {

QTextStream out(stdout);

constexpr int Traces = 240;
constexpr int Samples = 4000;
constexpr double IntervalMs = 0.5;
constexpr int Runs = 21;

double medianMs(int runs, const std::function<void()> &f)
{
    std::vector<double> times;
    for (int k = 0; k < runs; ++k)
        times.push_back(BenchTiming::timeMs(f));
    return median(times);
}

// The calling thread's CPU time in ms: on a machine shared with other work
// it says what the redraw costs when the wall clock also counts waiting.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double medianCpuMs(int runs, const std::function<void()> &f)
{
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
        const double start = threadCpuMs();
        f();
        times.push_back(threadCpuMs() - start);
    }
    return median(times);
}

// A split spread 10 m apart, first breaks of 1,800 m/s over the first
// 300 m and 3,200 m/s beyond, picked where they are.
void makeShot(ShotGather *gather, QVector<FbRecord> *records)
{
    gather->ffid = 1001;
    gather->sampleIntervalMs = IntervalMs;
    gather->samplesPerTrace = Samples;
    for (int c = 0; c < Traces; ++c) {
        const double offset = 10.0 * (c - Traces / 2) + 5.0;
        const double x = std::abs(offset);
        const double onset = 8.0 + std::min(x / 1.8, 110.0 + x / 3.2);
        TraceHeader h;
        h.ffid = gather->ffid;
        h.channel = c + 1;
        h.offset = offset;
        h.traceIndex = c;
        gather->headers.append(h);
        TraceSynthParams p;
        p.sampleIntervalMs = IntervalMs;
        p.samples = Samples;
        p.onsetMs = onset;
        p.amplitude = 1000.0 / (1.0 + x / 100.0);
        p.seed = 17 + c;
        gather->samples += synthesizeTrace(p);
        FbRecord r;
        r.ffid = gather->ffid;
        r.channel = c + 1;
        r.offset = qint32(offset);
        r.fb_time = float(onset);
        records->append(r);
    }
}

// Page Down in the QC window with a SEG-Y of a million traces open: from
// the key press to the next shot's gather painted in the traces panel.
int switchShots(int shots)
{
    QTemporaryDir dir;
    FbGenerator::Options line;
    line.shots = shots;
    line.channels = 240;
    line.seed = 11;
    TraceGenerator::Options options;
    options.sampleIntervalMs = 2.0;
    options.lengthMs = 1000;
    const QString fb = dir.filePath(QStringLiteral("line.fb"));
    const QString sgy = dir.filePath(QStringLiteral("line.sgy"));
    out << "writing " << shots << " shots x 240 picks and their traces ..." << Qt::endl;
    QElapsedTimer clock;
    clock.start();
    TraceGenerator::Writer writer;
    if (!dir.isValid() || !FbGenerator::FileWriter(line).write(fb) || !writer.write(line, options, sgy)) {
        out << "cannot write the line: " << writer.errorString() << Qt::endl;
        return 1;
    }
    out << QStringLiteral("written in %1 s: %2 MB of traces, %3 samples a trace\n")
               .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
               .arg(QFileInfo(sgy).size() / 1e6, 0, 'f', 0)
               .arg(writer.samplesPerTrace());

    FbPickQcWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1400, 900);
    window.show();
    window.openFile(fb);
    if (!BenchTiming::waitFor(&window, &FbPickQcWindow::shotShown)) {
        out << "the window showed no shot" << Qt::endl;
        return 1;
    }
    auto *panel = window.findChild<TracesPanel *>();
    clock.restart();
    panel->openTraces(sgy);
    while ((panel->tracesPath().isEmpty() || panel->isOpening()) && clock.elapsed() < 600000)
        BenchTiming::waitFor(panel, &TracesPanel::shotShown, 1000);
    out << QStringLiteral("traces indexed and matched in %1 s\n").arg(clock.elapsed() / 1000.0, 0, 'f', 1);

    TraceDataSet data;
    if (panel->tracesPath().isEmpty() || !data.open(sgy)) {
        out << "cannot open the traces: " << data.errorString() << Qt::endl;
        return 1;
    }
    GatherView *view = panel->view();
    std::vector<double> shown, read;
    const int presses = qMin(41, shots - 1);
    for (int k = 0; k < presses; ++k) {
        const int next = window.currentShot() + 1;
        // The reading alone, of a shot far from the ones pressed to.
        ShotGather gather;
        QString error;
        read.push_back(BenchTiming::timeMs([&] { data.readShot(shots - 1 - k, &gather, &error); }));
        clock.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
        QApplication::sendEvent(&window, &release);
        while (panel->shownShot() != next && clock.elapsed() < 60000)
            BenchTiming::waitFor(panel, &TracesPanel::shotShown, 1000);
        view->waitUntilReady();
        view->canvas()->repaint();
        shown.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::vector<double> sorted = shown;
    std::sort(sorted.begin(), sorted.end());
    out << QStringLiteral("Next shot (Page Down, %1 presses, %2 traces): gather painted %3 ms after the key press "
                          "(median; slowest %4 ms); the shot read alone %5 ms\n")
               .arg(presses)
               .arg(data.traceCount())
               .arg(median(shown), 0, 'f', 1)
               .arg(sorted.empty() ? 0.0 : sorted.back(), 0, 'f', 1)
               .arg(median(read), 0, 'f', 1);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.contains(QLatin1String("--switch"))) {
        const int at = args.indexOf(QLatin1String("--shots"));
        const int shots = at > 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : 4167;
        if (shots < 2) {
            out << "--shots: give 2 or more" << Qt::endl;
            return 2;
        }
        return switchShots(shots);
    }
    ShotGather gather;
    QVector<FbRecord> records;
    makeShot(&gather, &records);
    out << "One shot: " << Traces << " traces x " << Samples << " samples (" << IntervalMs << " ms)\n";

    GatherRenderer::Scaling plain, agc;
    agc.agcWindowMs = 200;
    QVector<float> copy;
    const double copyMs =
        medianMs(Runs, [&] { copy = QVector<float>(gather.samples.cbegin(), gather.samples.cend()); });
    const double plainMs = medianMs(Runs, [&] { GatherRenderer::prepare(gather, plain); });
    const double agcMs = medianMs(Runs, [&] { GatherRenderer::prepare(gather, agc); });
    out << QStringLiteral("Scaling (worker thread): plain %1 ms, AGC 200 ms %2 ms; copy of the samples %3 ms\n")
               .arg(plainMs, 0, 'f', 2)
               .arg(agcMs, 0, 'f', 2)
               .arg(copyMs, 0, 'f', 2);
    out.flush();

    const FbQc::ShotFit fit = FbQc::fitShot(records);

    // A new shot: setShot() on the UI thread, the scaling on the worker,
    // then the first paint with the traces.
    for (const auto &[scaling, name] : {std::pair{plain, "plain"}, std::pair{agc, "AGC 200 ms"}}) {
        GatherView view;
        view.resize(1200, 800);
        view.show();
        view.setScaling(scaling);
        QApplication::processEvents();
        std::vector<double> total, ui;
        for (int k = 0; k < Runs; ++k) {
            QEventLoop loop;
            const auto done = QObject::connect(&view, &GatherView::ready, &loop, &QEventLoop::quit);
            QElapsedTimer clock;
            clock.start();
            // The UI thread's CPU time, its waits for the worker left out.
            const double cpuStart = threadCpuMs();
            view.setShot(gather, records, fit);
            loop.exec();
            view.canvas()->repaint();
            const double uiMs = threadCpuMs() - cpuStart;
            total.push_back(clock.nsecsElapsed() / 1e6);
            ui.push_back(uiMs);
            QObject::disconnect(done);
        }
        out << QStringLiteral("A new shot (%1): shown %2 ms after setShot(), the UI thread's CPU %3 ms\n")
                   .arg(QLatin1String(name))
                   .arg(median(total), 0, 'f', 2)
                   .arg(median(ui), 0, 'f', 2);
        out.flush();
    }
    const struct
    {
        GatherRenderer::Display display;
        const char *name;
    } displays[] = {
        {GatherRenderer::Display::Wiggle, "wiggle"},
        {GatherRenderer::Display::VariableArea, "variable area"},
        {GatherRenderer::Display::DensityGrey, "density (grey)"},
        {GatherRenderer::Display::DensityRedBlue, "density (red-white-blue)"},
    };
    for (const QSize window : {QSize(1200, 800), QSize(800, 600)}) {
        GatherView view;
        view.resize(window);
        view.show();
        view.setShot(gather, records, fit);
        view.waitUntilReady();
        view.setTimeWindow(0, Samples * IntervalMs);
        QApplication::processEvents();
        const QSize canvas = view.canvas()->size();
        out << QStringLiteral("Window %1x%2 (canvas %3x%4), all %5 ms shown:\n")
                   .arg(window.width())
                   .arg(window.height())
                   .arg(canvas.width())
                   .arg(canvas.height())
                   .arg(Samples * IntervalMs);
        for (const auto &d : displays) {
            view.setDisplay(d.display);
            // A pan of one pixel each way in turn: the traces are drawn anew.
            int step = 0;
            const auto pan = [&] {
                const QwtScaleDiv div = view.axisScaleDiv(QwtPlot::xBottom);
                const double shift = (div.upperBound() - div.lowerBound()) / canvas.width() * (step++ % 2 ? -1 : 1);
                view.setAxisScale(QwtPlot::xBottom, div.lowerBound() + shift, div.upperBound() + shift);
                view.replot();
                view.canvas()->repaint();
            };
            const double redrawMs = medianMs(Runs, pan);
            const double redrawCpuMs = medianCpuMs(Runs, pan);
            const QwtScaleDiv xs = view.axisScaleDiv(QwtPlot::xBottom), ts = view.axisScaleDiv(QwtPlot::yLeft);
            GatherRenderer::Viewport viewport;
            viewport.x1 = xs.lowerBound(), viewport.x2 = xs.upperBound();
            viewport.t1 = ts.upperBound(), viewport.t2 = ts.lowerBound();
            viewport.display = d.display;
            viewport.pixels = canvas;
            const GatherRenderer::GatherDisplay shown = GatherRenderer::prepare(gather, plain);
            QImage image;
            const double imageMs = medianMs(Runs, [&] { image = GatherRenderer::draw(shown, viewport); });
            QImage target(canvas, QImage::Format_ARGB32_Premultiplied);
            const double blitMs = medianMs(Runs, [&] {
                QPainter painter(&target);
                painter.drawImage(0, 0, image);
            });
            out << QStringLiteral("  %1: redraw after a pan %2 ms (UI thread; %3 ms of its CPU); its image alone "
                                  "%4 ms, a bare drawImage %5 ms\n")
                       .arg(QLatin1String(d.name), -26)
                       .arg(redrawMs, 0, 'f', 2)
                       .arg(redrawCpuMs, 0, 'f', 2)
                       .arg(imageMs, 0, 'f', 2)
                       .arg(blitMs, 0, 'f', 2);
            out.flush();
        }
    }
    return 0;
}
