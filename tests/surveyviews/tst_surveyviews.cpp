// The survey-wide views as a user meets them: a late receiver standing out
// among all receivers, a late shot's row and column in the image of
// reciprocal differences, each pick's residual at its shot and station read
// on a worker thread, the window's tabs going to what was clicked, and
// fbtool drawing them.

#include "fbpickqcwindow.h"
#include "shottablemodel.h"
#include <fbfile/fbgenerator.h>
#include <fbview/stationaxis.h>
#include <fbview/stationresidualview.h>
#include <fbview/stationshotbuilder.h>
#include <fbview/stationshotview.h>
#include <fbview/surveymap.h>

#include "fbtestfile.h"
#include "fbtoolrun.h"
#include "shownwidget.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <memory>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// A line of Shots shots, sources on every other receiver station, split
// spreads of Channels channels 25 m apart and times of a two-layer
// refraction without noise, with what a test plants.
constexpr int Shots = 40, Channels = 48;

struct Plan
{
    int lateShot = -1; // every pick of it late by shotDelay
    double shotDelay = 0.0;
    int lateStation = -1; // every pick at it late by stationDelay
    double stationDelay = 0.0;
    int spikeShot = -1; // one pick of it late by 20 ms, at spikeStation
    int spikeStation = -1;
    bool stationsUnset = false; // every station number 0
    bool twoLines = false;      // the second half of the shots on a receiver line 1 km north
    bool between = false;       // sources halfway to the next station, on a source line of their own
    bool slanted = false;       // the line at bearing 3-4-5 instead of east
};

int lineOf(const Plan &plan, int shot)
{
    return plan.twoLines && shot >= Shots / 2 ? 2 : 1;
}

// Where a station of a receiver line lies.
QPointF placeOf(const Plan &plan, double station, int line)
{
    return plan.slanted ? QPointF(5000 + 20.0 * station, 9000 + 15.0 * station)
                        : QPointF(25.0 * station, 1000.0 * line);
}

QVector<FbRecord> survey(const Plan &plan)
{
    QVector<FbRecord> records;
    for (int s = 0; s < Shots; ++s) {
        const int line = lineOf(plan, s);
        const int source = plan.twoLines ? 60 + 2 * (s % (Shots / 2)) : 30 + 2 * s;
        const double sourcePlace = source + (plan.between ? 0.5 : 0.0);
        const auto place = [&](double station) { return placeOf(plan, station, line); };
        for (int c = 0; c < Channels; ++c) {
            const int station = source - Channels / 2 + c;
            FbRecord r;
            r.ffid = 3001 + s;
            r.channel = c + 1;
            r.fb_no = int(records.size());
            r.offset = qRound(25 * (station - sourcePlace));
            r.source_x = float(place(sourcePlace).x());
            r.source_y = float(place(sourcePlace).y());
            r.group_x = float(place(station).x());
            r.group_y = float(place(station).y());
            r.s_line = plan.stationsUnset ? 0 : plan.between ? line + 1 : line;
            r.g_line = plan.stationsUnset ? 0 : line;
            r.s_stat = plan.stationsUnset ? 0 : plan.between ? 9000 + s : source;
            r.g_stat = plan.stationsUnset ? 0 : station;
            const double x = std::abs(r.offset);
            r.fb_time = float(std::min(x / 1.2, 125.0 + x / 3.0));
            if (s == plan.lateShot)
                r.fb_time += float(plan.shotDelay);
            if (station == plan.lateStation && line == lineOf(plan, Shots - 1))
                r.fb_time += float(plan.stationDelay);
            if (s == plan.spikeShot && station == plan.spikeStation)
                r.fb_time += 20.0f;
            records.append(r);
        }
    }
    return records;
}

// The survey written to a folder of its own and judged, receivers collected.
struct Judged
{
    QTemporaryDir dir; // where file lies, removed with the result
    QString file;
    QVector<FbRecord> records;
    FbQc::Report report;
    StationAxis axis;
};

// judged->records written to its folder as name and judged.
bool judgeRecords(const QString &name, Judged *judged)
{
    judged->file = judged->dir.filePath(name);
    if (!FbTest::writeFile(judged->file, FbTest::fileBytes(judged->records, FbTest::headerFor(judged->records))))
        return false;
    FbQc::Settings settings;
    settings.collectReceivers = true;
    if (!FbQc::Analyzer(judged->file, settings).run(&judged->report))
        return false;
    judged->axis = StationAxis::build(judged->report);
    return true;
}

bool judge(const Plan &plan, Judged *judged)
{
    judged->records = survey(plan);
    return judgeRecords(QStringLiteral("survey.fb"), judged);
}

// How near two colours are.
int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The station of a receiver of an east-west line, whether the file sets
// stations or not.
int stationOf(const FbRecord &r)
{
    return qRound(r.group_x / 25.0f);
}

// Lines 1 km apart of the survey's shots, Copies times over, written
// and judged: many shots, each with the partners of its own line.
constexpr int Copies = 60;
bool judgeLongSurvey(Judged *judged)
{
    for (int copy = 0; copy < Copies; ++copy) {
        for (FbRecord r : survey(Plan())) {
            r.ffid = 1000 + judged->records.size() / Channels;
            r.s_line = r.g_line = copy + 1;
            r.source_y = r.group_y = 1000.0f * (copy + 1);
            judged->records.append(r);
        }
    }
    return judgeRecords(QStringLiteral("long.fb"), judged) && judged->report.index().size() == Copies * Shots;
}

} // namespace

Q_DECLARE_METATYPE(std::shared_ptr<const StationShotCells>)

class TestSurveyViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        qRegisterMetaType<std::shared_ptr<const StationShotCells>>();
    }

    // A 3-D patch fires along source lines across the receiver lines, so
    // consecutive shots lie on different lines: a source's column is as wide
    // as the sources of one line lie apart, not as the hop between lines.
    // The receiver lines lie side by side, a few empty columns apart (seen,
    // yet leaving the stations the room), and the station axis's ticks read
    // round stations of their own line, rising along it, as many as the
    // view's width holds without two labels running together. The lines'
    // names stand above the canvas, never over its cells, each within its
    // line's part, as the view was resized to. A patch whose file leaves
    // line and station numbers unset is laid out alike, its lines told apart
    // by position and read by distance along them.
    void patchSourceColumns_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("shotInterval"); // stations between source lines
        QTest::addColumn<int>("shownAt");      // the view's width first, px
        QTest::addColumn<int>("width");        // then, px
        QTest::addColumn<int>("perLine");      // labels each line gets at least
        QTest::addColumn<bool>("stationsUnset");
        QTest::newRow("4 receiver lines, source lines every 6 stations") << 4 << 6 << 900 << 900 << 2 << false;
        QTest::newRow("8 receiver lines, source lines every 8 stations, wide") << 8 << 8 << 420 << 1600 << 2 << false;
        QTest::newRow("8 receiver lines, narrowed") << 8 << 8 << 600 << 500 << 0 << false;
        QTest::newRow("4 receiver lines, stations unset") << 4 << 6 << 900 << 900 << 2 << true;
    }
    void patchSourceColumns()
    {
        QFETCH(int, lines);
        QFETCH(int, shotInterval);
        QFETCH(int, shownAt);
        QFETCH(int, width);
        QFETCH(int, perLine);
        QFETCH(bool, stationsUnset);
        FbGenerator::Options o;
        o.shots = lines * 12;
        o.channels = lines * 24;
        o.receiverLines = lines;
        o.shotInterval = shotInterval;
        Judged judged;
        for (int shot = 0; shot < o.shots; ++shot)
            judged.records += FbGenerator::shotRecords(o, shot);
        if (stationsUnset) {
            for (FbRecord &r : judged.records)
                r.s_line = r.s_stat = r.g_line = r.g_stat = 0;
        }
        QVERIFY(judgeRecords(QStringLiteral("patch.fb"), &judged));
        // A station, or the distance between two.
        const double cell = stationsUnset ? o.groupInterval : 1.0;
        QVERIFY2(std::abs(judged.axis.cellWidth() - cell) < 0.01 * cell,
                 qPrintable(QString::number(judged.axis.cellWidth())));
        QVERIFY2(std::abs(judged.axis.sourceSpacing() - shotInterval * cell) < 0.01 * cell,
                 qPrintable(QString::number(judged.axis.sourceSpacing())));

        const StationAxis &axis = judged.axis;
        StationResidualView view;
        QVERIFY(FbTest::shown(&view, {shownAt, 400}));
        view.setAxis(axis);
        view.resize(width, 400);
        QTRY_COMPARE(view.width(), width);
        QCoreApplication::processEvents();
        const QList<double> ticks = view.axisScaleDiv(QwtPlot::xBottom).ticks(QwtScaleDiv::MajorTick);
        const QwtScaleMap map = view.canvasMap(QwtPlot::xBottom);
        const QFontMetricsF metrics(view.axisWidget(QwtPlot::xBottom)->font());
        const QVector<QPair<double, qint32>> starts = axis.lineStarts();
        QCOMPARE(starts.size(), lines);
        for (int l = 1; l < lines; ++l) {
            const int first = axis.lowerBound(starts.at(l).first);
            const double gap = axis.receiverAt(first) - axis.receiverAt(first - 1);
            const double before = axis.receiverAt(first - 1) - starts.at(l - 1).first + cell;
            QVERIFY2(gap >= 3 * cell && gap <= before / 10,
                     qPrintable(QStringLiteral("%1 of %2").arg(gap).arg(before)));
        }
        QVERIFY2(ticks.size() >= 3, qPrintable(QString::number(ticks.size())));
        qint64 previous = 0;
        int previousLine = -1;
        double previousRight = -qInf();
        QVector<int> labels(lines, 0);
        for (double tick : ticks) {
            const QString text = axis.label(tick);
            bool number = false;
            const qint64 station = QLocale().toLongLong(text, &number);
            QVERIFY2(number && station % 5 == 0, qPrintable(QStringLiteral("%1 at %2").arg(text).arg(tick)));
            int line = 0;
            while (line + 1 < starts.size() && starts.at(line + 1).first <= tick)
                ++line;
            QVERIFY2(line != previousLine || station > previous, qPrintable(text));
            // Each label clear of the one before.
            const double half = metrics.horizontalAdvance(text) / 2, at = map.transform(tick);
            QVERIFY2(at - half > previousRight, qPrintable(QStringLiteral("%1 runs into the label before").arg(text)));
            previousRight = at + half;
            previous = station;
            previousLine = line;
            ++labels[line];
        }
        for (int line = 0; line < lines; ++line)
            QVERIFY2(labels.at(line) >= perLine,
                     qPrintable(QStringLiteral("line %1: %2 labels").arg(line + 1).arg(labels.at(line))));
        for (const QwtPlotItem *item : view.itemList(QwtPlotItem::Rtti_PlotMarker))
            QVERIFY(static_cast<const QwtPlotMarker *>(item)->label().isEmpty());
        const QList<double> captions = view.axisScaleDiv(QwtPlot::xTop).ticks(QwtScaleDiv::MajorTick);
        QVERIFY(view.axisEnabled(QwtPlot::xTop));
        QVERIFY2(perLine == 0 || captions.size() == lines, qPrintable(QString::number(captions.size())));
        for (const double at : captions) {
            int line = 0;
            while (line + 1 < starts.size() && starts.at(line + 1).first <= at)
                ++line;
            const QString caption = view.axisScaleDraw(QwtPlot::xTop)->label(at).text();
            QCOMPARE(caption, QStringLiteral("Line %1").arg(starts.at(line).second));
            const double left = line > 0 ? map.transform(starts.at(line).first - 0.5) : map.p1();
            const double right = line + 1 < lines ? map.transform(starts.at(line + 1).first - 0.5) : map.p2();
            QVERIFY2(metrics.horizontalAdvance(caption) <= right - left,
                     qPrintable(QStringLiteral("%1 over %2 px").arg(caption).arg(right - left)));
        }
    }

    // Sources and picks lie at their stations (lines side by side), a source
    // between stations at a neighbouring one, and a line without stations
    // by the distance along it, however it runs. A receiver 3 ms late (or 4
    // early) in every shot is the one receiver beyond the threshold, drawn
    // in the colour of its sign at its place, and a click on it reports it.
    void receiverViewShowsALateReceiver_data()
    {
        QTest::addColumn<double>("delay");
        QTest::addColumn<bool>("stationsUnset");
        QTest::addColumn<bool>("between");
        QTest::addColumn<bool>("slanted");
        QTest::addColumn<bool>("twoLines");
        // The fit leans a little towards early picks: an early receiver
        // needs to be earlier to stand out as far.
        QTest::newRow("early, sources on stations") << -4.0 << false << false << false << false;
        QTest::newRow("late, sources between stations, on a line of their own")
            << 3.0 << false << true << false << false;
        QTest::newRow("late, on the second of two lines side by side") << 3.0 << false << false << false << true;
        QTest::newRow("late, stations unset: by distance") << 3.0 << true << false << false << false;
        QTest::newRow("late, stations unset, a slanted line") << 3.0 << true << false << true << false;
        QTest::newRow("late, stations unset, sources between") << 3.0 << true << true << true << false;
    }
    void receiverViewShowsALateReceiver()
    {
        QFETCH(double, delay);
        QFETCH(bool, stationsUnset);
        QFETCH(bool, between);
        QFETCH(bool, slanted);
        QFETCH(bool, twoLines);
        Plan plan;
        plan.lateStation = 77;
        plan.stationDelay = delay;
        plan.stationsUnset = stationsUnset;
        plan.between = between;
        plan.slanted = slanted;
        plan.twoLines = twoLines;
        Judged judged;
        QVERIFY(judge(plan, &judged));
        const StationAxis &axis = judged.axis;
        // Where station k lies: its number, or its distance from the first receiver.
        const int firstStation = twoLines ? 36 : 6;
        const auto expected = [&](double station) { return stationsUnset ? 25 * (station - firstStation) : station; };
        const auto placed = [&](double coordinate, int line) {
            if (stationsUnset)
                return coordinate;
            const QString text = axis.describe(coordinate);
            const QString prefix =
                twoLines ? QStringLiteral("line %1, station ").arg(line) : QStringLiteral("station ");
            return text.startsWith(prefix) ? text.mid(prefix.size()).toDouble() : qQNaN();
        };
        QCOMPARE(axis.cellWidth(), stationsUnset ? 25.0 : 1.0);
        QCOMPARE(axis.sourceSpacing(), 2 * axis.cellWidth());
        for (int s = 0; s < Shots; ++s) {
            const double source = (twoLines ? 60 + 2 * (s % (Shots / 2)) : 30 + 2 * s) + (between ? 0.5 : 0.0);
            const double shown = placed(axis.sourceAt(s), lineOf(plan, s));
            // Between two stations, at one of them.
            const double off = between && !stationsUnset ? 0.5 : 0.0;
            QVERIFY2(std::abs(std::abs(shown - expected(source)) - off) < 1e-3,
                     qPrintable(QStringLiteral("shot %1 at %2").arg(s).arg(shown)));
        }
        for (const FbRecord &r : qAsConst(judged.records)) {
            const double along = slanted ? (r.group_x - 5000) / 20.0 : r.group_x / 25.0;
            const double station = stationsUnset ? along : r.g_stat;
            const double shown = placed(axis.pickAt(r), r.g_line);
            QVERIFY2(std::abs(shown - expected(station)) < 1e-3, qPrintable(QString::number(shown)));
        }
        QCOMPARE(axis.kind(), stationsUnset ? StationAxis::Distance : StationAxis::Stations);

        StationResidualView view;
        QVERIFY(FbTest::shown(&view, {900, 500}));
        view.setAxis(axis);
        view.setThreshold(2.0);
        const int line = twoLines ? 2 : 1;
        int late = -1, beyond = 0;
        for (int k = 0; k < axis.receivers().size(); ++k) {
            const FbQc::StationResidual &r = axis.receivers().at(k);
            if (QPointF(r.x, r.y) == placeOf(plan, plan.lateStation, line))
                late = k;
            beyond += view.standsOut(k) ? 1 : 0;
        }
        QVERIFY(late >= 0);
        QVERIFY2(view.standsOut(late) && beyond == 1, qPrintable(QStringLiteral("%1 beyond").arg(beyond)));

        const QPoint at = view.canvasPosOf(late);
        const QImage image = view.canvas()->grab().toImage();
        const QColor colour = delay > 0 ? StationViews::late() : StationViews::early();
        QVERIFY2(distance(image.pixelColor(at), colour) < 60, qPrintable(image.pixelColor(at).name()));
        // Above the zero line when late.
        QCOMPARE(at.y() < view.canvasMap(QwtPlot::yLeft).transform(0.0), delay > 0);
        if (twoLines) {
            // Every receiver of line 2 right of every one of line 1.
            double lastOfLine1 = -qInf(), firstOfLine2 = qInf();
            for (int k = 0; k < axis.receivers().size(); ++k) {
                const double x = view.canvasMap(QwtPlot::xBottom).transform(axis.receiverAt(k));
                (axis.receivers().at(k).line == 1 ? lastOfLine1 : firstOfLine2) =
                    axis.receivers().at(k).line == 1 ? qMax(lastOfLine1, x) : qMin(firstOfLine2, x);
            }
            QVERIFY2(lastOfLine1 < firstOfLine2,
                     qPrintable(QStringLiteral("%1 %2").arg(lastOfLine1).arg(firstOfLine2)));
        }

        // Its tool tip names it: by station, or where it lies (71 stations
        // of 25 m on) when the file's numbers are all 0.
        QCOMPARE(view.receiverText(view.receiverAt(at)).section(QLatin1Char('\n'), 0, 0),
                 stationsUnset ? QStringLiteral("Receiver: 1,775.0 along the line")
                               : QStringLiteral("Receiver line %1, station %2").arg(line).arg(plan.lateStation));
        QSignalSpy clicked(&view, &StationResidualView::receiverClicked);
        QTest::mouseClick(view.canvas(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), late);
        QCOMPARE(clicked.at(0).at(1).toInt(), stationsUnset ? 0 : line);
        QCOMPARE(clicked.at(0).at(2).toInt(), stationsUnset ? 0 : plan.lateStation);
    }

    // Every pair of a late shot puts its row in the colour of its delay and
    // its source's column in the other, and leaves every other cell near 0.
    // A buried source's early refractions are coloured as the pair check
    // judged them, its depth taken into account.
    void differencesMarkALateShot_data()
    {
        QTest::addColumn<double>("delay");
        QTest::addColumn<double>("depthMs"); // what the late shot's depth makes its refractions early by
        QTest::addColumn<bool>("stationsUnset");
        QTest::newRow("a late shot") << 6.0 << 0.0 << false;
        QTest::newRow("an early shot") << -6.0 << 0.0 << false;
        QTest::newRow("a late shot, stations unset") << 6.0 << 0.0 << true;
        QTest::newRow("a buried source") << -6.0 << 6.0 << false;
    }
    void differencesMarkALateShot()
    {
        QFETCH(double, delay);
        QFETCH(double, depthMs);
        QFETCH(bool, stationsUnset);
        Plan plan;
        plan.lateShot = 17;
        plan.shotDelay = delay;
        plan.stationsUnset = stationsUnset;
        Judged judged;
        QVERIFY(judge(plan, &judged));
        // Every pair past the crossover, so corrected.
        judged.report.setUpholeTimes({{plan.lateShot, float(depthMs), 0.0f}});
        const double judgedDelay = delay + depthMs;
        StationShotView view;
        QVERIFY(FbTest::shown(&view, {900, 700}));
        view.setSurvey(judged.axis, judged.report.index());
        view.setDifferences(judged.report);
        const QImage image = view.canvas()->grab().toImage();

        int inRow = 0, inColumn = 0;
        for (const FbQc::ReciprocalPair &pair : qAsConst(judged.report.pairs())) {
            for (const auto &cell : {std::make_pair(pair.shotA, pair.shotB), std::make_pair(pair.shotB, pair.shotA)}) {
                const QPoint at = view.canvasPosOf(cell.first, judged.axis.sourceAt(cell.second));
                const StationShotView::Cell shown = view.cellAt(at);
                QCOMPARE(shown.shot, cell.first);
                QCOMPARE(shown.partner, cell.second);
                const double sign = cell.first == plan.lateShot ? 1 : cell.second == plan.lateShot ? -1 : 0;
                const QString where = QStringLiteral("shot %1 at the source of %2: %3 ms")
                                          .arg(cell.first)
                                          .arg(cell.second)
                                          .arg(shown.value);
                if (sign == 0) {
                    QVERIFY2(std::abs(shown.value) < 1.0, qPrintable(where));
                    continue;
                }
                QVERIFY2(std::abs(shown.value - sign * judgedDelay) < 1.0, qPrintable(where));
                const QColor expected = judgedDelay == 0  ? StationViews::diverging(0, 1)
                                        : shown.value > 0 ? StationViews::late()
                                                          : StationViews::early();
                QVERIFY2(distance(image.pixelColor(at), expected) < 60, qPrintable(where));
                (sign > 0 ? inRow : inColumn) += 1;
            }
        }
        QVERIFY2(inRow >= 10 && inRow == inColumn, qPrintable(QStringLiteral("%1 %2").arg(inRow).arg(inColumn)));
        // The tool tip of the late shot's cell at the source of shot 15.
        const QString place = stationsUnset ? QStringLiteral("1,350.0 along the line") : QStringLiteral("station 60");
        QCOMPARE(view.cellText(view.cellAt(view.canvasPosOf(plan.lateShot, judged.axis.sourceAt(15)))),
                 QStringLiteral("Shot 18 > ffid 3018\n%1, the source of shot 16 > ffid 3016\n"
                                "Reciprocal difference: %2")
                     .arg(place, depthMs > 0 ? "0.00 ms for the sources' depths (-6.00 ms as picked)"
                                 : delay > 0 ? "6.00 ms"
                                             : "-6.00 ms"));
    }

    // Each judged pick's residual lies at its own shot and station, only the
    // shots asked for have cells, and a planted 20 ms spike shows there.
    void residualCellsAtTheirShotAndStation_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("stationsUnset");
        QTest::newRow("shots in the middle") << 10 << 29 << false;
        QTest::newRow("past the last shot") << 30 << 60 << false;
        QTest::newRow("stations unset") << 15 << 25 << true;
    }
    void residualCellsAtTheirShotAndStation()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(bool, stationsUnset);
        Plan plan;
        plan.spikeShot = 20;
        plan.spikeStation = 60;
        plan.stationsUnset = stationsUnset;
        Judged judged;
        QVERIFY(judge(plan, &judged));
        const StationShotCells cells =
            StationShotBuilder::build(judged.file, judged.report.index(), judged.axis, FbQc::Settings(), first, last);
        QCOMPARE(cells.firstShot, first);
        QCOMPARE(cells.lastShot, qMin(last, Shots - 1));
        int spikes = 0;
        for (int shot = cells.firstShot; shot <= cells.lastShot; ++shot) {
            const ShotIndexEntry &entry = judged.report.index().at(shot);
            QVERIFY(cells.end(shot) - cells.begin(shot) >= Channels - 2);
            for (const StationShotCells::Cell *c = cells.begin(shot); c != cells.end(shot); ++c) {
                QVERIFY(c->record >= entry.firstRecord && c->record <= entry.lastRecord);
                const FbRecord &r = judged.records.at(c->record);
                const double place = stationsUnset ? r.group_x - 25.0 * 6 : r.g_stat;
                QVERIFY2(std::abs(c->coordinate - place) < 1e-3, qPrintable(QString::number(c->coordinate)));
                const bool spike = shot == plan.spikeShot && stationOf(r) == plan.spikeStation;
                QVERIFY2(std::abs(c->value - (spike ? 20.0 : 0.0)) < 1.0, qPrintable(QString::number(c->value)));
                spikes += spike ? 1 : 0;
            }
        }
        QCOMPARE(spikes, plan.spikeShot >= first && plan.spikeShot <= last ? 1 : 0);
    }

    // The builder reads on a thread of its own, so that the window's event
    // loop keeps turning, and of requests in a row only the last is delivered.
    void residualsBuiltOffTheUiThreadLatestWins()
    {
        // Many shots, so that a build takes a while.
        Judged judged;
        QVERIFY(judgeLongSurvey(&judged));
        const QString &file = judged.file;
        const FbQc::Report &report = judged.report;
        const FbQc::Settings settings;

        StationShotBuilder builder;
        builder.setSource(file, report.index(), judged.axis, settings);
        QSignalSpy ready(&builder, &StationShotBuilder::ready);
        // The event loop turns while the shots are read and fitted: a build
        // on this thread would let the probe tick once at most.
        int ticks = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&ticks] { ++ticks; });
        probe.start(1);
        builder.request(0, 1999);
        builder.request(100, 299);
        builder.request(400, 2399);
        QVERIFY(builder.isBusy());
        QCOMPARE(ready.size(), 0);
        QVERIFY(ready.wait(20000));
        QVERIFY2(ticks >= 3, qPrintable(QStringLiteral("%1 ticks").arg(ticks)));
        QTest::qWait(300);
        QCOMPARE(ready.size(), 1);
        const auto cells = ready.at(0).at(0).value<std::shared_ptr<const StationShotCells>>();
        QCOMPARE(cells->firstShot, 400);
        QCOMPARE(cells->lastShot, 2399);
        QVERIFY(!builder.isBusy());
        // A new source drops what was asked of the old one.
        builder.request(0, 999);
        builder.setSource(file, report.index(), judged.axis, settings);
        QTest::qWait(500);
        QCOMPARE(ready.size(), 1);
    }

    // The residual image holds the shots around the current one, at most
    // ResidualShots of them, and keeps it in view.
    void residualsFollowTheCurrentShot_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("currentFirst"); // the shot shown before the residuals are asked for
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("the first shot") << 0 << false << 0 << 1999;
        QTest::newRow("in the middle, shown before") << 1200 << true << 200 << 2199;
        QTest::newRow("near the end") << 2300 << false << 400 << 2399;
    }
    void residualsFollowTheCurrentShot()
    {
        QFETCH(int, current);
        QFETCH(bool, currentFirst);
        QFETCH(int, first);
        QFETCH(int, last);
        Judged judged;
        QVERIFY(judgeLongSurvey(&judged));
        StationShotView view;
        QVERIFY(FbTest::shown(&view, {700, 500}));
        view.setSurvey(judged.axis, judged.report.index());
        view.setResidualSource(judged.file, FbQc::Settings());
        if (currentFirst)
            view.setCurrentShot(current);
        view.setKind(StationShotView::Residuals);
        view.setCurrentShot(current);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isBuilding(), 20000);
        QCOMPARE(view.residualCells().firstShot, first);
        QCOMPARE(view.residualCells().lastShot, last);
        const QwtInterval shown = view.axisInterval(QwtPlot::yLeft).normalized();
        QVERIFY(shown.contains(current + 1) && shown.width() <= StationShotView::ResidualShots);
        QVERIFY(view.footer().text().endsWith(QStringLiteral("shots %1 to %2").arg(first + 1).arg(last + 1)));
    }

    // The wheel zooms about the pointer, up (away from the user) zooms in:
    // the receivers along the stations only, the image and the map both ways
    // alike, so that the map's scale stays equal.
    void viewsZoomAboutThePointer_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<int>("delta");
        QTest::addColumn<bool>("bothWays");
        for (const char *view : {"receivers", "image", "map"}) {
            for (const int delta : {120, -120})
                QTest::newRow(qPrintable(QStringLiteral("%1, wheel %2").arg(view, delta > 0 ? "up" : "down")))
                    << QString::fromLatin1(view) << delta << (qstrcmp(view, "receivers") != 0);
        }
    }
    void viewsZoomAboutThePointer()
    {
        QFETCH(QString, view);
        QFETCH(int, delta);
        QFETCH(bool, bothWays);
        Judged judged;
        QVERIFY(judge(Plan(), &judged));
        StationResidualView receivers;
        StationShotView stations;
        SurveyMap map;
        receivers.setAxis(judged.axis);
        stations.setSurvey(judged.axis, judged.report.index());
        QwtPlot *plot = view == QLatin1String("map")     ? static_cast<QwtPlot *>(&map)
                        : view == QLatin1String("image") ? static_cast<QwtPlot *>(&stations)
                                                         : &receivers;
        QVERIFY(FbTest::shown(plot, {700, 500}));
        QVector<SurveyPoint> sources;
        for (int s = 0; s < Shots; ++s)
            sources.append(
                SurveyPoint{judged.records.at(s * Channels).source_x, judged.records.at(s * Channels).source_y});
        map.setSurvey(SurveyMapData::build(sources, {}));
        const QPoint pointer(300, 200);
        const auto under = [&] {
            return QPointF(plot->canvasMap(QwtPlot::xBottom).invTransform(pointer.x()),
                           plot->canvasMap(QwtPlot::yLeft).invTransform(pointer.y()));
        };
        const QPointF before = under();
        // Shots run down the image: its y axis is upside down.
        const double width = plot->axisInterval(QwtPlot::xBottom).width();
        const double height = plot->axisInterval(QwtPlot::yLeft).normalized().width();
        QWheelEvent wheel(pointer, plot->canvas()->mapToGlobal(pointer), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot->canvas(), &wheel);
        const double ratio = plot->axisInterval(QwtPlot::xBottom).width() / width;
        QVERIFY2(delta > 0 ? ratio < 0.95 : ratio > 1.05, qPrintable(QString::number(ratio)));
        QCOMPARE(plot->axisInterval(QwtPlot::yLeft).normalized().width() / height, bothWays ? ratio : 1.0);
        QVERIFY(std::abs(under().x() - before.x()) < 1e-6 * width &&
                std::abs(under().y() - before.y()) < 1e-6 * height);
    }

    // In the window, a click on a receiver, on a reciprocal difference or on
    // a residual goes to a shot and selects its pick there.
    void windowTabsGoToTheShot_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("kind"); // of the stations tab
        QTest::addColumn<int>("from"); // the shot shown before the click
        QTest::newRow("a late receiver") << 1 << -1 << 0;
        // Shot 30 recorded stations 66 to 113.
        QTest::newRow("a late receiver the current shot recorded") << 1 << -1 << 30;
        QTest::newRow("a late shot's reciprocal difference") << 2 << int(StationShotView::Differences) << 0;
        QTest::newRow("a spiked pick's residual") << 2 << int(StationShotView::Residuals) << 0;
    }
    void windowTabsGoToTheShot()
    {
        QFETCH(int, tab);
        QFETCH(int, kind);
        QFETCH(int, from);
        Plan plan;
        plan.lateStation = 77;
        plan.stationDelay = 3.0;
        plan.lateShot = 12;
        plan.shotDelay = 6.0;
        plan.spikeShot = 25;
        plan.spikeStation = 70;
        Judged judged;
        QVERIFY(judge(plan, &judged));
        FbPickQcWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Large enough for the panels side by side, the survey views in sight.
        window.resize(1400, 900);
        QTRY_VERIFY(!window.isCompact());
        QSignalSpy finished(&window, &FbPickQcWindow::loadFinished);
        window.openFile(judged.file);
        QVERIFY(finished.wait(20000));
        QVERIFY(finished.at(0).at(0).toBool());
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("surveyTabs"));
        QVERIFY(tabs);
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 QStringList({"Map", "Receivers", QString::fromUtf8("Stations × shots")}));
        window.goToShot(from);
        tabs->setCurrentIndex(tab);
        QTRY_VERIFY(tabs->currentWidget()->isVisible());
        const StationAxis &axis = window.data()->stations;

        QWidget *canvas = nullptr;
        QPoint at;
        int shot = from > 0 ? from : -1, station = -1;
        if (tab == 1) {
            auto *view = window.findChild<StationResidualView *>(QStringLiteral("receiverView"));
            int late = 0;
            while (axis.receivers().at(late).stat != plan.lateStation)
                ++late;
            canvas = view->canvas();
            at = view->canvasPosOf(late);
            station = plan.lateStation;
        } else {
            auto *view = window.findChild<StationShotView *>(QStringLiteral("stationShotView"));
            QSignalSpy shown(view, &StationShotView::residualsShown);
            window.findChild<QComboBox *>(QStringLiteral("stationValues"))->setCurrentIndex(kind);
            if (kind == StationShotView::Residuals) {
                QVERIFY(shown.wait(20000));
                shot = plan.spikeShot;
                station = plan.spikeStation;
            } else {
                shot = plan.lateShot;
                station = 30 + 2 * 15; // the source of shot 15, a partner
            }
            canvas = view->canvas();
            at = view->canvasPosOf(shot, station);
            QCOMPARE(view->cellAt(at).shot, shot);
        }
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, at);
        if (shot >= 0)
            QCOMPARE(window.currentShot(), shot);
        // The shot is read on a worker; its pick is selected once it is shown.
        QTRY_COMPARE(window.shownShot(), window.currentShot());
        auto *table = window.findChild<QTableView *>(QStringLiteral("shotTable"));
        const auto *model = static_cast<const ShotTableModel *>(table->model());
        QTRY_VERIFY(table->selectionModel()->currentIndex().isValid());
        const int row = table->selectionModel()->currentIndex().row();
        QVERIFY(row >= 0 && row < model->records().size());
        QCOMPARE(judged.records.at(model->firstRecord() + row).g_stat, station);
    }

    // fbtool draws each view into the image it is given, and refuses what
    // it cannot draw with one line.
    void fbtoolDrawsTheViews_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // a pattern of stdout's line, or stderr's one line
        QTest::newRow("receivers") << QStringList{"--view", "receivers", "--outlier-ms", "4"} << 0
                                   << ": 126 receivers, 1 with a mean residual beyond 2 ms$";
        QTest::newRow("stations") << QStringList{"--view", "stations", "--size", "640x480"} << 0
                                  << ": 40 shots, [1-9][0-9]* compared pairs$";
        QTest::newRow("residuals") << QStringList{"--view", "residuals"} << 0 << ": 40 shots, 1920 judged picks$";
        QTest::newRow("an unknown view") << QStringList{"--view", "shots"} << 2
                                         << "fbtool: --view: 'shots' is not map, receivers, stations or residuals";
        QTest::newRow("colours of the map for another view")
            << QStringList{"--view", "receivers", "--color", "rms"} << 2
            << "fbtool: --color colours the map only, not --view receivers";
    }
    void fbtoolDrawsTheViews()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        Plan plan;
        plan.lateStation = 77;
        plan.stationDelay = 3.0;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("survey.fb"));
        const QVector<FbRecord> records = survey(plan);
        QVERIFY(FbTest::writeFile(file, FbTest::fileBytes(records, FbTest::headerFor(records))));
        const QString image = dir.filePath(QStringLiteral("view.png"));
        const FbTest::Run run = FbTest::fbtool(QStringList{"map", file, "-o", image} + options);
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode != 0) {
            QVERIFY2(FbTest::refused(run, says) && run.err == says + QLatin1Char('\n'), qPrintable(run.err));
            QVERIFY(!QFile::exists(image));
            return;
        }
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY2(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(image) + says,
                                    QRegularExpression::MultilineOption)
                     .match(run.out)
                     .hasMatch(),
                 qPrintable(run.out));
        const int at = options.indexOf(QStringLiteral("--size"));
        QCOMPARE(QImage(image).size(), at >= 0 ? QSize(640, 480) : QSize(1200, 800));
    }
};

QTEST_MAIN(TestSurveyViews)
#include "tst_surveyviews.moc"
