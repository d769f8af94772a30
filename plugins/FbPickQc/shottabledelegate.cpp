#include "shottabledelegate.h"

#include "shottablemodel.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

using namespace FbFile;
using namespace FbQc;

namespace {

// Room kept at the right of an outlier's cell for its ring.
constexpr int RingMargin = 3;

} // namespace

QColor ShotTableDelegate::editedMarkColor()
{
    return QColor(0, 0, 0);
}

void ShotTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const bool outlier = index.data(ShotTableModel::OutlierRole).toBool();
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    // Drawn as if not selected, so that the selection colour does not hide
    // the cell's own; the frame below shows the selection instead.
    cell.state &= ~QStyle::State_Selected;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    if (outlier) {
        // The status colour under the whole cell, the text clear of the ring.
        QStyleOptionViewItem background = cell;
        background.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
        cell.backgroundBrush = QBrush();
        cell.rect.setRight(cell.rect.right() - RingSize - RingMargin);
    }
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    painter->save();
    if (outlier) {
        const QRect ring(option.rect.right() - RingSize - RingMargin + 1, option.rect.center().y() - RingSize / 2,
                         RingSize, RingSize);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(QRectF(ring).adjusted(0.75, 0.75, -0.75, -0.75));
        painter->setRenderHint(QPainter::Antialiasing, false);
    }
    if (selected) {
        // The row's frame: its top and bottom edge in every cell, its ends in
        // the first and last column.
        const QColor colour = option.palette.color(
            option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
        const QRect r = option.rect;
        painter->fillRect(QRect(r.left(), r.top(), r.width(), FrameWidth), colour);
        painter->fillRect(QRect(r.left(), r.bottom() - FrameWidth + 1, r.width(), FrameWidth), colour);
        if (index.column() == 0)
            painter->fillRect(QRect(r.left(), r.top(), FrameWidth, r.height()), colour);
        if (index.model() && index.column() == index.model()->columnCount(index.parent()) - 1)
            painter->fillRect(QRect(r.right() - FrameWidth + 1, r.top(), FrameWidth, r.height()), colour);
    }
    // Over the frame, so that it reads on a selected row too.
    if (index.data(ShotTableModel::EditedRole).toBool()) {
        const QRect r = option.rect;
        const int side = qBound(7, r.height() / 2, 11);
        QPainterPath corner;
        corner.moveTo(r.topLeft());
        corner.lineTo(r.left() + side, r.top());
        corner.lineTo(r.left(), r.top() + side);
        corner.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(corner, editedMarkColor());
        painter->setRenderHint(QPainter::Antialiasing, false);
    }
    painter->restore();
}

QSize ShotTableDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.data(ShotTableModel::OutlierRole).toBool())
        size.rwidth() += RingSize + RingMargin;
    return size;
}
