#ifndef FBQC_POINTGRID_H
#define FBQC_POINTGRID_H

#include <QPointF>
#include <QRectF>
#include <QVector>

namespace FbQc {

// Points binned in square cells over a box, for the point nearest a place
// without measuring them all: receivers for a source, or a receiver's
// nearest neighbour. Points outside the box go to its edge cells, so a
// stray coordinate far off neither widens the cells nor is lost; points
// that are not finite are left out. Indexes are those of the points given,
// which the grid does not keep: the caller keeps them unchanged while it
// asks.
//
//   PointGrid grid(positions, QRectF(x0, y0, w, h), cell);
//   const int k = grid.nearest(positions, x, y); // -1: none
class PointGrid
{
public:
    // What a search passes over.
    enum Place { SamePlaceCounts, SamePlaceSkipped };

    PointGrid() = default;
    // Cells of side `cell` from the box's corner (x, y) to at least its far
    // corner; a cell that is not positive is taken as 1.
    PointGrid(const QVector<QPointF> &points, const QRectF &box, double cell);

    bool isEmpty() const { return m_members.isEmpty(); }
    // The finite point nearest (x, y), the lowest index among equally
    // near ones; with SamePlaceSkipped, points at (x, y) itself are passed
    // over (a receiver is not its own neighbour). -1 when none is left.
    int nearest(const QVector<QPointF> &points, double x, double y, Place place = SamePlaceCounts) const;

private:
    int cellOf(double x, double y) const;

    double m_x = 0.0, m_y = 0.0, m_cell = 1.0;
    int m_columns = 0, m_rows = 0;
    // Point indexes sorted by cell; cell c holds m_members[m_start[c]] up
    // to m_members[m_start[c + 1]].
    QVector<int> m_members;
    QVector<int> m_start;
};

} // namespace FbQc

#endif // FBQC_POINTGRID_H
