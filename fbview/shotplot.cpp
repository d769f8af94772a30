#include <fbview/shotplot.h>

#include <fbview/plotlabels.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>
#include <fbfile/sgtconverter.h>
#include <fbview/gatherrenderer.h>
#include <fbview/steadylegend.h>
#include <fbview/statuscolors.h>

#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_widget.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>
#include <qwt_text.h>
#include <qwt_graphic.h>

#include <QFontMetricsF>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbView {

namespace {

// Drawing order, lowest first: the fitted curve and its labels above the picks.
// The legend lists them in the same order, but for the outliers' entry: its
// long title goes last, where it shares a column with short ones, so that
// the legend needs a row less in a narrow plot.
constexpr double PicksZ = 20, PartnerZ = 21, RingsZ = 22, ModelZ = 30, ThresholdZ = 31, LabelZ = 40, SelectionZ = 100;
const QColor ModelColor(30, 80, 200);

QwtSymbol *dotSymbol(const QColor &fill)
{
    auto *symbol = new QwtSymbol(QwtSymbol::Ellipse, QBrush(fill), QPen(fill.darker(150), 1), QSize(7, 7));
    // Thousands of identical symbols: paint one and copy it.
    symbol->setCachePolicy(QwtSymbol::Cache);
    return symbol;
}

QwtSymbol *partnerSymbol()
{
    return new QwtSymbol(QwtSymbol::Diamond, Qt::NoBrush, QPen(QColor(90, 90, 90), 1.5), QSize(9, 9));
}

// Legend icons: a symbol's smaller than the symbol, no higher than the
// legend's text, so that an entry with a large ring does not make its row
// taller; a line's short.
constexpr QSize LegendSymbol(11, 11);
constexpr QSize LegendLine(16, 9);

// Picks as symbols, listed in the legend by a symbol of the legend's size.
class Scatter : public QwtPlotCurve
{
public:
    QwtGraphic legendIcon(int index, const QSizeF &size) const override
    {
        if (style() != NoCurve || !symbol() || !testLegendAttribute(LegendShowSymbol))
            return QwtPlotCurve::legendIcon(index, size);
        QwtGraphic icon;
        icon.setDefaultSize(LegendSymbol);
        icon.setRenderHint(QwtGraphic::RenderPensUnscaled, true);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing, true);
        symbol()->drawSymbol(&painter, QRectF(QPointF(), LegendSymbol));
        return icon;
    }
};

QwtPlotCurve *scatter(QwtPlot *plot, QwtSymbol *symbol, double z)
{
    auto *curve = new Scatter;
    curve->setStyle(QwtPlotCurve::NoCurve);
    curve->setSymbol(symbol);
    curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
    curve->setLegendAttribute(QwtPlotCurve::LegendShowSymbol);
    curve->setZ(z);
    if (plot)
        curve->attach(plot);
    return curve;
}

// The time axis scaled to what is drawn, and reaching below the lowest
// intercept by a share of its span: the intercept's label then has a place
// under the source, not only among the nearest picks and the curves.
class TimeScaleEngine : public QwtLinearScaleEngine
{
public:
    TimeScaleEngine(const double *lowestIntercept, const double *roomBelow)
        : m_lowest(lowestIntercept), m_room(roomBelow)
    { }
    void autoScale(int maxSteps, double &x1, double &x2, double &stepSize) const override
    {
        const double drawnLowest = std::min(x1, x2);
        QwtLinearScaleEngine::autoScale(maxSteps, x1, x2, stepSize);
        if (!qIsFinite(*m_lowest))
            return;
        // From what is drawn, not from the bound rounded to a whole step:
        // an intercept a little below zero would otherwise take the axis a
        // whole step down, an empty band under the source.
        double &lower = x1 <= x2 ? x1 : x2;
        const double span = std::max(x1, x2) - std::min(drawnLowest, *m_lowest);
        lower = std::min(drawnLowest, *m_lowest - *m_room * span);
    }

private:
    const double *m_lowest;
    const double *m_room; // share of the span
};

// Faster than any rock under a survey, with room for what a refractor
// dipping toward the source adds to its apparent velocity.
constexpr double FastestGround = 15000.0;

// The units a fitted velocity is judged in: the file's once known, else
// those of the offset unit as named; NaN metres for a unit not known, whose
// velocities are then not judged.
FbQc::Units judgedUnits(const ShotPlot::View &view)
{
    if (view.unitsKnown)
        return view.units;
    FbQc::Units units;
    if (!SgtConverter::lengthUnit(view.unit, &units.metresPerLength))
        units.metresPerLength = qQNaN();
    return units;
}

QwtText labelText(const QString &text)
{
    QwtText label(text);
    label.setColor(ModelColor.darker(130));
    label.setBackgroundBrush(QColor(255, 255, 255, 200));
    return label;
}

} // namespace

ShotPlot::ShotPlot(QWidget *parent) : ViewPlot(parent), m_lowestIntercept(qQNaN())
{
    setCanvasBackground(Qt::white);
    setAxisScaleEngine(yLeft, new TimeScaleEngine(&m_lowestIntercept, &m_roomBelowSource));
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(225, 225, 225), 0, Qt::DotLine);
    grid->attach(this);

    const QString statusTitles[] = {tr("Status 0"), tr("Status 1"), tr("Other status")};
    for (int c = 0; c < 3; ++c) {
        m_status[c] = scatter(this, dotSymbol(StatusColors::mark(FbColumns::PickClass(c))), PicksZ);
        m_status[c]->setTitle(statusTitles[c]);
    }
    m_partnerCurve = scatter(this, partnerSymbol(), PartnerZ);
    m_partnerRoom = scatter(nullptr, partnerSymbol(), PartnerZ);
    m_rings =
        scatter(this, new QwtSymbol(QwtSymbol::Ellipse, Qt::NoBrush, QPen(Qt::black, 1.5), QSize(15, 15)), RingsZ);
    for (QwtPlotCurve *&model : m_model) {
        model = new QwtPlotCurve(tr("Fitted curve"));
        model->setPen(ModelColor, 2);
        model->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        model->setLegendAttribute(QwtPlotCurve::LegendShowLine);
        model->setLegendIconSize(LegendLine);
        model->setZ(ModelZ);
        model->attach(this);
    }
    for (QwtPlotMarker *&threshold : m_threshold) {
        threshold = new QwtPlotMarker;
        threshold->setLineStyle(QwtPlotMarker::HLine);
        threshold->setLinePen(QColor(200, 60, 60), 1, Qt::DashLine);
        threshold->setLegendIconSize(LegendLine);
        threshold->setZ(ThresholdZ);
        threshold->attach(this);
    }
    m_labelTexts = new PlotLabels;
    m_labelTexts->setZ(LabelZ);
    m_labelTexts->attach(this);
    m_selection = new QwtPlotMarker;
    m_selection->setSymbol(new QwtSymbol(QwtSymbol::Rect, Qt::NoBrush, QPen(QColor(0, 0, 160), 2), QSize(15, 15)));
    m_selection->setZ(SelectionZ);
    m_selection->attach(this);
    m_selection->setVisible(false);
    m_legend = new SteadyLegend;
    insertLegend(m_legend, QwtPlot::BottomLegend);

    m_zoomer = new QwtPlotZoomer(canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::darkBlue));
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect2, Qt::RightButton);
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect3, Qt::NoButton);
    panWithMiddleButton();
    canvas()->installEventFilter(this);
    updateTitles();
    rebuild();
}

ShotPlot::~ShotPlot()
{
    delete m_partnerRoom;
}

double ShotPlot::segmentVelocity(const FbQc::SideModel &model, int k)
{
    // The fit's own reading: only a segment that measures a velocity has one.
    return model.segmentVelocity(k);
}

bool ShotPlot::View::operator==(const View &other) const
{
    return mode == other.mode && velocity == other.velocity && heights == other.heights && unit == other.unit &&
           unitsKnown == other.unitsKnown && units.metresPerLength == other.units.metresPerLength &&
           units.secondsPerTime == other.units.secondsPerTime && units.offsetFactor == other.units.offsetFactor;
}

namespace {

// A time of a side at an absolute offset as the view plots it.
double yOf(const FbQc::ShotFit &fit, const ShotPlot::View &view, int side, double absOffset, double time)
{
    if (view.mode == ShotPlot::Residuals) {
        const FbQc::SideModel &model = fit.sides[side];
        return model.judged ? time - model.timeAt(absOffset) : qQNaN();
    }
    return GatherRenderer::reducedTime(time, absOffset, view.velocity);
}

// A curve's time at an absolute offset, between its points (|offset|
// increasing), its ends held beyond them.
double timeAlong(const QVector<QPointF> &curve, double absOffset)
{
    if (curve.isEmpty())
        return qQNaN();
    const auto after =
        std::lower_bound(curve.cbegin(), curve.cend(), absOffset, [](const QPointF &p, double x) { return p.x() < x; });
    if (after == curve.cbegin())
        return after->y();
    if (after == curve.cend())
        return curve.last().y();
    const QPointF &a = *(after - 1), &b = *after;
    return b.x() > a.x() ? a.y() + (b.y() - a.y()) * (absOffset - a.x()) / (b.x() - a.x()) : b.y();
}

// How the fit took one side's times to the source's height, read back
// from its judged picks: each judged pick's delay is its model as picked
// less the curve at its offset. The nearest picks may be a direct arrival
// kept as picked (it runs along the surface: delay 0, however high its
// receivers), out to keptReach; the rest were taken from a height `base`
// above the source (the height where that direct arrival ends, else the
// source's own), by slowness x (height - base).
struct HeightRule
{
    double keptReach = -1.0;   // |offset| of the farthest pick kept as picked; < 0: none
    double refracted = qInf(); // |offset| of the nearest pick beyond it
    double base = 0.0;

    // The delay of a pick at |offset| and height (g_elev - s_elev) as the
    // fit would take it: a pick between the two kinds goes with the nearer.
    bool kept(double absOffset) const
    {
        return absOffset <= keptReach ||
               (keptReach >= 0 && absOffset < refracted && absOffset - keptReach < refracted - absOffset);
    }
    double delay(double slowness, double absOffset, double height) const
    {
        return kept(absOffset) ? 0.0 : slowness * (height - base);
    }
};

// Each judged pick's delay (0 for the others and at the source), and each
// side's rule for the picks the fit did not judge.
QVector<double> judgedDelays(const QVector<FbRecord> &records, const FbQc::ShotFit &fit, HeightRule (&rules)[2])
{
    const double slowness = fit.heightSlowness;
    // Float models of times of a few hundred ms round to a few microseconds.
    constexpr double Zero = 1e-3;
    QVector<double> delays(records.size(), 0.0);
    struct Judged
    {
        double absOffset, delay, height;
    };
    QVector<Judged> judged[2];
    for (int i = 0; i < records.size() && i < fit.picks.size(); ++i) {
        const FbRecord &r = records.at(i);
        const FbQc::PickVerdict &v = fit.picks.at(i);
        const FbQc::SideModel &model = fit.sides[v.side];
        if (!v.judged || r.offset == 0 || !model.judged)
            continue;
        const double absOffset = std::abs(double(r.offset));
        delays[i] = double(v.model) - model.timeAt(absOffset);
        judged[v.side].append({absOffset, delays[i], double(r.g_elev) - r.s_elev});
    }
    for (int side = 0; side < 2; ++side) {
        QVector<Judged> &picks = judged[side];
        HeightRule &rule = rules[side];
        rule = HeightRule();
        if (picks.isEmpty() || !(slowness > 0.0))
            continue;
        std::stable_sort(picks.begin(), picks.end(),
                         [](const Judged &a, const Judged &b) { return a.absOffset < b.absOffset; });
        // The farthest pick is refracted unless the whole side is direct;
        // either way its height less its delay's is the base.
        rule.base = picks.last().height - picks.last().delay / slowness;
        // The nearest picks of no delay are kept as picked where one of
        // them lies off the base, so that the refractors' rule would move it.
        int kept = 0;
        bool offBase = false;
        while (kept < picks.size() && std::abs(picks.at(kept).delay) < Zero) {
            offBase = offBase || std::abs(slowness * (picks.at(kept).height - rule.base)) >= Zero;
            ++kept;
        }
        if (kept > 0 && offBase) {
            rule.keptReach = picks.at(kept - 1).absOffset;
            rule.refracted = kept < picks.size() ? picks.at(kept).absOffset : qInf();
        }
    }
    return delays;
}

// What the fit took off each pick's time to bring it to the source's
// height: a judged pick's own delay, which holds however the fit treated
// the heights along the spread; any other pick by its side's rule, as the
// fit would have taken it had it judged it.
QVector<double> heightDelays(const QVector<FbRecord> &records, const FbQc::ShotFit &fit)
{
    HeightRule rules[2];
    QVector<double> delays = judgedDelays(records, fit, rules);
    for (int i = 0; i < records.size(); ++i) {
        const FbRecord &r = records.at(i);
        const bool judged = i < fit.picks.size() && fit.picks.at(i).judged;
        if (judged || r.offset == 0)
            continue;
        const int side =
            i < fit.picks.size() ? int(fit.picks.at(i).side) : int(r.offset < 0 ? FbQc::Negative : FbQc::Positive);
        delays[i] = rules[side].delay(fit.heightSlowness, std::abs(double(r.offset)), double(r.g_elev) - r.s_elev);
    }
    return delays;
}

// Each judged side's curve before any reduction (|offset|, time): through
// the knots at the source's height, or as picked through each judged
// pick's model time, from the direct arrival's start at the source.
void sideCurves(const QVector<FbRecord> &records, const FbQc::ShotFit &fit, bool asPicked,
                QVector<QPointF> (&curves)[2])
{
    for (int side = 0; side < 2; ++side) {
        const FbQc::SideModel &model = fit.sides[side];
        curves[side].clear();
        if (!model.judged)
            continue;
        if (!asPicked || model.knotOffset[0] == 0.0)
            curves[side].append(QPointF(model.knotOffset[0], model.knotTime[0]));
        if (!asPicked) {
            for (int k = 1; k <= model.segments && k <= FbQc::MaxSegments; ++k)
                curves[side].append(QPointF(model.knotOffset[k], model.knotTime[k]));
        }
    }
    if (!asPicked)
        return;
    for (int i = 0; i < records.size() && i < fit.picks.size(); ++i) {
        const FbQc::PickVerdict &v = fit.picks.at(i);
        if (v.judged && records.at(i).offset != 0 && fit.sides[v.side].judged)
            curves[v.side].append(QPointF(std::abs(double(records.at(i).offset)), double(v.model)));
    }
    // Picks at one offset keep their record order: the curve is the same
    // whichever thread builds it.
    for (QVector<QPointF> &curve : curves)
        std::stable_sort(curve.begin(), curve.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
}

} // namespace

ShotPlot::Partner ShotPlot::partner(const QVector<FbRecord> &records, const FbQc::ShotFit &fit)
{
    Partner partner;
    HeightRule rules[2];
    const bool heights = hasHeights(fit);
    if (heights)
        judgedDelays(records, fit, rules);
    partner.picks.reserve(records.size());
    partner.heights.reserve(heights ? records.size() : 0);
    for (int i = 0; i < records.size() && i < fit.picks.size(); ++i) {
        const FbRecord &r = records.at(i);
        const FbQc::PickVerdict &v = fit.picks.at(i);
        // What the checks compare: picks in use.
        if (!FbPicks::isLive(r))
            continue;
        const double absOffset = std::abs(double(r.offset));
        partner.picks.append(QPointF(v.side == FbQc::Negative ? -absOffset : absOffset, r.fb_time));
        // A direct arrival its fit kept as picked stays so.
        if (heights)
            partner.heights.append(rules[v.side].kept(absOffset) || r.offset == 0 ? qQNaN() : double(r.g_elev));
    }
    return partner;
}

std::shared_ptr<const ShotPlot::Drawn> ShotPlot::build(const QVector<FbRecord> &records, const FbQc::ShotFit &fit,
                                                       const View &view)
{
    auto drawn = std::make_shared<Drawn>();
    drawn->view = view;
    const bool asPicked = !hasHeights(fit) || view.heights == AsPicked;
    // Where the picks followed the topography, the curve is of times at the
    // source's height, and so are the picks drawn with it.
    const QVector<double> delays = asPicked || view.mode == Residuals ? QVector<double>() : heightDelays(records, fit);
    for (QVector<QPointF> &points : drawn->byClass)
        points.reserve(records.size());
    drawn->points.resize(records.size());
    for (int i = 0; i < records.size(); ++i) {
        const FbRecord &r = records.at(i);
        const FbQc::PickVerdict verdict = i < fit.picks.size() ? fit.picks.at(i) : FbQc::PickVerdict();
        const int side = i < fit.picks.size() ? int(verdict.side) : int(r.offset < 0 ? FbQc::Negative : FbQc::Positive);
        const double absOffset = std::abs(double(r.offset));
        const double time = delays.isEmpty() ? double(r.fb_time) : r.fb_time - delays.at(i);
        const double y = !FbPicks::hasPick(r)     ? qQNaN()
                         : view.mode == Residuals ? (verdict.judged ? double(verdict.residual) : qQNaN())
                                                  : yOf(fit, view, side, absOffset, time);
        const QPointF p(side == FbQc::Negative ? -absOffset : absOffset, y);
        drawn->points[i] = p;
        if (!qIsFinite(p.y()))
            continue;
        drawn->byClass[int(FbColumns::pickClass(r.fb_status))].append(p);
        if (verdict.outlier)
            drawn->rings.append(p);
    }
    // The model of each side along its curve; in residual mode, its zero
    // through the knots.
    sideCurves(records, fit, asPicked && hasHeights(fit) && view.mode == Times, drawn->curve);
    for (int side = 0; side < 2; ++side) {
        drawn->judged[side] = fit.sides[side].judged;
        for (const QPointF &at : qAsConst(drawn->curve[side])) {
            const double y = view.mode == Residuals ? 0.0 : yOf(fit, view, side, at.x(), at.y());
            drawn->model[side].append(QPointF(side == FbQc::Negative ? -at.x() : at.x(), y));
        }
    }
    drawn->labels = buildLabels(fit, view, drawn->curve, &drawn->intercepts);
    return drawn;
}

QVector<PlotLabels::Label> ShotPlot::buildLabels(const FbQc::ShotFit &fit, const View &view,
                                                 const QVector<QPointF> (&curves)[2], QVector<QPointF> *intercepts)
{
    QVector<PlotLabels::Label> texts;
    intercepts->clear();
    if (view.mode != Times)
        return texts;
    const QLocale locale;
    const FbQc::Units judged = judgedUnits(view);
    QString shown[2]; // each side's intercept as written, empty for none
    for (int side = 0; side < 2; ++side) {
        const FbQc::SideModel &model = fit.sides[side];
        if (!model.judged)
            continue;
        const double sign = side == FbQc::Negative ? -1.0 : 1.0;
        // Beside each segment, below its middle on the outer side, where
        // the picks mostly are not; moved to another side when that is taken.
        const Qt::Alignment outward = Qt::AlignBottom | (side == FbQc::Negative ? Qt::AlignLeft : Qt::AlignRight);
        for (int k = 0; k < model.segments && k < FbQc::MaxSegments; ++k) {
            const double fitted = segmentVelocity(model, k);
            if (!qIsFinite(fitted))
                continue;
            // In m/s where the file's units are known: offsets in
            // centimetres or feet would otherwise read as a hundred times,
            // or a third again, too fast.
            const double velocity = view.unitsKnown ? view.units.metresPerSecond(fitted) : fitted;
            const QString speedUnit = view.unitsKnown ? QStringLiteral("m") : view.unit;
            // A segment faster than any rock, even seen up a dipping
            // refractor, runs through picks that stay flat (noise, a lost
            // arrival): no ground has that velocity, so none is written.
            if (judged.metresPerSecond(fitted) > FastestGround)
                continue;
            // Beside the curve drawn, in either view.
            const double x = (model.knotOffset[k] + model.knotOffset[k + 1]) / 2;
            const double t = timeAlong(curves[side], x);
            const QString speed =
                velocity >= 100 ? locale.toString(qRound64(velocity)) : locale.toString(velocity, 'g', 3);
            // The segment's slope as drawn, from its ends.
            const double x0 = model.knotOffset[k], x1 = model.knotOffset[k + 1];
            const QPointF along(sign * (x1 - x0), yOf(fit, view, side, x1, timeAlong(curves[side], x1)) -
                                                      yOf(fit, view, side, x0, timeAlong(curves[side], x0)));
            texts.append({QPointF(sign * x, yOf(fit, view, side, x, t)), labelText(tr("%1 %2/s").arg(speed, speedUnit)),
                          outward, along});
        }
        // The intercept: the model's time at the source, marked there.
        const double intercept = model.timeAt(0.0);
        if (qIsFinite(intercept)) {
            intercepts->append(QPointF(0.0, intercept));
            // Rounded as written, and never "-0.0".
            shown[side] = locale.toString(std::round(intercept * 10) / 10 + 0.0, 'f', 1);
        }
    }
    // One label under the source says the intercept, where the time axis
    // leaves it room: two side by side there would not fit beside a short
    // side's spread, and one pushed above would sit among the nearest picks.
    // Sides that differ are written in the order they are drawn, left first.
    // Placed first: at the source, where both curves and the nearest picks
    // meet, it has the fewest free places.
    if (intercepts->isEmpty())
        return texts;
    const QString text = shown[0].isEmpty() || shown[1].isEmpty() || shown[0] == shown[1]
                             ? tr("intercept %1 ms").arg(shown[0].isEmpty() ? shown[1] : shown[0])
                             : tr("intercept %1 | %2 ms").arg(shown[FbQc::Negative], shown[FbQc::Positive]);
    // Under the earlier of the two.
    const QPointF anchor = *std::min_element(intercepts->begin(), intercepts->end(),
                                             [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    texts.prepend({anchor, labelText(text), Qt::AlignBottom | Qt::AlignHCenter, QPointF()});
    return texts;
}

void ShotPlot::setShot(const QVector<FbRecord> &records, const FbQc::ShotFit &fit, int position, qint32 ffid,
                       const std::shared_ptr<const Drawn> &drawn)
{
    const bool heightsBefore = hasHeights(m_fit);
    m_records = records;
    m_fit = fit;
    m_partner.clear();
    m_partnerHeights.clear();
    // The heights this shot's refracted times are taken from, for its
    // partner's to be taken from the same.
    HeightRule rules[2];
    if (hasHeights(fit))
        judgedDelays(records, fit, rules);
    for (int side = 0; side < 2; ++side)
        m_frameHeight[side] = (records.isEmpty() ? 0.0 : double(records.first().s_elev)) + rules[side].base;
    m_selected = -1;
    if (hasHeights(fit) != heightsBefore)
        updateTitles();
    setTitle(tr("Shot %1 > ffid %2 (picks: %L3, outliers: %L4)")
                 .arg(position + 1)
                 .arg(ffid)
                 .arg(records.size())
                 .arg(fit.outliers()));
    // Points built for the view the caller wants; labels of other units
    // only are made again.
    if (drawn && drawn->points.size() == records.size())
        adopt(drawn);
    else
        rebuild();
    resetZoom();
}

void ShotPlot::showDrawn(const std::shared_ptr<const Drawn> &drawn)
{
    if (drawn->points.size() != m_records.size())
        return;
    adopt(drawn);
    resetZoom();
}

void ShotPlot::adopt(const std::shared_ptr<const Drawn> &drawn)
{
    const bool titles = drawn->view.mode != m_view.mode || drawn->view.velocity != m_view.velocity ||
                        drawn->view.heights != m_view.heights;
    m_view.mode = drawn->view.mode;
    m_view.velocity = drawn->view.velocity;
    m_view.heights = drawn->view.heights;
    if (titles)
        updateTitles();
    apply(drawn);
}

void ShotPlot::setMode(Mode mode)
{
    m_view.mode = mode;
    refresh(true);
}

void ShotPlot::setHeights(Heights heights)
{
    m_view.heights = heights;
    refresh(true);
}

void ShotPlot::setReductionVelocity(double velocity)
{
    m_view.velocity = velocity > 0.0 ? velocity : 0.0;
    refresh(true);
}

void ShotPlot::setOffsetUnit(const QString &unit)
{
    m_view.unit = unit;
    updateTitles();
    applyLabels();
    replot();
}

void ShotPlot::setUnits(const FbQc::Units &units)
{
    m_view.units = units;
    m_view.unitsKnown = true;
    applyLabels();
    replot();
}

void ShotPlot::setOutlierThreshold(double ms)
{
    // Only titles and the threshold lines: the points do not depend on it.
    m_thresholdMs = ms;
    updateTitles();
    applyThreshold();
    replot();
}

void ShotPlot::refresh(bool rezoom)
{
    updateTitles();
    rebuild();
    if (rezoom)
        resetZoom();
    else
        replot();
}

void ShotPlot::setPartnerPicks(const QVector<QPointF> &picks, const QString &title, const QVector<double> &heights)
{
    m_partner = picks;
    m_partnerHeights = heights.size() == picks.size() ? heights : QVector<double>();
    m_partnerCurve->setTitle(title);
    applyPartner();
    updateLegendEntries();
    replot();
}

void ShotPlot::setPartnerRoom(const QString &widestTitle)
{
    m_partnerRoom->setTitle(widestTitle);
    reserveLegend();
    updateGeometry();
}

void ShotPlot::updateTitles()
{
    setAxisTitle(xBottom, tr("Signed offset (%1)").arg(m_view.unit));
    // On a shot whose heights the fit took off, the times say which view
    // they are in: the two differ by the ground's delay.
    const bool heights = hasHeights(m_fit);
    if (m_view.mode == Residuals)
        setAxisTitle(yLeft, tr("Residual (ms)"));
    else if (m_view.velocity > 0.0 && heights)
        setAxisTitle(yLeft, (m_view.heights == AsPicked ? tr("Reduced time as picked t - |x| / %1 %2/s (ms)")
                                                        : tr("Reduced time at source height t - |x| / %1 %2/s (ms)"))
                                .arg(m_view.velocity)
                                .arg(m_view.unit));
    else if (m_view.velocity > 0.0)
        setAxisTitle(yLeft, tr("Reduced time t - |x| / %1 %2/s (ms)").arg(m_view.velocity).arg(m_view.unit));
    else if (heights)
        setAxisTitle(yLeft, m_view.heights == AsPicked ? tr("Time as picked (ms)") : tr("Time at source height (ms)"));
    else
        setAxisTitle(yLeft, tr("Time (ms)"));
    const QString threshold = QLocale().toString(m_thresholdMs);
    m_rings->setTitle(tr("Outlier > %1 ms").arg(threshold));
    m_threshold[0]->setTitle(tr("Limit ±%1 ms").arg(threshold));
    reserveLegend();
}

void ShotPlot::reserveLegend()
{
    // Room for every entry a shot may bring in either mode, so that moving
    // to a shot with outliers or other statuses, to a reciprocal pair, or
    // to the residuals and back keeps the canvas its size.
    QList<const QwtPlotItem *> items{m_status[0], m_status[1], m_status[2]};
    if (!m_partnerRoom->title().isEmpty())
        items.append(m_partnerRoom);
    items.append(m_model[0]);
    items.append(m_threshold[0]);
    items.append(m_rings);
    m_legend->reserve(this, items);
}

void ShotPlot::rebuild()
{
    apply(build(m_records, m_fit, m_view));
}

void ShotPlot::apply(const std::shared_ptr<const Drawn> &drawn)
{
    m_drawn = drawn;
    m_points = drawn->points;
    // Tens of thousands of outlined symbols take longer to paint than a
    // move to the shot may; such a shot gets plain square dots instead.
    const bool dense = drawn->points.size() > DenseShot;
    for (int c = 0; c < 3; ++c) {
        if (dense != m_dense) {
            const QColor color = StatusColors::mark(FbColumns::PickClass(c));
            m_status[c]->setStyle(dense ? QwtPlotCurve::Dots : QwtPlotCurve::NoCurve);
            m_status[c]->setPen(QPen(color, dense ? 4.0 : 0.0, Qt::SolidLine, Qt::SquareCap));
            m_status[c]->setSymbol(dense ? nullptr : dotSymbol(color));
            // A dense shot's dots show on the legend as a short line.
            m_status[c]->setLegendAttribute(QwtPlotCurve::LegendShowLine, dense);
        }
        m_status[c]->setSamples(drawn->byClass[c]);
        m_status[c]->setItemAttribute(QwtPlotItem::Legend, !drawn->byClass[c].isEmpty());
    }
    if (dense != m_dense) {
        m_dense = dense;
        reserveLegend();
    }
    m_rings->setSamples(drawn->rings);
    m_rings->setItemAttribute(QwtPlotItem::Legend, !drawn->rings.isEmpty());
    applyPartner();
    for (int side = 0; side < 2; ++side) {
        m_model[side]->setSamples(drawn->model[side]);
        // One legend entry for both sides.
        m_model[side]->setItemAttribute(QwtPlotItem::Legend, drawn->judged[side] && !(side == 1 && drawn->judged[0]));
    }
    applyThreshold();
    applyLabels();
    updateSelection();
}

void ShotPlot::applyPartner()
{
    // Residuals are against this shot's curve, at its source's height: the
    // partner's picks are taken to it for them as for the time view. Its
    // refracted times are taken from the height this shot's are, as this
    // shot's fit takes a pick at that receiver; its direct arrival, kept as
    // picked, stays so.
    const bool atSource =
        hasHeights(m_fit) && !m_partnerHeights.isEmpty() && (m_view.mode == Residuals || m_view.heights == AtSource);
    QVector<QPointF> partner;
    for (int i = 0; i < m_partner.size(); ++i) {
        const QPointF &p = m_partner.at(i);
        const int side = p.x() < 0 ? FbQc::Negative : FbQc::Positive;
        const double height = atSource ? m_partnerHeights.at(i) : qQNaN();
        const double time = std::isnan(height) ? p.y() : p.y() - m_fit.heightSlowness * (height - m_frameHeight[side]);
        const QPointF q(p.x(), yOf(m_fit, m_view, side, std::abs(p.x()), time));
        if (qIsFinite(q.y()))
            partner.append(q);
    }
    m_partnerCurve->setSamples(partner);
    m_partnerCurve->setItemAttribute(QwtPlotItem::Legend, !partner.isEmpty());
}

void ShotPlot::applyThreshold()
{
    const bool anyJudged = m_drawn && (m_drawn->judged[0] || m_drawn->judged[1]);
    for (int k = 0; k < 2; ++k) {
        m_threshold[k]->setYValue(k == 0 ? -m_thresholdMs : m_thresholdMs);
        m_threshold[k]->setVisible(m_view.mode == Residuals && anyJudged);
    }
    m_thresholdDrawn = m_view.mode == Residuals && anyJudged;
    updateLegendEntries();
}

void ShotPlot::replot()
{
    // The legend names the threshold lines only while they are on the
    // scale, which the axes know once they are updated.
    updateAxes();
    const QwtInterval shown = axisInterval(yLeft);
    const bool onScale = shown.contains(m_thresholdMs) || shown.contains(-m_thresholdMs);
    m_threshold[0]->setItemAttribute(QwtPlotItem::Legend, m_thresholdDrawn && onScale);
    updateLegendEntries();
    ViewPlot::replot();
}

void ShotPlot::updateLegendEntries()
{
    // An item taken off the legend does not tell the legend so itself, and
    // one put back would join the end of it: when the entries change, they
    // are all made again in drawing order, so that a shot with another mix
    // of statuses does not reorder them.
    const QwtPlotItem *entries[] = {m_status[0], m_status[1], m_status[2],    m_partnerCurve,
                                    m_model[0],  m_model[1],  m_threshold[0], m_rings};
    quint32 shown = 0;
    for (int k = 0; k < int(std::size(entries)); ++k)
        shown |= entries[k]->testItemAttribute(QwtPlotItem::Legend) ? 1u << k : 0u;
    if (shown == m_legendEntries)
        return;
    m_legendEntries = shown;
    for (const QwtPlotItem *item : entries)
        emit legendDataChanged(itemToInfo(const_cast<QwtPlotItem *>(item)), QList<QwtLegendData>());
    for (const QwtPlotItem *item : entries)
        updateLegend(item);
}

void ShotPlot::applyLabels()
{
    qDeleteAll(m_labels);
    m_labels.clear();
    m_lowestIntercept = qQNaN();
    if (!m_drawn)
        return;
    QVector<PlotLabels::Label> texts = m_drawn->labels;
    QVector<QPointF> intercepts = m_drawn->intercepts;
    // The velocities' unit follows the file's units, which may arrive after
    // the shot: only the labels are made again.
    if (!(m_drawn->view == m_view))
        texts = buildLabels(m_fit, m_view, m_drawn->curve, &intercepts);
    m_labelTexts->setLabels(texts);
    m_labelTexts->setObstacles(texts.isEmpty() ? QVector<QPointF>() : m_points);
    m_labelTexts->setRings(texts.isEmpty() ? QVector<QPointF>() : m_drawn->rings);
    m_labelTexts->setObstacleLines(texts.isEmpty() ? QVector<QVector<QPointF>>()
                                                   : QVector<QVector<QPointF>>{m_drawn->model[0], m_drawn->model[1]});
    for (const QPointF &at : qAsConst(intercepts)) {
        m_lowestIntercept = qIsFinite(m_lowestIntercept) ? std::min(m_lowestIntercept, at.y()) : at.y();
        auto *label = new QwtPlotMarker;
        label->setValue(at);
        label->setSymbol(new QwtSymbol(QwtSymbol::Diamond, QBrush(Qt::white), QPen(ModelColor, 1.5), QSize(8, 8)));
        label->setZ(LabelZ);
        label->attach(this);
        m_labels.append(label);
    }
}

void ShotPlot::resetZoom()
{
    setAxisAutoScale(xBottom);
    setAxisAutoScale(yLeft);
    replot();
    m_zoomer->setZoomBase(false);
}

void ShotPlot::setSelectedRow(int row)
{
    m_selected = row >= 0 && row < m_points.size() ? row : -1;
    updateSelection();
    replot();
}

void ShotPlot::updateSelection()
{
    const bool visible = m_selected >= 0 && qIsFinite(m_points.at(m_selected).y());
    if (visible)
        m_selection->setValue(m_points.at(m_selected));
    m_selection->setVisible(visible);
}

QPointF ShotPlot::pickPoint(int row) const
{
    return row >= 0 && row < m_points.size() ? m_points.at(row) : QPointF();
}

int ShotPlot::rowAt(const QPoint &canvasPos) const
{
    const QwtScaleMap xMap = canvasMap(xBottom);
    const QwtScaleMap yMap = canvasMap(yLeft);
    constexpr double reach = 6.0; // pixels
    double best = reach * reach;
    int row = -1;
    for (int i = 0; i < m_points.size(); ++i) {
        const QPointF &p = m_points.at(i);
        if (!qIsFinite(p.y()))
            continue;
        const double dx = xMap.transform(p.x()) - canvasPos.x();
        const double dy = yMap.transform(p.y()) - canvasPos.y();
        const double d = dx * dx + dy * dy;
        if (d <= best) {
            best = d;
            row = i;
        }
    }
    return row;
}

void ShotPlot::updateLayout()
{
    ViewPlot::updateLayout();
    // Under the source, a label's height and its gaps to the intercept's
    // mark and to the frame: about a twentieth of a plot a few hundred
    // pixels high, a larger share of a small one.
    const double label = QFontMetricsF(canvas()->font()).height() + 8.0;
    const double high = canvas()->contentsRect().height();
    const double room = std::max(0.06, label / std::max(high - label, label));
    // Time labels two lines of their font apart at least, up to the usual
    // eight steps: a low canvas gets fewer rather than a crowded axis.
    const int steps = qBound(2, int(high / (2.0 * QFontMetricsF(axisWidget(yLeft)->font()).height())), 8);
    if (room != m_roomBelowSource || steps != axisMaxMajor(yLeft)) {
        m_roomBelowSource = room;
        setAxisMaxMajor(yLeft, steps);
        replot();
    }
}

bool ShotPlot::eventFilter(QObject *watched, QEvent *event)
{
    // A click (press and release in place) picks a point; a drag is the
    // zoomer's.
    QPoint at;
    if (endsClick(watched, event, &at)) {
        const int row = rowAt(at);
        if (row >= 0) {
            setSelectedRow(row);
            emit rowClicked(row);
        }
    }
    return QwtPlot::eventFilter(watched, event);
}

} // namespace FbView
