#ifndef SHOTTABLEDELEGATE_H
#define SHOTTABLEDELEGATE_H

#include <QStyledItemDelegate>

// Cells of the QC window's shot table: a selected row keeps each cell's own
// colours (the pick status behind fb_time, a varying source value in red)
// and is framed instead of filled, and an outlier's fb_time carries a ring,
// the plot's mark for it, selected or not. A cell the user edited has a
// black triangle in its top left corner, which reads on every status colour
// and on the frame. The model says which cell is an outlier's
// (ShotTableModel::OutlierRole) and which the user edited (EditedRole).
//
//   table->setItemDelegate(new ShotTableDelegate(table));
class ShotTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Pixels across the outlier ring, and the frame's width.
    static constexpr int RingSize = 11;
    static constexpr int FrameWidth = 2;
    // The corner mark of an edited cell.
    static QColor editedMarkColor();

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

#endif // SHOTTABLEDELEGATE_H
