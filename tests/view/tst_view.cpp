// The view library as a user meets it: what the shot plot says and in which
// order it draws, how the survey map labels its axes, colours and
// stacks its sources, and how image files are written or refused.

#include <fbfile/fbgenerator.h>
#include <fbfile/fbpicks.h>
#include <fbview/imageexport.h>
#include <fbview/plotlabels.h>
#include <fbview/shotplot.h>
#include <fbview/stationaxis.h>
#include <fbview/stationshotview.h>
#include <fbview/surveymap.h>
#include <fbview/viewplot.h>
#include "fbtestfile.h"
#include "shownwidget.h"

#include <qwt_color_map.h>
#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <thread>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

Q_DECLARE_METATYPE(SurveyValues::Kind)

namespace {

// A split spread of 48 channels 25 m apart around the source, first breaks
// of a two-layer refraction (1200 m/s, then 3000 m/s from 250 m on) without
// noise, statuses 1, 2, 0 in turn or all 0, and one pick 30 ms late.
QVector<FbRecord> refractionShot(bool allStatus0, bool spike)
{
    QVector<FbRecord> records;
    for (int c = 0; c < 48; ++c) {
        FbRecord r;
        r.ffid = 1040;
        r.channel = c + 1;
        r.offset = 25 * (c - 23);
        const double x = std::abs(r.offset);
        r.fb_time = float(std::min(x / 1.2, 125.0 + x / 3.0));
        r.fb_status = allStatus0 ? 0 : (c + 1) % 3;
        // The spiked pick is in use (status 1): a rejected one is no outlier.
        if (spike && c == 9)
            r.fb_time += 30.0f;
        records.append(r);
    }
    return records;
}

QString point(const QPointF &p)
{
    return QStringLiteral(" (%1, %2)").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
}

// Every item of a plot as a line: kind, title, shown, listed, and what it
// draws (a curve's points, a marker's place, labels' anchors and texts).
QStringList drawnItems(const QwtPlot &plot)
{
    QStringList items;
    for (const QwtPlotItem *item : plot.itemList()) {
        QString line = QStringLiteral("%1 %2 %3 %4")
                           .arg(item->rtti())
                           .arg(item->title().text())
                           .arg(item->isVisible())
                           .arg(item->testItemAttribute(QwtPlotItem::Legend));
        if (item->rtti() == QwtPlotItem::Rtti_PlotCurve) {
            const auto *curve = static_cast<const QwtPlotCurve *>(item);
            for (size_t k = 0; k < curve->dataSize(); ++k)
                line += point(curve->sample(int(k)));
        } else if (item->rtti() == QwtPlotItem::Rtti_PlotMarker) {
            line += point(static_cast<const QwtPlotMarker *>(item)->value());
        } else if (item->rtti() == QwtPlotItem::Rtti_PlotUserItem + 1) {
            for (const PlotLabels::Label &label : static_cast<const PlotLabels *>(item)->labels())
                line += point(label.anchor) + QLatin1Char(' ') + label.text.text() + QLatin1Char(' ') +
                        QString::number(int(label.preferred));
        }
        items << line;
    }
    return items;
}

QStringList legendTexts(const QwtPlot &plot)
{
    QStringList texts;
    const auto *legend = qobject_cast<const QwtLegend *>(plot.legend());
    const QLayout *layout = legend ? legend->contentsWidget()->layout() : nullptr;
    for (int i = 0; layout && i < layout->count(); ++i) {
        if (const auto *label = qobject_cast<const QwtLegendLabel *>(layout->itemAt(i)->widget()))
            texts << label->text().text();
    }
    return texts;
}

double curveZ(const QwtPlot &plot, const QString &title)
{
    for (const QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotCurve)) {
        if (item->title().text() == title)
            return item->z();
    }
    return qQNaN();
}

// Sources along an east-west line in UTM northings, one metre apart.
QVector<SurveyPoint> lineSources(int count)
{
    QVector<SurveyPoint> sources;
    for (int s = 0; s < count; ++s)
        sources.append(SurveyPoint{512000.0f + s, 4100000.0f});
    return sources;
}

// Messages Qt reports while a test step runs.
struct MessageCatcher
{
    static QStringList &caught()
    {
        static QStringList messages;
        return messages;
    }
    MessageCatcher() : previous(qInstallMessageHandler(&MessageCatcher::handle)) { caught().clear(); }
    ~MessageCatcher() { qInstallMessageHandler(previous); }
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message) { caught() << message; }
    QtMessageHandler previous;
};

} // namespace

class TestView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Titles with the offset unit, a legend of exactly what is drawn (a
    // partner's picks too), the fitted curve above the picks, and beside
    // each segment its velocity (near the layer velocities; none for picks
    // that stay flat) and at the source its intercept, one label where both
    // sides meet at one time, with room for it under it but no empty band.
    // Where the file's units are known the velocities read in m/s. Points
    // and labels built on a worker for the view wanted when the shot was
    // asked for are drawn in that view exactly as a plot draws them itself,
    // also when the plot's view or the file's units changed meanwhile.
    void plotSaysWhatItDraws_data()
    {
        QTest::addColumn<bool>("allStatus0");
        QTest::addColumn<bool>("spike");
        QTest::addColumn<bool>("partner");
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("reduction");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("yTitle");
        QTest::addColumn<QStringList>("legend");
        QTest::addColumn<double>("shift");    // ms added to every pick
        QTest::addColumn<double>("leftLate"); // ms added to the negative side's picks
        QTest::addColumn<bool>("flatTail");   // the refractor's picks all but flat, a lost arrival
        QTest::addColumn<int>("intercepts");  // times the intercept's label gives
        QTest::addColumn<bool>("unpickedSource");
        QTest::addColumn<double>("metres");     // per offset unit of the file's units; 0: units unknown
        QTest::addColumn<QString>("meanwhile"); // what changed since the worker built the shot
        const QString ring = QStringLiteral("Outlier > 8 ms");
        QTest::newRow("times, all statuses, an outlier, residuals asked for meanwhile")
            << false << true << false << int(ShotPlot::Times) << 0.0 << "m"
            << "Time (ms)" << QStringList{"Status 0", "Status 1", "Other status", "Fitted curve", ring} << 0.0 << 0.0
            << false << 1 << false << 0.0 << "residuals";
        QTest::newRow("a side late, an intercept below zero")
            << true << false << false << int(ShotPlot::Times) << 0.0 << "m"
            << "Time (ms)" << QStringList{"Status 0", "Fitted curve"} << -3.0 << 4.0 << false << 2 << false << 0.0
            << QString();
        QTest::newRow("flat picks far out") << true << false << false << int(ShotPlot::Times) << 0.0 << "m"
                                            << "Time (ms)" << QStringList{"Status 0", "Fitted curve"} << 0.0 << 0.0
                                            << true << 1 << false << 0.0 << QString();
        QTest::newRow("status 0 only, no outlier, feet")
            << true << false << false << int(ShotPlot::Times) << 0.0 << "ft"
            << "Time (ms)" << QStringList{"Status 0", "Fitted curve"} << 0.0 << 0.0 << false << 1 << false << 0.0
            << QString();
        // The source's trace left unpicked (time 0, rejected) is no pick.
        QTest::newRow("the source's trace unpicked, reduced time asked for meanwhile")
            << true << false << false << int(ShotPlot::Times) << 0.0 << "m"
            << "Time (ms)" << QStringList{"Status 0", "Fitted curve"} << 0.0 << 0.0 << false << 1 << true << 0.0
            << "reduced";
        QTest::newRow("reduced time, a partner")
            << true << false << true << int(ShotPlot::Times) << 3000.0 << "m"
            << "Reduced time t - |x| / 3000 m/s (ms)" << QStringList{"Status 0", "Shot 41", "Fitted curve"} << 0.0
            << 0.0 << false << 1 << false << 0.0 << QString();
        QTest::newRow("reduced time, feet, the file's units known meanwhile")
            << true << false << false << int(ShotPlot::Times) << 3000.0 << "ft"
            << "Reduced time t - |x| / 3000 ft/s (ms)" << QStringList{"Status 0", "Fitted curve"} << 0.0 << 0.0 << false
            << 1 << false << 0.3048 << "units";
        // Rejected picks (other statuses) are not judged: they have no residual.
        QTest::newRow("residuals, a partner")
            << false << true << true << int(ShotPlot::Residuals) << 0.0 << "m"
            << "Residual (ms)"
            << QStringList{"Status 0", "Status 1", "Shot 41", "Fitted curve", QString::fromUtf8("Limit ±8 ms"), ring}
            << 0.0 << 0.0 << false << 0 << false << 0.0 << QString();
        // Residuals well within the threshold: its lines are off the scale.
        QTest::newRow("residuals, thresholds off the scale")
            << true << false << false << int(ShotPlot::Residuals) << 0.0 << "m"
            << "Residual (ms)" << QStringList{"Status 0", "Fitted curve"} << 0.0 << 0.0 << false << 0 << false << 0.0
            << QString();
    }
    void plotSaysWhatItDraws()
    {
        QFETCH(bool, allStatus0);
        QFETCH(bool, spike);
        QFETCH(bool, partner);
        QFETCH(int, mode);
        QFETCH(double, reduction);
        QFETCH(QString, unit);
        QFETCH(QString, yTitle);
        QFETCH(QStringList, legend);
        QFETCH(double, shift);
        QFETCH(double, leftLate);
        QFETCH(bool, flatTail);
        QFETCH(int, intercepts);
        QFETCH(bool, unpickedSource);
        QFETCH(double, metres);
        QFETCH(QString, meanwhile);
        QVector<FbRecord> records = refractionShot(allStatus0, spike);
        if (unpickedSource)
            FbPicks::markUnpicked(&records[23]);
        for (FbRecord &r : records) {
            r.fb_time = float((flatTail && r.offset > 250 ? 125 + 250 / 3.0 + (r.offset - 250) / 100.0 : r.fb_time) +
                              shift + (r.offset < 0 ? leftLate : 0.0));
        }
        const FbQc::ShotFit fit = FbQc::fitShot(records);
        FbQc::Units units;
        units.metresPerLength = metres;
        ShotPlot::View built;
        built.mode = ShotPlot::Mode(mode);
        built.velocity = reduction;
        built.unit = unit;
        built.unitsKnown = metres > 0 && meanwhile != QLatin1String("units");
        built.units = built.unitsKnown ? units : FbQc::Units();
        std::shared_ptr<const ShotPlot::Drawn> drawn;
        std::thread worker([&] { drawn = ShotPlot::build(records, fit, built); });
        worker.join();
        // The partner's picks on this shot's curve, 2 ms late; the first
        // one is there before the shot, the rest arrive after it, as the
        // window asks for them.
        const QVector<QPointF> partnerPicks{{-100.0, 100 / 1.2 + 2}, {300.0, 125 + 100 + 2}};
        ShotPlot plot, handed;
        for (ShotPlot *p : {&plot, &handed}) {
            p->setOffsetUnit(unit);
            if (metres > 0)
                p->setUnits(units);
            p->setReductionVelocity(p == &handed && meanwhile == QLatin1String("reduced") ? 3000.0 : reduction);
            p->setMode(p == &handed && meanwhile == QLatin1String("residuals") ? ShotPlot::Residuals
                                                                               : ShotPlot::Mode(mode));
            if (partner)
                p->setPartnerPicks(partnerPicks.mid(0, 1), QStringLiteral("Shot 41"));
        }
        plot.setShot(records, fit, 39, 1040);
        handed.setShot(records, fit, 39, 1040, drawn);
        for (ShotPlot *p : {&plot, &handed}) {
            if (partner)
                p->setPartnerPicks(partnerPicks, QStringLiteral("Shot 41"));
        }
        QCOMPARE(drawnItems(handed), drawnItems(plot));
        QCOMPARE(handed.axisTitle(QwtPlot::yLeft).text(), yTitle);
        for (int row = 0; row < records.size(); ++row)
            QCOMPARE(point(handed.pickPoint(row)), point(plot.pickPoint(row)));

        QCOMPARE(plot.title().text(), QStringLiteral("Shot 40 > ffid 1040 (picks: 48, outliers: %1)").arg(spike));
        QCOMPARE(plot.axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Signed offset (%1)").arg(unit));
        QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), yTitle);
        QCOMPARE(legendTexts(plot), legend);
        QVERIFY2(curveZ(plot, QStringLiteral("Fitted curve")) > curveZ(plot, QStringLiteral("Status 0")),
                 "the fitted curve is drawn under the picks");
        for (const QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotCurve)) {
            const auto *curve = static_cast<const QwtPlotCurve *>(item);
            if (!partner || curve->title().text() != QLatin1String("Shot 41"))
                continue;
            // Drawn where the picks are, or 2 ms off the fitted curve.
            const double reduce = reduction > 0 ? 1000 / reduction : 0;
            for (int k = 0; k < partnerPicks.size(); ++k) {
                const QPointF p = partnerPicks.at(k);
                const double y = mode == ShotPlot::Residuals ? 2.0 : p.y() - std::abs(p.x()) * reduce;
                QVERIFY2(std::abs(curve->sample(k).y() - y) < 0.5, qPrintable(QString::number(curve->sample(k).y())));
            }
        }

        QStringList velocities;
        QVector<PlotLabels::Label> interceptLabels;
        for (const QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotUserItem + 1)) {
            for (const PlotLabels::Label &label : static_cast<const PlotLabels *>(item)->labels()) {
                const QString text = label.text.text();
                if (text.endsWith((metres > 0 ? QStringLiteral("m") : unit) + QStringLiteral("/s")))
                    velocities << text;
                else if (text.startsWith(QStringLiteral("intercept ")))
                    interceptLabels << label;
            }
        }
        if (mode == ShotPlot::Residuals) {
            QVERIFY2(velocities.isEmpty() && interceptLabels.isEmpty(), qPrintable(velocities.join(", ")));
            return;
        }
        // Each side: the direct wave and the refractor, whatever the reduction.
        QVERIFY2(velocities.size() >= (flatTail ? 3 : 4), qPrintable(velocities.join(", ")));
        int direct = 0, refractor = 0;
        for (const QString &text : qAsConst(velocities)) {
            const double v = QLocale().toDouble(text.section(QLatin1Char(' '), 0, 0)) / (metres > 0 ? metres : 1.0);
            direct += std::abs(v / 1200 - 1) < 0.03 ? 1 : 0;
            refractor += std::abs(v / 3000 - 1) < 0.03 ? 1 : 0;
        }
        QVERIFY2(direct >= 2 && refractor >= (flatTail ? 1 : 2) && direct + refractor == velocities.size(),
                 qPrintable(velocities.join(", ")));
        // One label under the source, each side's time left to right. The
        // time axis leaves a label's room there, so that it need not sit
        // among the nearest picks, and no label covers another.
        QCOMPARE(interceptLabels.size(), 1);
        QVERIFY(FbTest::shown(&plot, {800, 600}));
        plot.grab();
        const QwtScaleMap yMap = plot.canvasMap(QwtPlot::yLeft);
        const PlotLabels::Label &label = interceptLabels.first();
        const QString text = label.text.text();
        QStringList times = text.split(QRegularExpression(QStringLiteral("[^-0-9.]+")), Qt::SkipEmptyParts);
        QCOMPARE(times.size(), intercepts);
        QVERIFY2(std::abs(times.first().toDouble() - shift - leftLate) < 1.0 &&
                     std::abs(times.last().toDouble() - shift) < 1.0,
                 qPrintable(text));
        const double source = yMap.transform(label.anchor.y());
        const double below = plot.canvas()->contentsRect().bottom() - source;
        const double height = label.text.textSize().height();
        QVERIFY2(below >= height && below <= 2.5 * height, qPrintable(QStringLiteral("%1 px").arg(below)));
        for (const QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotUserItem + 1)) {
            const QVector<QRectF> placed = static_cast<const PlotLabels *>(item)->placed();
            QVERIFY2(!placed.isEmpty() && placed.first().top() >= source, qPrintable(text));
            for (int a = 0; a < placed.size(); ++a) {
                for (int b = a + 1; b < placed.size(); ++b)
                    QVERIFY2(!placed.at(a).intersects(placed.at(b)), qPrintable(text));
            }
        }
    }

    // Labels stay whole inside the canvas, off each other, and off the picks
    // where there is room: a 100 x 16 label for each anchor, in a 400 x 300
    // canvas. A label that names the left side of the spread stays left of
    // its anchor even where picks fill that side, as an intercept label
    // must at any image size.
    void labelPlacement_data()
    {
        QTest::addColumn<QVector<QPointF>>("anchors");
        QTest::addColumn<QVector<QPointF>>("picks");
        QTest::addColumn<bool>("clearOfPicks");
        QTest::addColumn<bool>("left");             // the labels prefer the top left of their anchors, and keep left
        QTest::addColumn<QVector<QPointF>>("line"); // pixels a line (the curve) passes through
        QVector<QPointF> belowRight, left;          // picks filling the preferred side of (200, 150); its left
        for (int px = 200; px < 320; px += 3)
            for (int py = 150; py < 180; py += 3)
                belowRight << QPointF(px, py);
        for (int px = 80; px < 200; px += 3)
            for (int py = 110; py < 190; py += 3)
                left << QPointF(px, py);
        QTest::newRow("at the left edge")
            << QVector<QPointF>{{4, 150}} << QVector<QPointF>() << true << false << QVector<QPointF>();
        QTest::newRow("at the bottom right corner")
            << QVector<QPointF>{{398, 298}} << QVector<QPointF>() << true << false << QVector<QPointF>();
        QTest::newRow("four at one anchor")
            << QVector<QPointF>(4, QPointF(200, 150)) << QVector<QPointF>() << true << false << QVector<QPointF>();
        QTest::newRow("two close together")
            << QVector<QPointF>{{200, 150}, {210, 155}} << QVector<QPointF>() << true << false << QVector<QPointF>();
        QTest::newRow("picks on its side")
            << QVector<QPointF>{{200, 150}} << belowRight << true << false << QVector<QPointF>();
        QVector<QPointF> alongTop; // points just above its preferred place, their dots reaching into it
        for (int px = 200; px < 320; px += 3)
            alongTop << QPointF(px, 153);
        QTest::newRow("dots along its edge")
            << QVector<QPointF>{{200, 150}} << alongTop << true << false << QVector<QPointF>();
        QTest::newRow("picks everywhere, still inside") << QVector<QPointF>{{200, 150}, {200, 150}} << [] {
            QVector<QPointF> all;
            for (int px = 0; px < 400; px += 2)
                for (int py = 0; py < 300; py += 2)
                    all << QPointF(px, py);
            return all;
        }() << false << false << QVector<QPointF>();
        QTest::newRow("picks fill its left side")
            << QVector<QPointF>{{200, 150}} << left << false << true << QVector<QPointF>();
        // The second label's own place is free of picks but for a pixel
        // under the first label; everywhere else is full of picks.
        QTest::newRow("only a sliver of another label is free") << QVector<QPointF>{{100, 100}, {199, 115}} << [] {
            const QRectF hole(201, 117, 108, 24);
            QVector<QPointF> all;
            for (int px = 0; px < 400; px += 2)
                for (int py = 0; py < 300; py += 2)
                    if (!hole.contains(px, py))
                        all << QPointF(px, py);
            return all;
        }() << false << false << QVector<QPointF>();
        // The curve rising from the intercept through the label's side, as
        // it leaves the source: the text would be struck through.
        QVector<QPointF> rising;
        for (int px = 200; px < 330; ++px)
            rising << QPointF(px, 150 + (px - 200) / 2.0);
        QTest::newRow("a line through its side")
            << QVector<QPointF>{{200, 150}} << QVector<QPointF>() << true << false << rising;
    }

    void labelPlacement()
    {
        QFETCH(QVector<QPointF>, anchors);
        QFETCH(QVector<QPointF>, picks);
        QFETCH(bool, clearOfPicks);
        QFETCH(bool, left);
        QFETCH(QVector<QPointF>, line);
        const QRectF canvas(0, 0, 400, 300);
        constexpr double Dot = 3.5; // a pick's dot reaches this far from its point
        const QVector<QSizeF> sizes(anchors.size(), QSizeF(100, 16));
        const QVector<Qt::Alignment> preferred(anchors.size(),
                                               left ? Qt::AlignTop | Qt::AlignLeft : Qt::AlignBottom | Qt::AlignRight);
        const QVector<QRectF> rects = PlotLabels::place(sizes, anchors, preferred, picks, canvas, 6, line);
        QCOMPARE(rects.size(), anchors.size());
        for (int k = 0; k < rects.size(); ++k) {
            QVERIFY2(canvas.contains(rects.at(k)), qPrintable(QStringLiteral("label %1 leaves the canvas").arg(k)));
            QCOMPARE(rects.at(k).size(), sizes.at(k));
            for (int j = 0; j < k; ++j)
                QVERIFY2(!rects.at(k).intersects(rects.at(j)),
                         qPrintable(QStringLiteral("%1 covers %2").arg(k).arg(j)));
            if (clearOfPicks) {
                for (const QPointF &p : qAsConst(picks))
                    QVERIFY2(!rects.at(k).adjusted(-Dot, -Dot, Dot, Dot).contains(p),
                             qPrintable(QStringLiteral("label %1 covers a pick's dot").arg(k)));
                for (const QPointF &p : qAsConst(line))
                    QVERIFY2(!rects.at(k).adjusted(-1, -1, 1, 1).contains(p),
                             qPrintable(QStringLiteral("label %1 lies across the line").arg(k)));
            }
            if (left)
                QVERIFY2(rects.at(k).right() <= anchors.at(k).x(),
                         qPrintable(QStringLiteral("label %1 crossed to the right").arg(k)));
        }
    }

    // The legend keeps room for every entry a shot or a view may bring, so
    // that the canvas keeps its height when one comes or goes: at widths
    // where an entry more or less, or a few pixels more, take another row.
    void legendKeepsItsRoom_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("change");
        for (int width : {250, 400}) {
            for (const char *change : {"residuals", "outliers", "partner", "partner gone"})
                QTest::newRow(qPrintable(QStringLiteral("%1 px, %2").arg(width).arg(QLatin1String(change))))
                    << width << QString::fromLatin1(change);
        }
    }
    void legendKeepsItsRoom()
    {
        QFETCH(int, width);
        QFETCH(QString, change);
        const QVector<FbRecord> clean = refractionShot(true, false), spiked = refractionShot(false, true);
        const QVector<QPointF> partner{{-100.0, 85.0}, {300.0, 227.0}};
        const QString partnerTitle = QStringLiteral("Reciprocal 2 > 1002");
        ShotPlot plot;
        plot.setPartnerRoom(QStringLiteral("Reciprocal 48 > 1048"));
        // Residuals of a shot with an outlier reach the threshold lines.
        const QVector<FbRecord> &first = change == QLatin1String("outliers") ? clean : spiked;
        plot.setShot(first, FbQc::fitShot(first), 0, 1001);
        if (change == QLatin1String("partner gone"))
            plot.setPartnerPicks(partner, partnerTitle);
        // A title on one line at any width: only the legend may move the canvas.
        plot.setTitle(QStringLiteral("Shot"));
        QVERIFY(FbTest::shown(&plot, QSize(width, 400)));
        const int height = plot.canvas()->height();
        if (change == QLatin1String("residuals"))
            plot.setMode(ShotPlot::Residuals);
        else if (change == QLatin1String("outliers"))
            plot.setShot(spiked, FbQc::fitShot(spiked), 1, 1002);
        else
            plot.setPartnerPicks(change == QLatin1String("partner") ? partner : QVector<QPointF>(),
                                 change == QLatin1String("partner") ? partnerTitle : QString());
        plot.setTitle(QStringLiteral("Shot"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        QCOMPARE(plot.canvas()->height(), height);
    }

    // The hover text sits in a frame that keeps clear of it on every side,
    // in the middle of the canvas and pushed in from its edge.
    void hoverTextKeepsClearOfItsFrame_data()
    {
        QTest::addColumn<QPoint>("mouse");
        QTest::newRow("middle") << QPoint(150, 100);
        QTest::newRow("near the right edge") << QPoint(395, 100);
    }
    void hoverTextKeepsClearOfItsFrame()
    {
        QFETCH(QPoint, mouse);
        struct Plot : ViewPlot
        {
            Plot()
            {
                setCanvasBackground(Qt::white);
                trackWith([](const QPoint &) { return QStringLiteral("Shot 12 > 5012"); });
            }
        } plot;
        QVERIFY(FbTest::shown(&plot, QSize(480, 320)));
        QWidget *canvas = plot.canvas();
        const QImage plain = canvas->grab().toImage();
        QMouseEvent move(QEvent::MouseMove, mouse, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QCoreApplication::processEvents();
        const QImage hover = canvas->grab().toImage();
        // The box: every pixel the hover changed; the text: its dark ones.
        QRect box, text;
        for (int y = 0; y < hover.height(); ++y) {
            for (int x = 0; x < hover.width(); ++x) {
                if (hover.pixel(x, y) == plain.pixel(x, y))
                    continue;
                box |= QRect(x, y, 1, 1);
                if (qGray(hover.pixel(x, y)) < 80)
                    text |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY2(!text.isEmpty() && box.contains(text), "no hover text drawn");
        const int clear = qMin(qMin(text.left() - box.left(), box.right() - text.right()),
                               qMin(text.top() - box.top(), box.bottom() - text.bottom()));
        QVERIFY2(clear >= 3, qPrintable(QStringLiteral("text %1 px from its frame").arg(clear)));
    }

    // Labels are placed again once the picks, the labels, the scales or the
    // canvas change: a plot drawn before the change draws what a plot drawn
    // only after it draws.
    void labelsPlacedAgain_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("picks under its place") << 0;
        QTest::newRow("label moved") << 1;
        QTest::newRow("zoomed") << 2;
        QTest::newRow("canvas resized") << 3;
    }
    void labelsPlacedAgain()
    {
        QFETCH(int, change);
        const auto image = [change](bool drawnBefore) {
            QwtPlot plot;
            plot.setAxisScale(QwtPlot::xBottom, 0, 400);
            plot.setAxisScale(QwtPlot::yLeft, 0, 300);
            auto *labels = new PlotLabels;
            labels->attach(&plot);
            const auto changeIt = [&] {
                QVector<QPointF> picks; // below and right of the anchor, where the label would sit
                for (int x = 190; x < 340; x += 3)
                    for (int y = 100; y < 160; y += 3)
                        picks << QPointF(x, y);
                if (change == 0)
                    labels->setObstacles(picks);
                else if (change == 1)
                    labels->setLabels(
                        {{QPointF(100, 80), QwtText(QStringLiteral("1,234 m/s")), Qt::AlignBottom, QPointF()}});
                else if (change == 2)
                    plot.setAxisScale(QwtPlot::xBottom, 150, 350);
                else
                    plot.resize(600, 450);
                plot.replot();
            };
            labels->setLabels({{QPointF(200, 150), QwtText(QStringLiteral("1,234 m/s")),
                                Qt::AlignBottom | Qt::AlignRight, QPointF()}});
            if (!drawnBefore)
                changeIt();
            if (!FbTest::shown(&plot, plot.size() == QSize(600, 450) ? plot.size() : QSize(500, 400)))
                return QImage();
            plot.replot();
            QImage drawn = plot.canvas()->grab().toImage();
            if (drawnBefore) {
                changeIt();
                drawn = plot.canvas()->grab().toImage();
            }
            return drawn;
        };
        const QImage fresh = image(false);
        QVERIFY(!fresh.isNull());
        QCOMPARE(image(true), fresh);
    }

    // An axis title stays whole on one line, in a smaller font where the
    // axis is short: a wrapped title lost its second line (the unit).
    void axisTitlesFit_data()
    {
        QTest::addColumn<int>("view"); // 0 shot plot in reduced time, 1 stations x shots
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("axis");
        QTest::addColumn<bool>("shrunk");
        QTest::newRow("reduced time, short") << 0 << QSize(500, 300) << int(QwtPlot::yLeft) << true;
        QTest::newRow("reduced time, tall") << 0 << QSize(500, 700) << int(QwtPlot::yLeft) << false;
        QTest::newRow("colour bar, short") << 1 << QSize(600, 200) << int(QwtPlot::yRight) << true;
    }
    void axisTitlesFit()
    {
        QFETCH(int, view);
        QFETCH(QSize, size);
        QFETCH(int, axis);
        QFETCH(bool, shrunk);
        QScopedPointer<QwtPlot> plot;
        if (view == 0) {
            auto *shot = new ShotPlot;
            shot->setReductionVelocity(3000);
            const QVector<FbRecord> records = refractionShot(true, false);
            shot->setShot(records, FbQc::fitShot(records), 0, 1001);
            plot.reset(shot);
        } else {
            auto *stations = new StationShotView;
            stations->setSurvey(StationAxis(), {});
            plot.reset(stations);
        }
        QVERIFY(FbTest::shown(plot.data(), size));
        // The bottom title, short on a long axis, keeps the titles' own size.
        const qreal ownPoints = plot->axisWidget(QwtPlot::xBottom)->title().font().pointSizeF();
        const QwtScaleWidget *scale = plot->axisWidget(axis);
        const QwtText title = scale->title();
        QCOMPARE(scale->titleHeightForWidth(scale->height()), scale->titleHeightForWidth(QWIDGETSIZE_MAX));
        QVERIFY2(QFontMetrics(title.font()).horizontalAdvance(title.text()) <= scale->height(),
                 qPrintable(title.text() + QStringLiteral(" is longer than its axis")));
        QCOMPARE(title.font().pointSizeF() < ownPoints, shrunk);
    }

    // Velocity = delta offset / delta time x 1000; only positive, finite ones.
    void segmentVelocity_data()
    {
        QTest::addColumn<double>("dx");
        QTest::addColumn<double>("dt");
        QTest::addColumn<double>("velocity"); // NaN: none shown
        QTest::newRow("1200 m in 1000 ms") << 1200.0 << 1000.0 << 1200.0;
        QTest::newRow("25 m in 7.5 ms") << 25.0 << 7.5 << 25.0 / 7.5 * 1000;
        QTest::newRow("flat: infinite") << 100.0 << 0.0 << qQNaN();
        QTest::newRow("falling time") << 100.0 << -5.0 << qQNaN();
        QTest::newRow("no offset, no time") << 0.0 << 0.0 << qQNaN();
    }
    void segmentVelocity()
    {
        QFETCH(double, dx);
        QFETCH(double, dt);
        QFETCH(double, velocity);
        FbQc::SideModel model;
        model.judged = true;
        model.segments = 2;
        model.measured = 0x3;
        model.knotOffset[1] = 50;
        model.knotTime[1] = 40;
        model.knotOffset[2] = 50 + dx;
        model.knotTime[2] = 40 + dt;
        const double v = ShotPlot::segmentVelocity(model, 1);
        if (std::isnan(velocity))
            QVERIFY2(std::isnan(v), qPrintable(QString::number(v)));
        else
            QCOMPARE(v, velocity);
    }

    // On a line whose picks follow its hills the curve and the picks are
    // drawn in one view: where the direct arrival keeps its times as picked
    // and the refractors are taken to the source's height, every drawn pick
    // (a rejected one too, at a crossover as well) lies on its side's curve
    // within a sample, in time or reduced time, and the time axis names the
    // view. On steep hills the fit leaves far picks off by more, which
    // their receivers' own heights tell apart from their neighbours'.
    void hillShotDrawnInOneView_data()
    {
        QTest::addColumn<int>("heights");
        QTest::addColumn<double>("reduction");
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("spacing");  // m between stations
        QTest::addColumn<double>("hills"); // m/s of the topography's delay
        QTest::addColumn<QString>("yTitle");
        QTest::addColumn<double>("nearM"); // a rejected pick within this |offset| lies on the curve
        const QString reduced = QStringLiteral("Reduced time %1 t - |x| / 3000 m/s (ms)");
        // Close stations on steep hills, the shot at the line's end: the
        // direct arrival runs far up a hill.
        QTest::newRow("at the source's height, steep")
            << int(ShotPlot::AtSource) << 0.0 << 0 << 10 << 1500.0 << "Time at source height (ms)" << 150.0;
        QTest::newRow("as picked, steep")
            << int(ShotPlot::AsPicked) << 0.0 << 0 << 10 << 1500.0 << "Time as picked (ms)" << 150.0;
        QTest::newRow("at the source's height, reduced, mid-line")
            << int(ShotPlot::AtSource) << 3000.0 << 2 << 10 << 1500.0 << reduced.arg("at source height") << 150.0;
        QTest::newRow("as picked, reduced, mid-line")
            << int(ShotPlot::AsPicked) << 3000.0 << 2 << 10 << 1500.0 << reduced.arg("as picked") << 150.0;
        QTest::newRow("at the source's height, gentle")
            << int(ShotPlot::AtSource) << 0.0 << 3 << 25 << 2000.0 << "Time at source height (ms)" << qInf();
    }
    void hillShotDrawnInOneView()
    {
        QFETCH(int, heights);
        QFETCH(double, reduction);
        QFETCH(int, shot);
        QFETCH(int, spacing);
        QFETCH(double, hills);
        QFETCH(QString, yTitle);
        QFETCH(double, nearM);
        FbGenerator::Options o;
        o.shots = 5;
        o.channels = 120;
        o.groupInterval = spacing;
        o.seed = 2;
        o.noiseMs = 0.0;
        o.elevationVelocity = hills;
        const QVector<FbRecord> records = FbGenerator::shotRecords(o, shot);
        const FbQc::ShotFit fit = FbQc::fitShot(records);
        QVERIFY(ShotPlot::hasHeights(fit));
        ShotPlot plot;
        plot.setReductionVelocity(reduction);
        plot.setHeights(ShotPlot::Heights(heights));
        plot.setShot(records, fit, shot, 1001 + shot);
        QCOMPARE(plot.axisTitle(QwtPlot::yLeft).text(), yTitle);

        // The model's polyline of each side, in plot coordinates; both start
        // at offset 0 with a direct arrival.
        QVector<QPointF> curves[2];
        for (const QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotCurve)) {
            const auto *curve = static_cast<const QwtPlotCurve *>(item);
            if (curve->title().text() != QLatin1String("Fitted curve") || curve->dataSize() == 0)
                continue;
            const int side = curve->boundingRect().left() < 0 ? 0 : 1;
            for (size_t k = 0; k < curve->dataSize(); ++k)
                curves[side].append(curve->sample(int(k)));
        }
        auto curveAt = [&curves](double x) {
            QVector<QPointF> &c = curves[x < 0 ? 0 : 1];
            std::sort(c.begin(), c.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
            for (int k = 1; k < c.size(); ++k) {
                if (c.at(k).x() >= x && c.at(k - 1).x() <= x && c.at(k).x() > c.at(k - 1).x())
                    return c.at(k - 1).y() +
                           (c.at(k).y() - c.at(k - 1).y()) * (x - c.at(k - 1).x()) / (c.at(k).x() - c.at(k - 1).x());
            }
            return qQNaN();
        };
        // A judged pick stands off the curve by its residual anywhere; a
        // rejected one, taken as the fit takes its neighbours, lies on it.
        constexpr double SampleMs = 0.5, RoundingMs = 0.05;
        int judged = 0;
        for (int row = 0; row < records.size(); ++row) {
            const QPointF p = plot.pickPoint(row);
            const PickVerdict &v = fit.picks.at(row);
            if (!fit.sides[v.side].judged || records.at(row).offset == 0 || !qIsFinite(p.y()))
                continue;
            judged += v.judged ? 1 : 0;
            if (!v.judged && std::abs(p.x()) > nearM)
                continue;
            const double off = p.y() - curveAt(p.x());
            QVERIFY2(v.judged ? std::abs(off - v.residual) <= RoundingMs : std::abs(off) <= SampleMs,
                     qPrintable(QStringLiteral("channel %1 at %2 m, status %3: pick %4 ms, curve %5 ms")
                                    .arg(records.at(row).channel)
                                    .arg(p.x())
                                    .arg(records.at(row).fb_status)
                                    .arg(p.y())
                                    .arg(curveAt(p.x()))));
        }
        QVERIFY2(judged >= 60, qPrintable(QString::number(judged)));
    }

    // Coordinates in plain digits with thousands grouping, as many decimals
    // as the ticks need, under axis titles that name the unit; as many
    // easting labels as the map's width holds, a digit or more apart.
    void mapAxisLabels_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width"); // of the map, px
        QTest::newRow("UTM northing") << 4100000.0 << 4110000.0 << 4104000.0 << "4,104,000" << 700;
        QTest::newRow("one million exactly") << 990000.0 << 1010000.0 << 1000000.0 << "1,000,000" << 700;
        QTest::newRow("half-metre ticks") << 1000000.0 << 1000003.0 << 1000001.5 << "1,000,001.5" << 1000;
        QTest::newRow("negative") << -3000.0 << 3000.0 << -2000.0 << "-2,000" << 700;
        QTest::newRow("UTM easting, narrow map") << 4100000.0 << 4110000.0 << 4104000.0 << "4,104,000" << 360;
    }
    void mapAxisLabels()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(int, width);
        SurveyMap map;
        QVERIFY(FbTest::shown(&map, {width, 400}));
        for (const int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
            map.setAxisScale(axis, lower, upper);
            map.replot();
            QCOMPARE(map.axisScaleDraw(axis)->label(value).text(), text);
            const QString title = map.axisTitle(axis).text();
            QVERIFY2(title.endsWith(QLatin1String(" (m)")), qPrintable(title));
        }
        const QwtScaleMap xMap = map.canvasMap(QwtPlot::xBottom);
        const QFontMetricsF metrics(map.axisWidget(QwtPlot::xBottom)->font());
        double previousRight = -qInf();
        for (const double tick : map.axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick)) {
            const QString label = map.axisScaleDraw(QwtPlot::xBottom)->label(tick).text();
            const double half = metrics.horizontalAdvance(label) / 2, at = xMap.transform(tick);
            QVERIFY2(at - half >= previousRight + metrics.horizontalAdvance(QLatin1Char('0')),
                     qPrintable(label + QStringLiteral(" runs into the label before")));
            previousRight = at + half;
        }
    }

    // A count has a stepped bar with whole-number ticks; a measure a smooth
    // one; a signed measure one centred on 0, blue below and red above.
    void mapColourBarFollowsTheKind_data()
    {
        QTest::addColumn<SurveyValues::Kind>("kind");
        QTest::addColumn<QVector<float>>("values");
        QTest::addColumn<QVector<double>>("sameColour");  // pairs of values
        QTest::addColumn<QVector<double>>("otherColour"); // pairs of values
        QTest::addColumn<QList<double>>("ticks");         // of a count; empty: not checked
        QVector<float> upTo40;
        for (int k = 0; k <= 40; ++k)
            upTo40 << float(k);
        QTest::newRow("outliers 0..3") << SurveyValues::Count << QVector<float>{0, 3, 1, 2, 0, float(qQNaN())}
                                       << QVector<double>{0.6, 1.4} << QVector<double>{1.4, 1.6, 2.0, 3.0}
                                       << QList<double>{0, 1, 2, 3};
        QTest::newRow("counts 0..40 in fives")
            << SurveyValues::Count << upTo40 << QVector<double>{5, 9} << QVector<double>{4, 5, 35, 40}
            << QList<double>{0, 5, 10, 15, 20, 25, 30, 35, 40, 45};
        // No outliers anywhere: still a scale of two steps, not one block.
        QTest::newRow("no outliers") << SurveyValues::Count << QVector<float>{0, 0, 0} << QVector<double>{-0.4, 0.4}
                                     << QVector<double>{0, 1} << QList<double>{0, 1};
        QTest::newRow("picks 47 and 48") << SurveyValues::Count << QVector<float>{48, 47, 48}
                                         << QVector<double>{48, 48.4} << QVector<double>{47, 48}
                                         << QList<double>{47, 48};
        QTest::newRow("rms 0..2.5") << SurveyValues::Continuous << QVector<float>{0.5f, 2.5f, 1.0f} << QVector<double>()
                                    << QVector<double>{1.0, 1.1, 0.0, 2.5} << QList<double>();
        QTest::newRow("timing error -3..5") << SurveyValues::Signed << QVector<float>{-3, 0, 5} << QVector<double>()
                                            << QVector<double>{-2, 2, -0.5, 0} << QList<double>();
    }
    void mapColourBarFollowsTheKind()
    {
        QFETCH(SurveyValues::Kind, kind);
        QFETCH(QVector<float>, values);
        QFETCH(QVector<double>, sameColour);
        QFETCH(QVector<double>, otherColour);
        QFETCH(QList<double>, ticks);
        QVector<SurveyPoint> sources = lineSources(values.size());
        SurveyMap map;
        map.setSurvey(SurveyMapData::build(sources, {}));
        map.setValues({kind, QStringLiteral("value"), values});
        const QwtScaleWidget *bar = map.axisWidget(QwtPlot::yRight);
        const QwtInterval interval = bar->colorBarInterval();
        const auto colour = [&](double v) { return bar->colorMap()->color(interval, v); };
        for (int k = 0; k + 1 < sameColour.size(); k += 2)
            QVERIFY2(colour(sameColour.at(k)) == colour(sameColour.at(k + 1)),
                     qPrintable(QStringLiteral("%1 and %2 differ").arg(sameColour.at(k)).arg(sameColour.at(k + 1))));
        for (int k = 0; k + 1 < otherColour.size(); k += 2)
            QVERIFY2(
                colour(otherColour.at(k)) != colour(otherColour.at(k + 1)),
                qPrintable(QStringLiteral("%1 and %2 look alike").arg(otherColour.at(k)).arg(otherColour.at(k + 1))));
        if (!ticks.isEmpty())
            QCOMPARE(map.axisScaleDiv(QwtPlot::yRight).ticks(QwtScaleDiv::MajorTick), ticks);
        if (kind == SurveyValues::Signed) {
            QCOMPARE(interval.minValue(), -interval.maxValue());
            QVERIFY(colour(-2).blue() > colour(-2).red() && colour(2).red() > colour(2).blue());
        }
    }

    // A shot whose value stands out is drawn on top of the others at its
    // place, however the file orders them, and at least 6 pixels across; the
    // line itself runs across the middle of the canvas, not along an edge.
    // A receiver off the shots' line is a dot of a few pixels, in sight.
    // The shot under the mouse (of a pile, the one on top) is found, and
    // its tool tip gives its number, its position and what the caller says
    // of it.
    void mapDrawsProblemShotsOnTop_data()
    {
        QTest::addColumn<SurveyValues::Kind>("kind");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("problem"); // which of the 20 shots at one place
        QTest::newRow("outliers, first of the pile") << SurveyValues::Count << 3.0f << 0;
        QTest::newRow("outliers, last of the pile") << SurveyValues::Count << 3.0f << 19;
        QTest::newRow("a signed value, mid-pile") << SurveyValues::Signed << -4.0f << 10;
    }
    void mapDrawsProblemShotsOnTop()
    {
        QFETCH(SurveyValues::Kind, kind);
        QFETCH(float, value);
        QFETCH(int, problem);
        // 20 shots at one place among 300 on a line; every other value 0
        // but one, which sets the top of the scale.
        QVector<SurveyPoint> sources = lineSources(300);
        QVector<float> values(300, 0.0f);
        for (int k = 0; k < 20; ++k)
            sources[100 + k] = sources.at(150);
        sources[7] = SurveyPoint{float(qQNaN()), 4100000.0f};
        values[200] = 5.0f;
        values[100 + problem] = value;
        const SurveyPoint receiver{sources.first().x - 30, sources.first().y};
        SurveyMap map;
        QVERIFY(FbTest::shown(&map, {700, 500}));
        map.setSurvey(SurveyMapData::build(sources, {receiver}));
        map.setValues({kind, QStringLiteral("value"), values});
        map.setShotDescriber([](int shot) { return QStringLiteral("ffid %1").arg(5001 + shot); });
        for (const int shot : {0, 57, 299})
            QCOMPARE(map.shotAt(map.canvasPosOf(shot)), shot);
        QCOMPARE(map.shotAt(QPoint(3, 3)), -1);
        QCOMPARE(map.shotText(57), QStringLiteral("Shot 58\nx 512,057.00, y 4,100,000.00\nffid 5058"));
        const QImage image = map.canvas()->grab().toImage();
        const QPoint centre = map.canvasPosOf(100 + problem);
        // A click there picks the shot drawn on top.
        QCOMPARE(map.shotAt(centre), 100 + problem);
        const QwtScaleWidget *bar = map.axisWidget(QwtPlot::yRight);
        const QColor expected = bar->colorMap()->color(bar->colorBarInterval(), value);
        const auto near = [&](int x) {
            const QColor c = image.pixelColor(x, centre.y());
            return std::abs(c.red() - expected.red()) + std::abs(c.green() - expected.green()) +
                       std::abs(c.blue() - expected.blue()) <
                   40;
        };
        int across = 0;
        for (int x = centre.x() - 10; x <= centre.x() + 10; ++x)
            across += near(x) ? 1 : 0;
        QVERIFY2(near(centre.x()), qPrintable(image.pixelColor(centre).name() + " is not " + expected.name()));
        QVERIFY2(across >= 6, qPrintable(QStringLiteral("%1 pixels across").arg(across)));
        const QPoint dot(int(map.canvasMap(QwtPlot::xBottom).transform(receiver.x)), centre.y());
        int grey = 0;
        for (int x = dot.x() - 4; x <= dot.x() + 4; ++x) {
            for (int y = dot.y() - 4; y <= dot.y() + 4; ++y)
                grey += image.pixelColor(x, y).lightness() < 200 ? 1 : 0;
        }
        QVERIFY2(grey >= 7, qPrintable(QStringLiteral("a receiver of %1 pixels").arg(grey)));
        QVERIFY2(std::abs(centre.y() - map.canvas()->height() / 2) <= 2,
                 qPrintable(QStringLiteral("line at y %1 of %2").arg(centre.y()).arg(map.canvas()->height())));
    }

    // A survey of millions of points is drawn on a worker: once it arrives
    // the canvas is the one drawn in place, for the survey and for each
    // colouring after it (the second of the same range, under the same
    // colour bar, changes only the sources' colours).
    void mapDrawnOffThreadMatches_data()
    {
        QTest::addColumn<QVector<int>>("shifts"); // of the counts along the line, set in turn
        QTest::newRow("survey only") << QVector<int>();
        QTest::newRow("counts, then the same counts moved along") << QVector<int>{0, 3};
    }
    void mapDrawnOffThreadMatches()
    {
        QFETCH(QVector<int>, shifts);
        const QVector<SurveyPoint> sources = lineSources(600000);
        QVector<float> values;
        // A map drawn in place with no earlier state: what the other must show.
        const auto expected = [&] {
            SurveyMap map;
            map.resize(500, 400);
            map.show();
            map.setSurvey(SurveyMapData::build(sources, {}));
            if (!values.isEmpty())
                map.setValues({SurveyValues::Count, QStringLiteral("outliers"), values});
            return map.canvas()->grab().toImage();
        };
        SurveyMap map;
        map.setDrawnOffThread(true);
        QVERIFY(FbTest::shown(&map, {500, 400}));
        map.setSurvey(SurveyMapData::build(sources, {}));
        QImage wanted = expected();
        QTRY_VERIFY_WITH_TIMEOUT(map.canvas()->grab().toImage() == wanted, 20000);
        for (const int shift : shifts) {
            values.resize(sources.size());
            for (int k = 0; k < values.size(); ++k)
                values[k] = float((k / 20000 + shift) % 7); // bands wider than a pixel
            map.setValues({SurveyValues::Count, QStringLiteral("outliers"), values});
            wanted = expected();
            QTRY_VERIFY_WITH_TIMEOUT(map.canvas()->grab().toImage() == wanted, 20000);
        }
    }

    // Written whole in the asked format (through a link, which stays one),
    // or refused with a sentence that starts with the name and says why,
    // and nothing written; never a Qt message. An image keeps the plot's
    // shape within 1:4..4:1 and each side within 200..8000 pixels, however
    // the plot was squeezed.
    void exportWritesOrRefuses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("linkTo");   // the name is a link to this, when given
        QTest::addColumn<QByteArray>("magic"); // of the written file; empty: refused
        QTest::addColumn<QString>("why");      // in the refusal
        QTest::addColumn<QSize>("shown");      // the plot's size; invalid: as made
        QTest::addColumn<QSize>("pixels");     // of the image; invalid: not checked
        const QByteArray png("\x89PNG");
        QTest::newRow("png of a pane of 600 x 400")
            << "plot.png" << QString() << png << QString() << QSize(600, 400) << QSize(1200, 800);
        QTest::newRow("png of a plot never shown")
            << "plot.png" << QString() << png << QString() << QSize(0, 0) << QSize(1200, 800);
        QTest::newRow("png wider than the bound")
            << "plot.png" << QString() << png << QString() << QSize(20000, 100) << QSize(8000, 2000);
        QTest::newRow("svg") << "plot.svg" << QString() << QByteArray("<?xml") << QString() << QSize() << QSize();
        QTest::newRow("pdf in upper case")
            << "plot.PDF" << QString() << QByteArray("%PDF") << QString() << QSize() << QSize();
        QTest::newRow("png through a link, squeezed to 1 pixel wide")
            << "link.png"
            << "target.png" << png << QString() << QSize(1, 525600) << QSize(1200, 4800);
        QTest::newRow("svg through a link") << "link.svg"
                                            << "target.svg" << QByteArray("<?xml") << QString() << QSize() << QSize();
        QTest::newRow("pdf through a link") << "link.pdf"
                                            << "target.pdf" << QByteArray("%PDF") << QString() << QSize() << QSize();
        QTest::newRow("a link to a file not yet there, a thin strip")
            << "new.png"
            << "made/new.png" << png << QString() << QSize(3000, 2) << QSize(3000, 750);
        QTest::newRow("a folder") << "folder.svg" << QString() << QByteArray() << "is a folder" << QSize() << QSize();
        QTest::newRow("a link to a folder") << "tofolder.png"
                                            << "folder.svg" << QByteArray() << "is a folder" << QSize() << QSize();
        QTest::newRow("jpeg") << "plot.jpg" << QString() << QByteArray() << "must end in .png, .svg or .pdf" << QSize()
                              << QSize();
        QTest::newRow("no such folder") << "missing/plot.png" << QString() << QByteArray() << "does not exist"
                                        << QSize() << QSize();
        QTest::newRow("a file for a folder")
            << "plot.svg/inner.png" << QString() << QByteArray() << "does not exist" << QSize() << QSize();
    }
    void exportWritesOrRefuses()
    {
        QFETCH(QString, name);
        QFETCH(QString, linkTo);
        QFETCH(QByteArray, magic);
        QFETCH(QString, why);
        QFETCH(QSize, shown);
        QFETCH(QSize, pixels);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.svg")) && QDir(dir.path()).mkpath("made"));
        QVERIFY(FbTest::writeFile(dir.filePath(QStringLiteral("plot.svg")), "an old file"));
        const QString path = dir.filePath(name);
        if (!linkTo.isEmpty())
            QVERIFY(QFile::link(dir.filePath(linkTo), path));
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        ShotPlot plot;
        const QVector<FbRecord> records = refractionShot(false, true);
        plot.setShot(records, FbQc::fitShot(records), 0, 1040);
        if (shown.isValid())
            plot.resize(shown);

        ImageExport image;
        bool written = false;
        {
            MessageCatcher catcher;
            written = image.write(&plot, path, ImageExport::sizeFor(plot.size()));
            QVERIFY2(MessageCatcher::caught().isEmpty(), qPrintable(MessageCatcher::caught().join('\n')));
        }
        QCOMPARE(written, !magic.isEmpty());
        QCOMPARE(image.errorString().isEmpty(), written);
        QVERIFY2(written || (image.errorString().startsWith(path) && image.errorString().contains(why)),
                 qPrintable(image.errorString()));
        const QString file = linkTo.isEmpty() ? path : dir.filePath(linkTo);
        if (written) {
            QCOMPARE(FbTest::contents(file).left(magic.size()), magic);
            QCOMPARE(QFileInfo(path).isSymLink(), !linkTo.isEmpty());
        } else {
            QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
            QVERIFY(QDir(dir.filePath(QStringLiteral("folder.svg"))).isEmpty());
            QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("plot.svg"))).size(), qint64(11));
        }
        if (pixels.isValid()) {
            QCOMPARE(ImageExport::sizeFor(shown), pixels);
            QCOMPARE(QImage(file).size(), pixels);
        }
    }

    // A kept canvas image serves only the view and the content it was drawn
    // for: a pan, a zoom, a resized canvas or changed content draws anew.
    void canvasImageKeptForItsView_data()
    {
        QTest::addColumn<double>("x2");  // the x scale's end at the second paint (first: 100)
        QTest::addColumn<int>("width");  // the canvas's width at the second paint (first: 300)
        QTest::addColumn<bool>("clear"); // the content changed between the paints
        QTest::addColumn<bool>("drawn"); // the second paint draws again
        QTest::newRow("same view") << 100.0 << 300 << false << false;
        QTest::newRow("panned or zoomed") << 120.0 << 300 << false << true;
        QTest::newRow("canvas resized") << 100.0 << 200 << false << true;
        QTest::newRow("content changed") << 100.0 << 300 << true << true;
    }
    void canvasImageKeptForItsView()
    {
        QFETCH(double, x2);
        QFETCH(int, width);
        QFETCH(bool, clear);
        QFETCH(bool, drawn);
        const auto key = [](double end, int w) {
            QwtScaleMap x, y;
            x.setScaleInterval(0, end);
            y.setScaleInterval(0, 50);
            return ViewPlot::CanvasKey(x, y, QRect(0, 0, w, 200));
        };
        int draws = 0;
        const auto draw = [&] {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(++draws * 40, 255, 255));
            return image;
        };
        ViewPlot::CanvasCache cache;
        const QImage first = cache.image(key(100, 300), draw);
        if (clear)
            cache.clear();
        const QImage second = cache.image(key(x2, width), draw);
        QCOMPARE(draws, drawn ? 2 : 1);
        QCOMPARE(second == first, !drawn);
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
