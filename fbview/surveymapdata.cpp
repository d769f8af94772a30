#include <fbview/surveymapdata.h>

#include <QtMath>

#include <cmath>
#include <limits>
#include <cstring>

using namespace FbFile;

namespace FbView {

SurveyMapData SurveyMapData::build(QVector<SurveyPoint> sources, QVector<SurveyPoint> receivers,
                                   const Progress &progress)
{
    constexpr int Batch = 1 << 20;
    SurveyMapData data;
    data.m_sources = std::move(sources);
    data.m_receivers = std::move(receivers);
    double minX = qInf(), minY = qInf(), maxX = -qInf(), maxY = -qInf();
    auto include = [&](const SurveyPoint &p) {
        minX = qMin(minX, double(p.x));
        maxX = qMax(maxX, double(p.x));
        minY = qMin(minY, double(p.y));
        maxY = qMax(maxY, double(p.y));
    };
    for (SurveyPoint &p : data.m_sources) {
        if (qIsFinite(p.x) && qIsFinite(p.y))
            include(p);
        else
            p = SurveyPoint{float(qQNaN()), float(qQNaN())};
    }
    for (const SurveyPoint &p : qAsConst(data.m_receivers)) {
        if (qIsFinite(p.x) && qIsFinite(p.y))
            include(p);
    }
    if (minX <= maxX)
        data.m_bounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));

    // About 1024 cells along the survey's longer side: a click reaches a few
    // dozen cells at most at full view. The shots are placed by counting.
    const QRectF &b = data.m_bounds;
    data.m_cellSize = qMax(qMax(b.width(), b.height()) / 1024.0, 1e-6);
    data.m_columns = data.cellOf(b.width()) + 1;
    data.m_rows = data.cellOf(b.height()) + 1;
    const int shots = data.m_sources.size();
    QVector<int> cellOfShot(shots, -1);
    data.m_cellStart.fill(0, data.m_columns * data.m_rows + 1);
    for (int s = 0; s < shots; ++s) {
        if (s % Batch == 0 && progress.cancelled())
            return SurveyMapData();
        const SurveyPoint &p = data.m_sources.at(s);
        if (!qIsFinite(p.x))
            continue;
        const int ix = qBound(0, data.cellOf(p.x - b.left()), data.m_columns - 1);
        const int iy = qBound(0, data.cellOf(p.y - b.top()), data.m_rows - 1);
        cellOfShot[s] = iy * data.m_columns + ix;
        ++data.m_cellStart[cellOfShot[s] + 1];
    }
    for (int c = 1; c < data.m_cellStart.size(); ++c)
        data.m_cellStart[c] += data.m_cellStart[c - 1];
    data.m_cellShots.resize(data.m_cellStart.last());
    QVector<int> next = data.m_cellStart;
    for (int s = 0; s < shots; ++s) {
        if (cellOfShot.at(s) >= 0)
            data.m_cellShots[next[cellOfShot.at(s)]++] = s;
    }
    return data;
}

void SurveyMapData::forEachSourceNear(const QRectF &area, const std::function<void(int)> &visit) const
{
    if (m_cellShots.isEmpty())
        return;
    // Only the cells that exist are looked at, however far out the view is.
    const auto clampedCell = [this](double offset, int cells) {
        return int(qBound(-1.0, std::floor(offset / m_cellSize), double(cells)));
    };
    const int ix0 = qMax(0, clampedCell(area.left() - m_bounds.left(), m_columns));
    const int ix1 = qMin(m_columns - 1, clampedCell(area.right() - m_bounds.left(), m_columns));
    const int iy0 = qMax(0, clampedCell(area.top() - m_bounds.top(), m_rows));
    const int iy1 = qMin(m_rows - 1, clampedCell(area.bottom() - m_bounds.top(), m_rows));
    for (int iy = iy0; iy <= iy1; ++iy) {
        for (int ix = ix0; ix <= ix1; ++ix) {
            const int c = iy * m_columns + ix;
            for (int k = m_cellStart.at(c); k < m_cellStart.at(c + 1); ++k)
                visit(m_cellShots.at(k));
        }
    }
}

void SurveyValues::findRange()
{
    // A NaN fails both comparisons.
    float lo = std::numeric_limits<float>::max(), hi = -std::numeric_limits<float>::max();
    for (const float v : values) {
        if (std::abs(v) <= std::numeric_limits<float>::max()) {
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    }
    if (lo > hi)
        lo = hi = 0.0f;
    low = lo;
    high = hi;
}

} // namespace FbView
