#include <fbview/stationaxis.h>

#include <fbfile/shotrecords.h>

#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <QEvent>
#include <QFontMetricsF>
#include <QLocale>
#include <QWidget>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <queue>
#include <utility>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

namespace {

constexpr int Batch = 1 << 20;
// Shots whose sources show how far apart sources lie.
constexpr int SpacingShots = 100000;

bool finite(float x, float y)
{
    return std::isfinite(x) && std::isfinite(y);
}

// The median of positive steps; `fallback` when there is none.
double medianStep(QVector<double> steps, double fallback)
{
    steps.erase(std::remove_if(steps.begin(), steps.end(), [](double s) { return !(s > 0); }), steps.end());
    if (steps.isEmpty())
        return fallback;
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return steps.at(steps.size() / 2);
}

QLocale groupedLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

// Ticks that read the axis's labels.
class StationScaleDraw : public QwtScaleDraw
{
public:
    explicit StationScaleDraw(const StationAxis &axis) : m_axis(axis) { }
    QwtText label(double value) const override { return m_axis.label(value); }

private:
    StationAxis m_axis;
};

// Ticks at the axis's round stations. maxMajorSteps is the label budget:
// how many labels side by side the axis's length holds (the views set it
// from their width and font), so neighbouring ticks lie at least the span
// over it apart. With lines side by side the step is the finest round one
// that keeps them so, and a line's first tick that falls too near the
// last of the line before is left out, so labels never run together.
class StationScaleEngine : public QwtLinearScaleEngine
{
public:
    explicit StationScaleEngine(const StationAxis &axis) : m_axis(axis) { }
    QwtScaleDiv divideScale(double x1, double x2, int maxMajorSteps, int maxMinorSteps,
                            double stepSize = 0.0) const override
    {
        if (m_axis.lineStarts().isEmpty())
            return QwtLinearScaleEngine::divideScale(x1, x2, maxMajorSteps, maxMinorSteps, stepSize);
        const double lower = std::min(x1, x2), upper = std::max(x1, x2);
        const double least = (upper - lower) / std::max(1, maxMajorSteps);
        // 1, 2, 5, 10, 20, ... stations.
        double step = 1.0;
        for (int k = 0; step < least; ++k)
            step = std::pow(10.0, k / 3) * (k % 3 == 0 ? 1.0 : k % 3 == 1 ? 2.0 : 5.0);
        QList<double> major;
        for (double t : m_axis.ticks(lower, upper, step)) {
            if (major.isEmpty() || t - major.last() >= least)
                major.append(t);
        }
        QList<double> minor;
        if (maxMinorSteps > 0 && step >= 5.0) {
            for (double t : m_axis.ticks(lower, upper, step / 5.0)) {
                if (!major.contains(t))
                    minor.append(t);
            }
        }
        QwtScaleDiv div(lower, upper);
        div.setTicks(QwtScaleDiv::MajorTick, major);
        div.setTicks(QwtScaleDiv::MinorTick, minor);
        if (x1 > x2)
            div.invert();
        return div;
    }

private:
    StationAxis m_axis;
};

// The caption of the receiver line under each tick of the top axis, with
// neither backbone nor tick marks: a title over each line, not a scale.
class LineCaptionDraw : public QwtScaleDraw
{
public:
    explicit LineCaptionDraw(const StationAxis &axis) : m_starts(axis.lineStarts())
    {
        enableComponent(QwtAbstractScaleDraw::Backbone, false);
        enableComponent(QwtAbstractScaleDraw::Ticks, false);
    }
    QwtText label(double value) const override
    {
        int line = 0;
        while (line + 1 < m_starts.size() && m_starts.at(line + 1).first <= value)
            ++line;
        return m_starts.isEmpty() ? QwtText() : QwtText(StationAxis::tr("Line %1").arg(m_starts.at(line).second));
    }

private:
    QVector<QPair<double, qint32>> m_starts;
};

// Places a plot's line captions again as its canvas resizes: a line's room
// in pixels changes with the width as with the zoom.
class CaptionFollower : public QObject
{
public:
    CaptionFollower(QwtPlot *plot, std::function<bool()> place)
        : QObject(plot), m_plot(plot), m_canvas(plot->canvas()), m_place(std::move(place))
    {
        m_canvas->installEventFilter(this);
    }
    // The canvas is kept apart from the plot: this filter outlives the plot's
    // own destructor (it is deleted with the plot's children), and the canvas
    // still sends events then, when the plot may no longer be asked for it.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && watched == m_canvas && m_place())
            m_plot->updateAxes();
        return QObject::eventFilter(watched, event);
    }
    bool place() const { return m_place(); }

private:
    QwtPlot *m_plot;
    QWidget *m_canvas;
    std::function<bool()> m_place; // true when the captions changed
};

} // namespace

StationAxis StationAxis::build(const FbQc::Report &report, const Progress &progress)
{
    StationAxis axis;
    const QVector<FbQc::StationResidual> &receivers = report.stations();
    const int count = receivers.size();
    // Stations are unset when every receiver carries one number.
    bool oneStation = count > 1;
    for (int k = 1; k < count && oneStation; ++k)
        oneStation = receivers.at(k).stat == receivers.at(0).stat;
    axis.m_kind = oneStation ? Distance : Stations;
    const QVector<double> coordinates =
        axis.m_kind == Stations ? axis.layLines(receivers) : axis.layDistances(receivers);

    // Receivers by coordinate; the report's order (line, station) among
    // equals, and the report's list itself when it is in that order already.
    QVector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        // NaN (a position that is not finite) last.
        const double ca = coordinates.at(a), cb = coordinates.at(b);
        return ca < cb || (!std::isnan(ca) && std::isnan(cb));
    });
    bool inOrder = true;
    for (int k = 0; k < count && inOrder; ++k)
        inOrder = order.at(k) == k;
    axis.m_receivers = inOrder ? receivers : QVector<FbQc::StationResidual>(count);
    axis.m_receiverCoordinates.resize(count);
    for (int k = 0; k < count; ++k) {
        if (!inOrder)
            axis.m_receivers[k] = receivers.at(order.at(k));
        axis.m_receiverCoordinates[k] = coordinates.at(order.at(k));
    }
    if (axis.m_kind == Distance) {
        QVector<double> steps;
        for (int k = 1; k < count; ++k)
            steps.append(axis.m_receiverCoordinates.at(k) - axis.m_receiverCoordinates.at(k - 1));
        axis.m_cellWidth = medianStep(steps, 1.0);
    }
    if (!axis.placeSources(report.shots(), progress))
        return StationAxis();
    return axis;
}

QVector<double> StationAxis::layLines(const QVector<FbQc::StationResidual> &receivers)
{
    // Lines in number order (the report sorts by line, then station).
    QVector<double> steps;
    for (const FbQc::StationResidual &r : receivers) {
        if (m_lines.isEmpty() || m_lines.last().line != r.line)
            m_lines.append(Line{r.line, double(r.stat), double(r.stat), 0.0});
        else if (r.stat != m_lines.last().last)
            steps.append(double(r.stat) - m_lines.last().last);
        m_lines.last().last = r.stat;
    }
    m_cellWidth = medianStep(steps, 1.0);
    placeLines();
    QVector<double> coordinates;
    coordinates.reserve(receivers.size());
    for (const FbQc::StationResidual &r : receivers)
        coordinates.append(m_lines.at(m_lineIndex.value(r.line)).base + r.stat);
    return coordinates;
}

QVector<double> StationAxis::layDistances(const QVector<FbQc::StationResidual> &receivers)
{
    QVector<QPointF> positions;
    positions.reserve(receivers.size());
    for (const FbQc::StationResidual &r : receivers)
        positions.append(QPointF(r.x, r.y));
    m_positionLines = FbQc::ReceiverLines::find(positions);
    if (m_positionLines.count() <= 1)
        return fitLine(receivers);
    // Lines numbered from 1 as they lie across, each from its first
    // receiver to its last along them.
    m_lines.resize(m_positionLines.count());
    for (int l = 0; l < m_lines.size(); ++l)
        m_lines[l] = Line{l + 1, qInf(), -qInf(), 0.0};
    for (const FbQc::StationResidual &r : receivers) {
        const int l = m_positionLines.lineAt(r.x, r.y);
        if (l < 0)
            continue;
        const double at = m_positionLines.along(r.x, r.y);
        m_lines[l].first = qMin(m_lines.at(l).first, at);
        m_lines[l].last = qMax(m_lines.at(l).last, at);
    }
    m_cellWidth = m_positionLines.spacing();
    placeLines();
    QVector<double> coordinates;
    coordinates.reserve(receivers.size());
    for (const FbQc::StationResidual &r : receivers) {
        const int l = m_positionLines.lineAt(r.x, r.y);
        coordinates.append(l < 0 ? qQNaN() : m_lines.at(l).base + m_positionLines.along(r.x, r.y));
    }
    return coordinates;
}

void StationAxis::placeLines()
{
    // Between two lines a few empty columns, enough to see where one ends
    // and to keep apart the sources a station past either end; on long
    // lines about a hundredth of the axis, all gaps together at most a
    // tenth of it, so that the stations keep the room.
    double stations = 0.0;
    for (const Line &line : qAsConst(m_lines))
        stations += line.last - line.first + m_cellWidth;
    const double gaps = qMax(1, int(m_lines.size()) - 1);
    const double gap = qMax(4.0 * m_cellWidth, qMin(0.01 * stations, 0.1 * stations / gaps));
    double end = 0.0;
    for (int l = 0; l < m_lines.size(); ++l) {
        Line &line = m_lines[l];
        line.base = l == 0 ? 0.0 : end + gap - line.first;
        end = line.base + line.last;
        m_lineIndex.insert(line.line, l);
    }
}

QVector<double> StationAxis::fitLine(const QVector<FbQc::StationResidual> &receivers)
{
    // The receivers' principal axis, pointing east (or north).
    double mx = 0, my = 0;
    int finiteCount = 0;
    for (const FbQc::StationResidual &r : receivers) {
        if (finite(r.x, r.y)) {
            mx += r.x;
            my += r.y;
            ++finiteCount;
        }
    }
    mx /= qMax(1, finiteCount);
    my /= qMax(1, finiteCount);
    double sxx = 0, sxy = 0, syy = 0;
    for (const FbQc::StationResidual &r : receivers) {
        if (finite(r.x, r.y)) {
            sxx += (r.x - mx) * (r.x - mx);
            sxy += (r.x - mx) * (r.y - my);
            syy += (r.y - my) * (r.y - my);
        }
    }
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    m_dirX = std::cos(angle);
    m_dirY = std::sin(angle);
    if (m_dirX < -1e-9 || (std::abs(m_dirX) <= 1e-9 && m_dirY < 0)) {
        m_dirX = -m_dirX;
        m_dirY = -m_dirY;
    }
    m_pointX = mx;
    m_pointY = my;
    // Distances from the first receiver along the line.
    double lowest = qInf();
    for (const FbQc::StationResidual &r : receivers) {
        if (finite(r.x, r.y))
            lowest = qMin(lowest, along(r.x, r.y));
    }
    if (qIsFinite(lowest)) {
        m_pointX += lowest * m_dirX;
        m_pointY += lowest * m_dirY;
    }
    QVector<double> coordinates;
    coordinates.reserve(receivers.size());
    for (const FbQc::StationResidual &r : receivers)
        coordinates.append(along(r.x, r.y));
    return coordinates;
}

bool StationAxis::placeSources(const FbQc::ShotSummaries &shots, const Progress &progress)
{
    double lo = qInf(), hi = -qInf();
    for (const double c : qAsConst(m_receiverCoordinates)) {
        if (qIsFinite(c)) {
            lo = qMin(lo, c);
            hi = qMax(hi, c);
        }
    }
    m_origin = qIsFinite(lo) ? lo : 0.0;
    // Consecutive shots from one place are placed once.
    m_sources.resize(shots.size());
    FbQc::ShotSource last;
    float lastCoordinate = float(qQNaN());
    bool haveLast = false;
    int line = -1; // of the last source on a receiver line
    for (int s = 0; s < shots.size(); ++s) {
        if (s % Batch == 0 && progress.cancelled())
            return false;
        const FbQc::ShotSource &source = shots.source(s);
        if (!haveLast || source.x != last.x || source.y != last.y || source.line != last.line ||
            source.stat != last.stat) {
            double c = qQNaN();
            if (m_kind == Distance) {
                if (finite(source.x, source.y))
                    c = m_lines.size() > 1 ? nearestReceiver(source.x, source.y) : along(source.x, source.y);
            } else {
                if (line < 0 || m_lines.at(line).line != source.line)
                    line = m_lineIndex.value(source.line, -1);
                // A station of a receiver line, or within a station of its ends.
                const Line *on = line >= 0 ? &m_lines.at(line) : nullptr;
                if (on && source.stat >= on->first - m_cellWidth && source.stat <= on->last + m_cellWidth)
                    c = on->base + source.stat;
                else if (finite(source.x, source.y))
                    c = nearestReceiver(source.x, source.y);
            }
            last = source;
            haveLast = true;
            lastCoordinate = float(c - m_origin);
        }
        m_sources[s] = lastCoordinate;
        if (std::isfinite(lastCoordinate)) {
            lo = qMin(lo, sourceAt(s));
            hi = qMax(hi, sourceAt(s));
        }
    }
    // The gaps between neighbouring sources' columns: on a line they are
    // the steps between consecutive shots, but shots fired along source
    // lines across several receiver lines (a 3-D survey) hop from line to
    // line. A run of shots shows them when there are millions.
    QVector<double> columns;
    columns.reserve(qMin(shots.size(), SpacingShots));
    for (int s = 0; s < shots.size() && s < SpacingShots; ++s) {
        if (std::isfinite(m_sources.at(s)))
            columns.append(m_sources.at(s));
    }
    std::sort(columns.begin(), columns.end());
    QVector<double> steps;
    for (int k = 1; k < columns.size(); ++k)
        steps.append(columns.at(k) - columns.at(k - 1));
    m_sourceSpacing = qMax(m_cellWidth, medianStep(steps, m_cellWidth));
    if (lo <= hi) {
        m_minimum = lo;
        m_maximum = hi;
    }
    // The grid is needed only while sources are placed.
    m_grid = FbQc::PointGrid();
    m_positions = QVector<QPointF>();
    m_gridBuilt = false;
    return true;
}

double StationAxis::along(float x, float y) const
{
    return (double(x) - m_pointX) * m_dirX + (double(y) - m_pointY) * m_dirY;
}

double StationAxis::nearestReceiver(float x, float y)
{
    if (!m_gridBuilt) {
        m_gridBuilt = true;
        double minX = qInf(), minY = qInf(), maxX = -qInf(), maxY = -qInf();
        m_positions.resize(m_receivers.size());
        for (int k = 0; k < m_receivers.size(); ++k) {
            const FbQc::StationResidual &r = m_receivers.at(k);
            m_positions[k] = QPointF(r.x, r.y);
            if (finite(r.x, r.y)) {
                minX = qMin(minX, double(r.x));
                maxX = qMax(maxX, double(r.x));
                minY = qMin(minY, double(r.y));
                maxY = qMax(maxY, double(r.y));
            }
        }
        // About 1024 cells along the longer side.
        if (minX <= maxX)
            m_grid = FbQc::PointGrid(m_positions, QRectF(minX, minY, maxX - minX, maxY - minY),
                                     qMax(qMax(maxX - minX, maxY - minY) / 1024.0, 1e-6));
    }
    const int nearest = m_grid.nearest(m_positions, x, y);
    return nearest >= 0 ? m_receiverCoordinates.at(nearest) : qQNaN();
}

int StationAxis::lowerBound(double coordinate) const
{
    return int(std::lower_bound(m_receiverCoordinates.cbegin(), m_receiverCoordinates.cend(), coordinate) -
               m_receiverCoordinates.cbegin());
}

double StationAxis::pickAt(const FbRecord &record) const
{
    if (m_kind == Distance) {
        if (!finite(record.group_x, record.group_y))
            return qQNaN();
        if (m_lines.size() <= 1)
            return along(record.group_x, record.group_y);
        const int l = m_positionLines.lineAt(record.group_x, record.group_y);
        return l < 0 ? qQNaN() : m_lines.at(l).base + m_positionLines.along(record.group_x, record.group_y);
    }
    const auto line = m_lineIndex.constFind(record.g_line);
    return line == m_lineIndex.cend() ? qQNaN() : m_lines.at(line.value()).base + record.g_stat;
}

const StationAxis::Line *StationAxis::lineOf(double coordinate) const
{
    // The line whose stations, with half the gap either side, hold it.
    for (int l = 0; l < m_lines.size(); ++l) {
        const Line &line = m_lines.at(l);
        const double from =
            l == 0 ? -qInf() : (m_lines.at(l - 1).base + m_lines.at(l - 1).last + line.base + line.first) / 2;
        const double to = l + 1 == m_lines.size()
                              ? qInf()
                              : (line.base + line.last + m_lines.at(l + 1).base + m_lines.at(l + 1).first) / 2;
        if (coordinate >= from && coordinate < to)
            return &line;
    }
    return nullptr;
}

QString StationAxis::title() const
{
    if (m_kind == Stations)
        return tr("Receiver station");
    return m_lengthUnit.isEmpty() ? tr("Distance along the line")
                                  : tr("Distance along the line (%1)").arg(m_lengthUnit);
}

QString StationAxis::label(double coordinate) const
{
    const auto text = [this](double value) {
        return m_kind == Distance ? groupedLocale().toString(value, 'f', 0) : QString::number(qRound64(value));
    };
    if (m_lines.size() <= 1)
        return text(coordinate);
    const Line *line = lineOf(coordinate);
    const double station = line ? coordinate - line->base : qQNaN();
    // A tick in the gap between two lines names no station.
    if (!line || station < line->first - 0.5 * m_cellWidth || station > line->last + 0.5 * m_cellWidth)
        return QString();
    return text(station);
}

QString StationAxis::describe(double coordinate) const
{
    if (!qIsFinite(coordinate))
        return tr("no station");
    const Line *line = m_lines.size() > 1 ? lineOf(coordinate) : nullptr;
    if (m_kind == Distance && line)
        return tr("line %1, %2 along the line")
            .arg(line->line)
            .arg(groupedLocale().toString(coordinate - line->base, 'f', 1));
    if (m_kind == Distance)
        return tr("%1 along the line").arg(groupedLocale().toString(coordinate, 'f', 1));
    if (line)
        return tr("line %1, station %2").arg(line->line).arg(qRound64(coordinate - line->base));
    return tr("station %1").arg(qRound64(coordinate));
}

QVector<QPair<double, qint32>> StationAxis::lineStarts() const
{
    QVector<QPair<double, qint32>> starts;
    for (const Line &line : m_lines)
        starts.append({line.base + line.first, line.line});
    return m_lines.size() > 1 ? starts : QVector<QPair<double, qint32>>();
}

QVector<int> StationAxis::shotsNearest(double coordinate, int count) const
{
    // The best `count` so far, farthest (then highest shot) on top.
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry> best;
    const float relative = float(coordinate - m_origin);
    for (int s = 0; s < m_sources.size() && count > 0; ++s) {
        const float c = m_sources.at(s);
        if (!std::isfinite(c))
            continue;
        const Entry e{std::abs(double(c) - double(relative)), s};
        if (int(best.size()) < count) {
            best.push(e);
        } else if (e < best.top()) {
            best.pop();
            best.push(e);
        }
    }
    QVector<int> shots(int(best.size()));
    for (int k = shots.size() - 1; k >= 0; --k) {
        shots[k] = best.top().second;
        best.pop();
    }
    return shots;
}

bool StationAxis::findRecording(const QString &fileName, const QVector<ShotIndexEntry> &index, int receiver, int *shot,
                                qint32 *record, int preferred, int tries) const
{
    if (receiver < 0 || receiver >= m_receivers.size())
        return false;
    const FbQc::StationResidual &wanted = m_receivers.at(receiver);
    QVector<int> candidates = shotsNearest(m_receiverCoordinates.at(receiver), tries);
    if (preferred >= 0)
        candidates.prepend(preferred);
    // A receiver is a position; its picks carry those very floats.
    for (const int s : qAsConst(candidates)) {
        if (s < 0 || s >= index.size())
            continue;
        const ShotIndexEntry &entry = index.at(s);
        const QVector<FbRecord> records = readShotRecords(fileName, entry.firstRecord, entry.lastRecord);
        for (int i = 0; i < records.size(); ++i) {
            const FbRecord &r = records.at(i);
            if (r.group_x + 0.0f == wanted.x && r.group_y + 0.0f == wanted.y) {
                *shot = s;
                *record = entry.firstRecord + i;
                return true;
            }
        }
    }
    return false;
}

QwtScaleDraw *StationAxis::scaleDraw() const
{
    return new StationScaleDraw(*this);
}

QwtScaleEngine *StationAxis::scaleEngine() const
{
    return new StationScaleEngine(*this);
}

QList<double> StationAxis::ticks(double lower, double upper, double step) const
{
    QList<double> ticks;
    if (!(step > 0.0) || !(upper >= lower))
        return ticks;
    if (m_lines.size() <= 1) {
        for (double k = std::ceil(lower / step); k * step <= upper; ++k)
            ticks.append(k * step);
        return ticks;
    }
    for (const Line &line : m_lines) {
        const double from = std::max(line.first, lower - line.base);
        const double to = std::min(line.last, upper - line.base);
        for (double k = std::ceil(from / step); k * step <= to; ++k)
            ticks.append(line.base + k * step);
    }
    return ticks;
}

QColor StationViews::late()
{
    return QColor(215, 35, 35);
}

QColor StationViews::early()
{
    return QColor(35, 75, 210);
}

QColor StationViews::diverging(double value, double reach)
{
    if (!qIsFinite(value))
        return QColor();
    const double t = qBound(-1.0, reach > 0 ? value / reach : 0.0, 1.0);
    const QColor end = t < 0 ? early() : late();
    const double a = std::abs(t);
    return QColor::fromRgbF(1.0 - a * (1.0 - end.redF()), 1.0 - a * (1.0 - end.greenF()),
                            1.0 - a * (1.0 - end.blueF()));
}

void StationViews::zoomAxis(QwtPlot *plot, int axis, int canvasPixel, double factor)
{
    const double at = plot->canvasMap(axis).invTransform(canvasPixel);
    const QwtInterval shown = plot->axisInterval(axis);
    plot->setAxisScale(axis, at + (shown.minValue() - at) * factor, at + (shown.maxValue() - at) * factor);
}

bool StationViews::fitLabelBudget(QwtPlot *plot, const StationAxis &axis)
{
    // The widest label the axis may show, and a gap of two digits: the
    // labels a station axis's length holds side by side.
    const QFontMetricsF metrics(plot->axisWidget(QwtPlot::xBottom)->font());
    double widest = 0.0;
    for (double at : {axis.minimum(), axis.maximum()})
        widest = std::max(widest, metrics.horizontalAdvance(axis.label(at)));
    for (const auto &start : axis.lineStarts())
        widest = std::max(widest, metrics.horizontalAdvance(axis.label(start.first)));
    widest = std::max(widest, metrics.horizontalAdvance(QStringLiteral("0000")));
    const double length = plot->canvas()->contentsRect().width();
    const int budget = std::max(2, int(length / (widest + metrics.horizontalAdvance(QStringLiteral("00")))));
    if (budget == plot->axisMaxMajor(QwtPlot::xBottom))
        return false;
    plot->setAxisMaxMajor(QwtPlot::xBottom, budget);
    return true;
}

QList<QwtPlotMarker *> StationViews::markLines(QwtPlot *plot, const StationAxis &axis)
{
    QList<QwtPlotMarker *> markers;
    for (const auto &start : axis.lineStarts()) {
        auto *marker = new QwtPlotMarker;
        marker->setLineStyle(QwtPlotMarker::VLine);
        marker->setLinePen(QColor(120, 120, 120), 1, Qt::DotLine);
        marker->setXValue(start.first - axis.cellWidth() / 2);
        marker->setZ(20);
        marker->attach(plot);
        markers.append(marker);
    }
    captionLines(plot, axis);
    return markers;
}

void StationViews::captionLines(QwtPlot *plot, const StationAxis &axis)
{
    // The captions sit on the top axis, above the cells rather than on them,
    // each over the middle of its line's part in view, following the zoom
    // and the width.
    const QString name = QStringLiteral("lineCaptions");
    delete plot->findChild<QObject *>(name, Qt::FindDirectChildrenOnly);
    const QVector<QPair<double, qint32>> starts = axis.lineStarts();
    plot->enableAxis(QwtPlot::xTop, !starts.isEmpty());
    if (starts.isEmpty())
        return;
    plot->setAxisScaleDraw(QwtPlot::xTop, new LineCaptionDraw(axis));
    const double half = axis.cellWidth() / 2, last = axis.maximum();
    const auto place = [plot, starts, half, last] {
        const QwtScaleDiv shown = plot->axisScaleDiv(QwtPlot::xBottom);
        const double lower = std::min(shown.lowerBound(), shown.upperBound());
        const double upper = std::max(shown.lowerBound(), shown.upperBound());
        const QwtScaleMap map = plot->canvasMap(QwtPlot::xBottom);
        const QFontMetricsF metrics(plot->axisWidget(QwtPlot::xTop)->font());
        QList<double> ticks;
        for (int l = 0; l < starts.size(); ++l) {
            const double from = std::max(lower, starts.at(l).first - half);
            const double to = std::min(upper, l + 1 < starts.size() ? starts.at(l + 1).first - half : last + half);
            // A line too narrow in view for its caption goes without.
            const double room = std::abs(map.transform(to) - map.transform(from));
            if (room >= metrics.horizontalAdvance(StationAxis::tr("Line %1").arg(starts.at(l).second)))
                ticks.append((from + to) / 2);
        }
        const QwtScaleDiv captions(lower, upper, QList<double>(), QList<double>(), ticks);
        if (captions == plot->axisScaleDiv(QwtPlot::xTop))
            return false;
        plot->setAxisScaleDiv(QwtPlot::xTop, captions);
        return true;
    };
    auto *follower = new CaptionFollower(plot, place);
    follower->setObjectName(name);
    QObject::connect(plot->axisWidget(QwtPlot::xBottom), &QwtScaleWidget::scaleDivChanged, follower,
                     [follower] { follower->place(); });
    place();
}

} // namespace FbView
