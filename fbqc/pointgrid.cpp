#include <fbqc/pointgrid.h>

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace FbQc {

PointGrid::PointGrid(const QVector<QPointF> &points, const QRectF &box, double cell)
    : m_x(box.x()), m_y(box.y()), m_cell(cell > 0.0 ? cell : 1.0)
{
    m_columns = int(std::max(0.0, box.width()) / m_cell) + 1;
    m_rows = int(std::max(0.0, box.height()) / m_cell) + 1;
    const int n = points.size();
    QVector<int> cells(n, -1);
    m_start.fill(0, m_columns * m_rows + 1);
    for (int i = 0; i < n; ++i) {
        const QPointF &p = points.at(i);
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            continue;
        cells[i] = cellOf(p.x(), p.y());
        ++m_start[cells[i] + 1];
    }
    for (int c = 1; c < m_start.size(); ++c)
        m_start[c] += m_start[c - 1];
    m_members.resize(m_start.last());
    QVector<int> next = m_start;
    for (int i = 0; i < n; ++i) {
        if (cells.at(i) >= 0)
            m_members[next[cells.at(i)]++] = i;
    }
}

int PointGrid::cellOf(double x, double y) const
{
    const int ix = int(qBound(0.0, std::floor((x - m_x) / m_cell), double(m_columns - 1)));
    const int iy = int(qBound(0.0, std::floor((y - m_y) / m_cell), double(m_rows - 1)));
    return iy * m_columns + ix;
}

int PointGrid::nearest(const QVector<QPointF> &points, double x, double y, Place place) const
{
    if (m_members.isEmpty() || !std::isfinite(x) || !std::isfinite(y))
        return -1;
    const int at = cellOf(x, y), cx = at % m_columns, cy = at / m_columns;
    // Squared distances: a spread's every receiver may ask, and a root
    // per candidate costs more than the rest.
    double best2 = qInf();
    int best = -1;
    const auto visit = [&](int ix, int iy) {
        if (ix < 0 || iy < 0 || ix >= m_columns || iy >= m_rows)
            return;
        const int c = iy * m_columns + ix;
        for (int k = m_start.at(c); k < m_start.at(c + 1); ++k) {
            const int i = m_members.at(k);
            const double dx = points.at(i).x() - x, dy = points.at(i).y() - y;
            const double d2 = dx * dx + dy * dy;
            if (place == SamePlaceSkipped && d2 == 0.0)
                continue;
            if (d2 < best2 || (d2 == best2 && i < best)) {
                best2 = d2;
                best = i;
            }
        }
    };
    // Rings of cells outwards: what lies beyond ring r is at least r cells away.
    const int rings = std::max(m_columns, m_rows);
    for (int r = 0; r <= rings; ++r) {
        for (int k = -r; k <= r; ++k) {
            visit(cx + k, cy - r);
            if (r > 0)
                visit(cx + k, cy + r);
        }
        for (int k = -r + 1; k <= r - 1; ++k) {
            visit(cx - r, cy + k);
            visit(cx + r, cy + k);
        }
        if (best >= 0 && best2 <= (r * m_cell) * (r * m_cell))
            break;
    }
    return best;
}

} // namespace FbQc
