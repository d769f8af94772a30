// A shot's traces as the gather view shows them: the scaled values, the
// traces' order across the picture, the pixels of each display, the view as
// a user meets it (readout, clicks, selection, messages, export), and
// fbtool traces drawing a generated line's shot or refusing its options.

#include <fbfile/fbgenerator.h>
#include <fbfile/fblayout.h>
#include <fbview/gatherpanel.h>
#include <fbview/gatherrenderer.h>
#include <fbview/gatherview.h>
#include <fbview/imageexport.h>
#include <fbview/statuscolors.h>
#include <fbtrace/tracegenerator.h>
#include "fbtestfile.h"
#include "fbtoolrun.h"
#include "shownwidget.h"

#include <qwt_plot_canvas.h>
#include <qwt_text.h>
#include <qwt_scale_div.h>
#include <qwt_scale_map.h>

#include <QtTest>
#include <QtWidgets>

#include <cmath>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

using namespace GatherRenderer;

namespace {

// A gather of traces given sample by sample, 1 ms apart from time 0.
ShotGather gatherOf(const QVector<QVector<double>> &traces, const QVector<int> &channels = {},
                    const QVector<double> &offsets = {})
{
    ShotGather g;
    g.ffid = 7;
    g.sampleIntervalMs = 1;
    g.samplesPerTrace = traces.isEmpty() ? 0 : traces.first().size();
    for (int i = 0; i < traces.size(); ++i) {
        TraceHeader h;
        h.ffid = g.ffid;
        h.channel = channels.value(i, i + 1);
        h.offset = offsets.value(i, 10.0 * i);
        h.traceIndex = i;
        g.headers.append(h);
        for (double v : traces.at(i))
            g.samples.append(float(v));
    }
    return g;
}

QVector<double> scaledOf(const GatherDisplay &d)
{
    QVector<double> values;
    for (float v : d.scaled)
        values.append(v);
    return values;
}

// Four traces of 200 samples, 20 m apart on both sides of the source, each
// sample k of trace i worth 1000 i + k; picks on channels 1, 2 and 4 (no
// trace on channel 9), the pick of channel 4 unused.
ShotGather rampGather()
{
    QVector<QVector<double>> traces(4, QVector<double>(200));
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 200; ++k)
            traces[i][k] = 1000 * i + k;
    }
    return gatherOf(traces, {1, 2, 3, 4}, {-30, -10, 10, 30});
}

QVector<FbRecord> rampPicks()
{
    QVector<FbRecord> records;
    for (auto [channel, offset, time, status] :
         {std::tuple{1, -30, 60.0f, 0}, {2, -10, 42.0f, 1}, {9, 50, 80.0f, 0}, {4, 30, 70.0f, 2}}) {
        FbRecord r;
        r.ffid = 7;
        r.channel = channel;
        r.offset = offset;
        r.fb_time = time;
        r.fb_status = status;
        records.append(r);
    }
    return records;
}

QPoint canvasPixel(const GatherView &view, const QPointF &plotPoint)
{
    return QPoint(qRound(view.canvasMap(QwtPlot::xBottom).transform(plotPoint.x())),
                  qRound(view.canvasMap(QwtPlot::yLeft).transform(plotPoint.y())));
}

} // namespace

class TestGather : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QVERIFY(m_dir.isValid());
    }

    // AGC, normalisation (each trace or the shot), gain and clip on two
    // known traces; samples that are not numbers count as 0.
    void scaling_data()
    {
        QTest::addColumn<QVector<double>>("first");
        QTest::addColumn<QVector<double>>("second");
        QTest::addColumn<bool>("perTrace");
        QTest::addColumn<double>("agcMs");
        QTest::addColumn<double>("gain");
        QTest::addColumn<double>("clip");
        QTest::addColumn<QVector<double>>("expected");
        const QVector<double> a{0, 2, -4, 1}, b{0, 1, 0, -0.5};
        QTest::newRow("each trace to its peak")
            << a << b << true << 0.0 << 1.0 << 1.0 << QVector<double>{0, .5, -1, .25, 0, 1, 0, -.5};
        QTest::newRow("the shot's peak") << a << b << false << 0.0 << 1.0 << 1.0
                                         << QVector<double>{0, .5, -1, .25, 0, .25, 0, -.125};
        QTest::newRow("gain, then clip") << a << b << true << 0.0 << 2.0 << 0.6
                                         << QVector<double>{0, .6, -.6, .5, 0, .6, 0, -.6};
        QTest::newRow("not numbers") << QVector<double>{qQNaN(), 2, qInf(), -1} << b << true << 0.0 << 1.0 << 1.0
                                     << QVector<double>{0, 1, 0, -.5, 0, 1, 0, -.5};
        // A 3 ms window (3 samples): each sample over the mean |amplitude|
        // of itself and its neighbours, then to the trace's peak (10 / 7).
        QTest::newRow("AGC") << QVector<double>{1, -1, 1, -1, 10, -10, 10, -10} << QVector<double>(8, 0.0) << true
                             << 3.0 << 1.0 << 1.0
                             << QVector<double>{.7, -.7, .7, -.175, 1, -.7, .7, -.7, 0, 0, 0, 0, 0, 0, 0, 0};
    }
    void scaling()
    {
        QFETCH(QVector<double>, first);
        QFETCH(QVector<double>, second);
        QFETCH(bool, perTrace);
        QFETCH(double, agcMs);
        QFETCH(double, gain);
        QFETCH(double, clip);
        QFETCH(QVector<double>, expected);
        Scaling scaling;
        scaling.perTrace = perTrace;
        scaling.agcWindowMs = agcMs;
        scaling.gain = gain;
        scaling.clip = clip;
        const QVector<double> got = scaledOf(prepare(gatherOf({first, second}), scaling));
        QCOMPARE(got.size(), expected.size());
        for (int k = 0; k < got.size(); ++k)
            QVERIFY2(std::abs(got.at(k) - expected.at(k)) < 1e-6,
                     qPrintable(QStringLiteral("sample %1: %2").arg(k).arg(got.at(k))));
    }

    // Traces stand by offset (the picks' offsets where given) or by
    // channel; ties in channel order; the spacing is the usual gap.
    void order_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QVector<int>>("channels");
        QTest::addColumn<QVector<double>>("offsets");
        QTest::addColumn<QVector<double>>("pickOffsets");
        QTest::addColumn<QVector<int>>("traces");
        QTest::addColumn<QVector<double>>("x");
        QTest::addColumn<double>("spacing");
        const QVector<int> channels{3, 1, 4, 2};
        const QVector<double> offsets{25, -25, 50, -50};
        QTest::newRow("by offset") << int(Order::ByOffset) << channels << offsets << QVector<double>()
                                   << QVector<int>{3, 1, 0, 2} << QVector<double>{-50, -25, 25, 50} << 25.0;
        QTest::newRow("by channel") << int(Order::ByChannel) << channels << offsets << QVector<double>()
                                    << QVector<int>{1, 3, 0, 2} << QVector<double>{1, 2, 3, 4} << 1.0;
        // A file of offsets >= 0 whose picks put two traces behind the source.
        QTest::newRow("by the picks' offsets") << int(Order::ByOffset) << channels << QVector<double>{25, 25, 50, 50}
                                               << QVector<double>{qQNaN(), -25, qQNaN(), -50}
                                               << QVector<int>{3, 1, 0, 2} << QVector<double>{-50, -25, 25, 50} << 25.0;
        QTest::newRow("an offset that is no number")
            << int(Order::ByOffset) << channels << QVector<double>{qQNaN(), 10, -10, 20} << QVector<double>()
            << QVector<int>{2, 0, 1, 3} << QVector<double>{-10, 0, 10, 20} << 10.0;
        QTest::newRow("one offset twice")
            << int(Order::ByOffset) << channels << QVector<double>{10, 10, 0, 20} << QVector<double>()
            << QVector<int>{2, 1, 0, 3} << QVector<double>{0, 10, 10, 20} << 10.0;
    }
    void order()
    {
        QFETCH(int, order);
        QFETCH(QVector<int>, channels);
        QFETCH(QVector<double>, offsets);
        QFETCH(QVector<double>, pickOffsets);
        QFETCH(QVector<int>, traces);
        QFETCH(QVector<double>, x);
        QFETCH(double, spacing);
        Scaling scaling;
        scaling.order = Order(order);
        const GatherDisplay d =
            prepare(gatherOf(QVector<QVector<double>>(4, {1, 2}), channels, offsets), scaling, pickOffsets);
        QCOMPARE(d.trace, traces);
        QCOMPARE(d.x, x);
        QCOMPARE(d.spacing, spacing);
        for (int p = 0; p < d.count(); ++p) {
            QCOMPARE(d.position.at(d.trace.at(p)), p);
            QCOMPARE(d.x.at(d.positionNear(x.at(p) + spacing * 0.4)), x.at(p));
        }
        QCOMPARE(d.positionNear(x.last() + spacing * 0.6), -1);
    }

    // Three traces at x 0, 10 and 20; the middle one +1 from 40 to 59 ms
    // and -1 from 60 to 79 ms, scaled to half a trace spacing and clipped
    // there. Shown from x -10 to 30 on 400 pixels (a trace spacing is 100)
    // and 0 to 100 ms on 100 rows.
    void drawing_data()
    {
        QTest::addColumn<int>("display");
        QTest::addColumn<double>("velocity");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<uint>("color");
        const uint ink = 0xff000000, none = 0;
        const int wiggle = int(Display::Wiggle), area = int(Display::VariableArea);
        const int grey = int(Display::DensityGrey), redBlue = int(Display::DensityRedBlue);
        QTest::newRow("wiggle at its positive peak") << wiggle << 0.0 << QPoint(250, 50) << ink;
        QTest::newRow("wiggle: nothing inside the lobe") << wiggle << 0.0 << QPoint(225, 50) << none;
        QTest::newRow("wiggle at its negative peak") << wiggle << 0.0 << QPoint(150, 70) << ink;
        QTest::newRow("wiggle on its zero line") << wiggle << 0.0 << QPoint(200, 20) << ink;
        QTest::newRow("wiggle: not before the lobe") << wiggle << 0.0 << QPoint(250, 35) << none;
        QTest::newRow("area fills the positive lobe") << area << 0.0 << QPoint(225, 50) << ink;
        QTest::newRow("area leaves the negative one") << area << 0.0 << QPoint(175, 70) << none;
        // At 1000 m/s the 10 m trace comes 10 ms earlier.
        QTest::newRow("reduced time") << wiggle << 1000.0 << QPoint(250, 35) << ink;
        QTest::newRow("reduced: not after the lobe") << wiggle << 1000.0 << QPoint(250, 55) << none;
        QTest::newRow("grey, positive") << grey << 0.0 << QPoint(200, 50) << uint(qRgb(0, 0, 0));
        QTest::newRow("grey, negative") << grey << 0.0 << QPoint(200, 70) << uint(qRgb(255, 255, 255));
        QTest::newRow("grey, zero beside a trace") << grey << 0.0 << QPoint(140, 20) << uint(qRgb(128, 128, 128));
        QTest::newRow("density: no trace out there") << grey << 0.0 << QPoint(2, 20) << none;
        QTest::newRow("red, positive") << redBlue << 0.0 << QPoint(200, 50)
                                       << uint(densityColor(Display::DensityRedBlue, 1));
        QTest::newRow("blue, negative") << redBlue << 0.0 << QPoint(200, 70)
                                        << uint(densityColor(Display::DensityRedBlue, -1));
        QTest::newRow("white at zero") << redBlue << 0.0 << QPoint(200, 20) << uint(qRgb(255, 255, 255));
    }
    void drawing()
    {
        QFETCH(int, display);
        QFETCH(double, velocity);
        QFETCH(QPoint, pixel);
        QFETCH(uint, color);
        QVector<double> lobe(100, 0.0);
        for (int k = 40; k < 80; ++k)
            lobe[k] = k < 60 ? 1 : -1;
        Scaling scaling;
        scaling.gain = 0.5;
        scaling.clip = 0.5;
        const GatherDisplay d =
            prepare(gatherOf({QVector<double>(100, 0.0), lobe, QVector<double>(100, 0.0)}), scaling);
        Viewport v;
        v.x1 = -10, v.x2 = 30, v.t1 = 0, v.t2 = 100;
        v.velocity = velocity;
        v.display = Display(display);
        v.pixels = QSize(400, 100);
        const QImage image = draw(d, v);
        QCOMPARE(image.size(), v.pixels);
        QCOMPARE(QString::number(image.pixel(pixel), 16), QString::number(color, 16));
    }

    // The view by its object name: the readout under the mouse at a pick,
    // a click on a trace, the selection from outside, in every order and
    // in reduced time.
    void view_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<double>("velocity");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("trace");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("shownTime");
        QTest::addColumn<QString>("readout");
        QTest::newRow("by offset") << int(Order::ByOffset) << 0.0 << 0 << 0 << -30.0 << 60.0
                                   << "Channel 1, offset -30.0 m\n60.0 ms, amplitude 60";
        QTest::newRow("by channel") << int(Order::ByChannel) << 0.0 << 1 << 1 << 2.0 << 42.0
                                    << "Channel 2, offset -10.0 m\n42.0 ms, amplitude 1042";
        QTest::newRow("reduced time") << int(Order::ByOffset) << 1000.0 << 3 << 3 << 30.0 << 40.0
                                      << "Channel 4, offset 30.0 m\n70.0 ms, amplitude 3070";
    }
    void view()
    {
        QFETCH(int, order);
        QFETCH(double, velocity);
        QFETCH(int, row);
        QFETCH(int, trace);
        QFETCH(double, x);
        QFETCH(double, shownTime);
        QFETCH(QString, readout);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(new GatherView);
        auto *view = window.findChild<GatherView *>(QStringLiteral("traceView"));
        QVERIFY(view);
        QCOMPARE(view->message(), QStringLiteral("No traces are open."));
        QVERIFY(FbTest::shown(&window, {600, 900}));
        // Without traces the axes show no numbers; a wheel step brings none.
        const QPoint middle = view->canvas()->rect().center();
        QWheelEvent emptyWheel(middle, view->canvas()->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->canvas(), &emptyWheel);
        for (int axis : {int(QwtPlot::yLeft), int(QwtPlot::xBottom)})
            QVERIFY2(view->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick).isEmpty(),
                     qPrintable(QString::number(axis)));

        Scaling scaling;
        scaling.order = Order(order);
        view->setScaling(scaling);
        view->setReductionVelocity(velocity);
        QSignalSpy ready(view, &GatherView::ready);
        view->setShot(rampGather(), rampPicks(), FbQc::ShotFit(), {}, 2);
        QVERIFY(view->message().isEmpty());
        QVERIFY(ready.wait(5000 * FBTEST_TIME_FACTOR));
        QCOMPARE(view->title().text(), QStringLiteral("Shot 3 > ffid 7: 4 traces, 3 picked"));
        QVERIFY(!view->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick).isEmpty());
        QCOMPARE(view->traceOfRow(2), -1); // channel 9 has no trace
        QCOMPARE(view->rowOfTrace(2), -1);
        QCOMPARE(view->traceOfRow(row), trace);
        QCOMPARE(view->pickPoint(row), QPointF(x, shownTime));

        // Zoomed in on time so that a pixel is well under a sample.
        view->setTimeWindow(shownTime - 20, shownTime + 20);
        const QPoint at = canvasPixel(*view, view->pickPoint(row));
        QCOMPARE(view->readoutAt(at), readout);
        QCOMPARE(view->readoutAt(at + QPoint(view->canvas()->width(), 0)), QString());

        QSignalSpy traces(view, &GatherView::traceClicked);
        QSignalSpy rows(view, &GatherView::rowClicked);
        QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(traces.count(), 1);
        QCOMPARE(traces.at(0).at(0).toInt(), trace);
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.at(0).at(0).toInt(), row);
        QCOMPARE(view->selectedRow(), row);
        // The trace without a pick is selected, with no row to report.
        const QPoint unpicked = canvasPixel(*view, QPointF(order == int(Order::ByChannel) ? 3.0 : 10.0, shownTime));
        QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, unpicked);
        QCOMPARE(traces.count(), 2);
        QCOMPARE(traces.at(1).at(0).toInt(), 2);
        QCOMPARE(rows.count(), 1);
        QCOMPARE(view->selectedRow(), -1);

        view->setSelectedRow(row);
        QCOMPARE(view->selectedTrace(), trace);
        view->setSelectedRow(2);
        QCOMPARE(view->selectedTrace(), -1);

        // A wheel step in zooms time about the mouse, with Ctrl the traces;
        // a double click shows the shot again.
        for (const auto &[axis, modifier] :
             {std::pair{int(QwtPlot::yLeft), Qt::NoModifier}, std::pair{int(QwtPlot::xBottom), Qt::ControlModifier}}) {
            const int along = axis == QwtPlot::yLeft ? at.y() : at.x();
            const double under = view->canvasMap(axis).invTransform(along);
            const double extent = std::abs(view->axisScaleDiv(axis).range());
            QWheelEvent wheel(at, view->canvas()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, modifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(view->canvas(), &wheel);
            QCOMPARE(std::abs(view->axisScaleDiv(axis).range()), extent * 0.8);
            QVERIFY(std::abs(view->canvasMap(axis).invTransform(along) - under) < extent / 1000);
        }
        const double zoomed = view->axisScaleDiv(QwtPlot::xBottom).range();
        QTest::mouseDClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(view->axisScaleDiv(QwtPlot::xBottom).range(), zoomed / 0.8);
    }

    // Each control of the panel sets its own part of the view, and the
    // panel fits beside the shot plot on an 800 x 600 screen.
    void panel_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("display");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("perTrace");
        QTest::addColumn<QVector<double>>("agcGainClip");
        const int wiggle = int(Display::Wiggle), byOffset = int(Order::ByOffset);
        QTest::newRow("display") << "traceDisplay" << QVariant(3) << int(Display::DensityRedBlue) << byOffset << true
                                 << QVector<double>{0, 1, 1};
        QTest::newRow("order") << "traceOrder" << QVariant(1) << wiggle << int(Order::ByChannel) << true
                               << QVector<double>{0, 1, 1};
        QTest::newRow("per trace") << "tracePerTrace" << QVariant(false) << wiggle << byOffset << false
                                   << QVector<double>{0, 1, 1};
        QTest::newRow("AGC") << "traceAgc" << QVariant(250.0) << wiggle << byOffset << true
                             << QVector<double>{250, 1, 1};
        QTest::newRow("gain") << "traceGain" << QVariant(2.5) << wiggle << byOffset << true
                              << QVector<double>{0, 2.5, 1};
        QTest::newRow("clip") << "traceClip" << QVariant(0.5) << wiggle << byOffset << true
                              << QVector<double>{0, 1, 0.5};
    }
    void panel()
    {
        QFETCH(QString, control);
        QFETCH(QVariant, value);
        QFETCH(int, display);
        QFETCH(int, order);
        QFETCH(bool, perTrace);
        QFETCH(QVector<double>, agcGainClip);
        GatherPanel panel;
        QVERIFY(panel.minimumSizeHint().width() <= panel.view()->minimumSizeHint().width() * 5 / 4);
        QVERIFY(panel.minimumSizeHint().height() <= 400);
        QWidget *w = panel.findChild<QWidget *>(control);
        QVERIFY(w);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            combo->setCurrentIndex(value.toInt());
        else if (auto *check = qobject_cast<QCheckBox *>(w))
            check->setChecked(value.toBool());
        else
            qobject_cast<QDoubleSpinBox *>(w)->setValue(value.toDouble());
        const GatherView *view = panel.findChild<GatherView *>(QStringLiteral("traceView"));
        QCOMPARE(int(view->display()), display);
        QCOMPARE(int(view->scaling().order), order);
        QCOMPARE(view->scaling().perTrace, perTrace);
        QCOMPARE(view->scaling().agcWindowMs, agcGainClip.at(0));
        QCOMPARE(view->scaling().gain, agcGainClip.at(1));
        QCOMPARE(view->scaling().clip, agcGainClip.at(2));
    }

    // Shots given faster than they are scaled: only the last one shows, and
    // nothing after clear(). Plain words where there are no traces, and an
    // image file of the traces drawn without a screen.
    void latestShotShownOrSaid()
    {
        GatherView view;
        QVERIFY(FbTest::shown(&view, {600, 400}));
        const ShotGather two = gatherOf({QVector<double>(50, 1.0), QVector<double>(50, -1.0)}, {5, 6}, {-300, 300});
        const auto tracesAcross = [&view] {
            QSet<int> traces;
            for (int x = 0; x < view.canvas()->width(); ++x)
                traces.insert(view.traceAt(QPoint(x, 10)));
            return traces;
        };
        view.setShot(rampGather(), rampPicks(), FbQc::ShotFit());
        view.setShot(two, {}, FbQc::ShotFit());
        view.waitUntilReady();
        QCOMPARE(tracesAcross(), (QSet<int>{-1, 0, 1}));
        view.setShot(rampGather(), rampPicks(), FbQc::ShotFit());
        view.clear();
        view.waitUntilReady();
        QTest::qWait(50);
        QCOMPARE(tracesAcross(), QSet<int>{-1});
        QCOMPARE(view.message(), QStringLiteral("No traces are open."));
        view.setShot(gatherOf({}), {}, FbQc::ShotFit());
        QCOMPARE(view.message(), QStringLiteral("Shot ffid 7 has no traces in the data set."));
        view.clear(QStringLiteral("The data set cannot be read."));
        QCOMPARE(view.message(), QStringLiteral("The data set cannot be read."));

        view.setShot(rampGather(), rampPicks(), FbQc::ShotFit());
        view.setDisplay(Display::DensityGrey);
        view.waitUntilReady();
        QVERIFY(view.isReady());
        const QString name = m_dir.filePath(QStringLiteral("gather.png"));
        ImageExport image;
        QVERIFY2(image.write(&view, name, QSize(600, 400)), qPrintable(image.errorString()));
        // The density darkens most of the canvas.
        const QImage written(name);
        int dark = 0;
        for (int y = 0; y < written.height(); y += 4) {
            for (int x = 0; x < written.width(); x += 4)
                dark += qGray(written.pixel(x, y)) < 235 ? 1 : 0;
        }
        QVERIFY2(dark > written.width() * written.height() / 16 / 3, qPrintable(QString::number(dark)));
    }

    // fbtool traces on a generated line of 4 shots x 12 channels and its
    // SEG-Y file: the image with its picks, or one line saying what is wrong.
    void tracesCommand_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QString picked = QStringLiteral("shot 2 > 1002, 12 traces, 12 of 12 picks on a trace");
        QTest::newRow("wiggle") << QStringList{"--shot", "2"} << 0 << picked;
        QTest::newRow("every option") << QStringList{"--ffid",   "1002",    "--display",      "density-rwb",
                                                     "--agc",    "100",     "--clip",         "0.8",
                                                     "--window", "-20:300", "--reduce",       "3400",
                                                     "--size",   "600x400", "--first-sample", "0"}
                                      << 0 << picked;
        QTest::newRow("no data set") << QStringList{"--shot", "2", "--seismic", ""} << 2 << "needs --seismic DATA";
        QTest::newRow("shot and ffid") << QStringList{"--shot", "2", "--ffid", "1002"} << 2 << "exactly one of";
        QTest::newRow("display") << QStringList{"--shot", "2", "--display", "colour"} << 2
                                 << "--display: 'colour' is not one of wiggle, area, density, density-rwb";
        QTest::newRow("agc") << QStringList{"--shot", "2", "--agc", "0"} << 2 << "--agc: '0' is not a positive";
        QTest::newRow("clip") << QStringList{"--shot", "2", "--clip", "-1"} << 2 << "--clip: '-1' is not a positive";
        QTest::newRow("window") << QStringList{"--shot", "2", "--window", "300:20"} << 2
                                << "--window: '300:20' is not T0:T1";
        QTest::newRow("reduce") << QStringList{"--shot", "2", "--reduce", "fast"} << 2 << "--reduce: 'fast'";
        QTest::newRow("first sample") << QStringList{"--shot", "2", "--first-sample", "x"} << 2
                                      << "--first-sample: 'x' is not a time";
        QTest::newRow("shot not in the data") << QStringList{"--shot", "9"} << 2 << "not a shot in 1..4";
        // The same line with fb_time in s: drawn as its ms twin is.
        QTest::newRow("times in s") << QStringList{"--shot", "2", "--time-unit", "s"} << 0 << picked;
        QTest::newRow("time unit") << QStringList{"--shot", "2", "--time-unit", "h"} << 2
                                   << "--time-unit: 'h' is not one of";
        // Traces whose ffids were renumbered (2001...): found by the source's
        // position and matched by position, or not at all by keys.
        const QString renumbered = m_dir.filePath(QStringLiteral("renumbered.sgy"));
        QTest::newRow("renumbered, by position")
            << QStringList{"--shot", "2", "--seismic", renumbered, "--by", "position"} << 0 << picked;
        QTest::newRow("renumbered, by keys")
            << QStringList{"--shot", "2", "--seismic", renumbered} << 2 << "no shot with ffid 1002";
        QTest::newRow("by") << QStringList{"--shot", "2", "--by", "shot"} << 2
                            << "--by: 'shot' is not keys or position";
    }
    void tracesCommand()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QString fb = m_dir.filePath(QStringLiteral("line.fb")), segy = m_dir.filePath(QStringLiteral("line.sgy"));
        const QString inSeconds = m_dir.filePath(QStringLiteral("line-s.fb"));
        const bool seconds = options.contains(QStringLiteral("s"));
        FbGenerator::Options line;
        line.shots = 4;
        line.channels = 12;
        if (!QFile::exists(segy)) {
            TraceGenerator::Writer writer;
            QVERIFY2(writer.write(line, TraceGenerator::Options(), segy), qPrintable(writer.errorString()));
            FbGenerator::Options renumbered = line;
            renumbered.firstFfid = 2001;
            QVERIFY2(
                writer.write(renumbered, TraceGenerator::Options(), m_dir.filePath(QStringLiteral("renumbered.sgy"))),
                qPrintable(writer.errorString()));
            QVERIFY(FbGenerator::FileWriter(line).write(fb, nullptr));
            QVERIFY(FbTest::writeInSeconds(fb, inSeconds));
        }
        const QString image = m_dir.filePath(QStringLiteral("%1.png").arg(QTest::currentDataTag()));
        QStringList args{"traces", seconds ? inSeconds : fb, "-o", image};
        if (!options.contains(QStringLiteral("--seismic")))
            args << "--seismic" << segy;
        const FbTest::Run run = FbTest::fbtool(args + options);
        if (exitCode != 0) {
            QVERIFY2(FbTest::refused(run, said), qPrintable(run.err));
            QVERIFY(!QFile::exists(image));
            return;
        }
        QVERIFY2(run.exitCode == 0 && run.out.contains(said) && run.err.isEmpty(), qPrintable(run.out + run.err));
        // Traces in ink and the picks (all status 0 or 1 on a clean line) on them.
        const QImage written(image);
        QVERIFY(!written.isNull());
        int dark = 0, picks = 0;
        const QRgb status0 = StatusColors::mark(FbColumns::PickClass::Status0).rgb();
        const QRgb status1 = StatusColors::mark(FbColumns::PickClass::Status1).rgb();
        for (int y = 0; y < written.height(); ++y) {
            for (int x = 0; x < written.width(); ++x) {
                const QRgb c = written.pixel(x, y);
                dark += qGray(c) < 128 ? 1 : 0;
                picks += c == status0 || c == status1 ? 1 : 0;
            }
        }
        QVERIFY2(dark > written.width() * written.height() / 50, qPrintable(QString::number(dark)));
        QVERIFY2(picks > 12 * 10, qPrintable(QString::number(picks)));
        if (seconds) {
            const QString twin = m_dir.filePath(QStringLiteral("twin.png"));
            QCOMPARE(FbTest::fbtool({"traces", fb, "-o", twin, "--seismic", segy, "--shot", "2"}).exitCode, 0);
            QVERIFY(QImage(twin) == written);
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestGather)
#include "tst_gather.moc"
