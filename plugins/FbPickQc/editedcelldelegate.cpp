#include "editedcelldelegate.h"

#include "shottablemodel.h"

#include <QPainter>
#include <QPainterPath>

QColor EditedCellDelegate::markColor()
{
    return QColor(0, 0, 0);
}

void EditedCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!index.data(ShotTableModel::EditedRole).toBool())
        return;
    const QRect r = option.rect;
    const int side = qBound(7, r.height() / 2, 11);
    QPainterPath corner;
    corner.moveTo(r.topLeft());
    corner.lineTo(r.left() + side, r.top());
    corner.lineTo(r.left(), r.top() + side);
    corner.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(corner, markColor());
    painter->restore();
}
