#include <fbqc/receiverlines.h>

#include <fbfile/fblayout.h>
#include <fbqc/pointgrid.h>

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace FbQc {

namespace {

// Receivers whose nearest neighbours tell the spacing and the direction:
// a few thousand, spread over the list, say it as well as all of them.
constexpr int Probes = 4096;

// The value at fraction q of values (reordered).
double quantile(QVector<double> *values, double q)
{
    const int k = qBound(0, int(q * (values->size() - 1)), int(values->size()) - 1);
    std::nth_element(values->begin(), values->begin() + k, values->end());
    return values->at(k);
}

} // namespace

ReceiverLines ReceiverLines::find(const QVector<QPointF> &positions)
{
    ReceiverLines lines;
    QVector<QPointF> points;
    points.reserve(positions.size());
    for (const QPointF &p : positions) {
        if (std::isfinite(p.x()) && std::isfinite(p.y()))
            points.append(p);
    }
    const int n = points.size();
    lines.m_known = n > 0;
    if (n == 0)
        return lines;
    lines.m_originX = points.at(0).x();
    lines.m_originY = points.at(0).y();

    if (n >= 3) {
        // A grid of cells about one receiver each, sized by the bulk of the
        // survey so that a stray coordinate far off does not make one cell
        // of it; what lies outside goes to the edge cells.
        QVector<double> xs(n), ys(n);
        for (int i = 0; i < n; ++i) {
            xs[i] = points.at(i).x();
            ys[i] = points.at(i).y();
        }
        const double x0 = quantile(&xs, 0.01), x1 = quantile(&xs, 0.99);
        const double y0 = quantile(&ys, 0.01), y1 = quantile(&ys, 0.99);
        const double w = x1 - x0, h = y1 - y0;
        double cell = std::max(std::sqrt(w * h / n), std::max(w, h) / n);
        if (!(cell > 0.0))
            cell = 1.0;
        const PointGrid grid(points, QRectF(x0, y0, w, h), cell);

        // Each probe's nearest other receiver.
        QVector<double> distances;
        double c2 = 0.0, s2 = 0.0;
        const int step = std::max(1, n / Probes);
        for (int i = 0; i < n; i += step) {
            const QPointF p = points.at(i);
            // The same place twice is one receiver.
            const int k = grid.nearest(points, p.x(), p.y(), PointGrid::SamePlaceSkipped);
            if (k < 0)
                continue;
            const QPointF nearest = points.at(k) - p;
            const double best2 = nearest.x() * nearest.x() + nearest.y() * nearest.y();
            distances.append(std::sqrt(best2));
            // Directions by their doubled angle, so that a neighbour ahead
            // and one behind point the same way: the unit vector squared.
            c2 += (nearest.x() * nearest.x() - nearest.y() * nearest.y()) / best2;
            s2 += 2.0 * nearest.x() * nearest.y() / best2;
        }
        if (!distances.isEmpty()) {
            lines.m_spacing = quantile(&distances, 0.5);
            const double angle = 0.5 * std::atan2(s2, c2);
            lines.m_dirX = std::cos(angle);
            lines.m_dirY = std::sin(angle);
        }
    }
    // Pointing east (or north).
    if (lines.m_dirX < -1e-9 || (std::abs(lines.m_dirX) <= 1e-9 && lines.m_dirY < 0)) {
        lines.m_dirX = -lines.m_dirX;
        lines.m_dirY = -lines.m_dirY;
    }
    double first = qInf();
    QVector<double> across(n);
    for (int i = 0; i < n; ++i) {
        first = std::min(first, lines.along(points.at(i).x(), points.at(i).y()));
        across[i] = lines.across(points.at(i).x(), points.at(i).y());
    }
    lines.m_originX += first * lines.m_dirX;
    lines.m_originY += first * lines.m_dirY;

    if (lines.m_spacing > 0.0) {
        std::sort(across.begin(), across.end());
        const double gap = LineGapSpacings * lines.m_spacing;
        for (int i = 1; i < n; ++i) {
            if (across.at(i) - across.at(i - 1) >= gap)
                lines.m_bounds.append((across.at(i) + across.at(i - 1)) / 2);
        }
    }
    return lines;
}

bool ReceiverLines::oneBand(const QVector<QPointF> &positions)
{
    int n = 0;
    double mx = 0.0, my = 0.0;
    for (const QPointF &p : positions) {
        if (std::isfinite(p.x()) && std::isfinite(p.y())) {
            ++n;
            mx += p.x();
            my += p.y();
        }
    }
    if (n < 3)
        return true;
    mx /= n;
    my /= n;
    double sxx = 0.0, sxy = 0.0, syy = 0.0;
    for (const QPointF &p : positions) {
        if (std::isfinite(p.x()) && std::isfinite(p.y())) {
            sxx += (p.x() - mx) * (p.x() - mx);
            sxy += (p.x() - mx) * (p.y() - my);
            syy += (p.y() - my) * (p.y() - my);
        }
    }
    const double angle = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
    const double dx = std::cos(angle), dy = std::sin(angle);
    double alongMin = qInf(), alongMax = -qInf(), acrossMin = qInf(), acrossMax = -qInf();
    for (const QPointF &p : positions) {
        if (std::isfinite(p.x()) && std::isfinite(p.y())) {
            const double a = (p.x() - mx) * dx + (p.y() - my) * dy, c = (p.y() - my) * dx - (p.x() - mx) * dy;
            alongMin = std::min(alongMin, a);
            alongMax = std::max(alongMax, a);
            acrossMin = std::min(acrossMin, c);
            acrossMax = std::max(acrossMax, c);
        }
    }
    return acrossMax - acrossMin < LineGapSpacings * (alongMax - alongMin) / (n - 1);
}

double ReceiverLines::along(double x, double y) const
{
    return (x - m_originX) * m_dirX + (y - m_originY) * m_dirY;
}

double ReceiverLines::across(double x, double y) const
{
    // Left of the direction is positive.
    return (y - m_originY) * m_dirX - (x - m_originX) * m_dirY;
}

int ReceiverLines::lineAt(double x, double y) const
{
    if (!m_known || !std::isfinite(x) || !std::isfinite(y))
        return -1;
    const double a = across(x, y);
    return int(std::upper_bound(m_bounds.cbegin(), m_bounds.cend(), a) - m_bounds.cbegin());
}

const ReceiverLines &ShotLines::lines()
{
    if (!m_found) {
        m_found = true;
        QVector<QPointF> positions;
        positions.reserve(m_n);
        for (int i = 0; i < m_n; ++i) {
            if (std::isfinite(m_records[i].group_x) && std::isfinite(m_records[i].group_y))
                positions.append(QPointF(m_records[i].group_x, m_records[i].group_y));
        }
        if (!ReceiverLines::oneBand(positions))
            m_lines = ReceiverLines::find(positions);
    }
    return m_lines;
}

} // namespace FbQc
