#include <fbview/shotlistview.h>

#include <QCursor>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <climits>

namespace FbView {

ShotListView::ShotListView(QWidget *parent) : QAbstractItemView(parent)
{
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int ShotListView::rowHeight() const
{
    return fontMetrics().height() + 4;
}

int ShotListView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

// The row under viewport position y; past the last row for a y below it.
int ShotListView::firstRowAt(int y) const
{
    return int((qint64(y) + verticalOffset()) / rowHeight());
}

QRect ShotListView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex())
        return QRect();
    // Rows far from sight keep their side of the viewport whatever the
    // number of rows.
    const qint64 top = qint64(index.row()) * rowHeight() - verticalOffset();
    return QRect(0, int(qBound<qint64>(-(1 << 30), top, 1 << 30)), viewport()->width(), rowHeight());
}

void ShotListView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const qint64 top = qint64(index.row()) * rowHeight();
    const int page = viewport()->height();
    qint64 offset = verticalOffset();
    switch (hint) {
    case PositionAtTop:
        offset = top;
        break;
    case PositionAtBottom:
        offset = top + rowHeight() - page;
        break;
    case PositionAtCenter:
        offset = top - (page - rowHeight()) / 2;
        break;
    case EnsureVisible:
        if (top < offset)
            offset = top;
        else if (top + rowHeight() > offset + page)
            offset = top + rowHeight() - page;
        break;
    }
    verticalScrollBar()->setValue(int(qBound<qint64>(0, offset, verticalScrollBar()->maximum())));
    viewport()->update();
}

QModelIndex ShotListView::indexAt(const QPoint &point) const
{
    const int row = firstRowAt(point.y());
    if (point.y() < 0 || row >= rowCount())
        return QModelIndex();
    return model()->index(row, 0, rootIndex());
}

// The text of every row has the length of the longest, or less: the first
// and the last row stand for all of them.
int ShotListView::sizeHintForColumn(int column) const
{
    if (!model() || rowCount() == 0)
        return -1;
    QStyleOptionViewItem option = viewOptions();
    const int last = rowCount() - 1;
    return qMax(itemDelegate()->sizeHint(option, model()->index(0, column, rootIndex())).width(),
                itemDelegate()->sizeHint(option, model()->index(last, column, rootIndex())).width());
}

QModelIndex ShotListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int count = rowCount();
    if (count == 0)
        return QModelIndex();
    const int current = currentIndex().isValid() ? currentIndex().row() : 0;
    const int page = qMax(1, viewport()->height() / rowHeight());
    int row = current;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        row = current - 1;
        break;
    case MoveDown:
    case MoveNext:
        row = current + 1;
        break;
    case MovePageUp:
        row = current - page;
        break;
    case MovePageDown:
        row = current + page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    default:
        break;
    }
    return model()->index(qBound(0, row, count - 1), 0, rootIndex());
}

int ShotListView::horizontalOffset() const
{
    return 0;
}

int ShotListView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool ShotListView::isIndexHidden(const QModelIndex &) const
{
    return false;
}

void ShotListView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const QModelIndex index = indexAt(rect.topLeft());
    if (index.isValid())
        selectionModel()->select(index, command);
}

QRegion ShotListView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const QRect rect = visualRect(model()->index(row, 0, rootIndex()));
            if (rect.intersects(viewport()->rect()))
                region += rect;
        }
    }
    return region;
}

void ShotListView::updateGeometries()
{
    const qint64 height = qint64(rowCount()) * rowHeight();
    const int page = viewport()->height();
    verticalScrollBar()->setRange(0, int(qBound<qint64>(0, height - page, INT_MAX)));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(rowHeight());
    QAbstractItemView::updateGeometries();
}

void ShotListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const int count = rowCount();
    const QRect area = event->rect();
    QStyleOptionViewItem option = viewOptions();
    for (int row = firstRowAt(area.top()); row < count && row <= firstRowAt(area.bottom()); ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        option.rect = visualRect(index);
        option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (selectionModel() && selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == currentIndex() && hasFocus())
            option.state |= QStyle::State_HasFocus;
        if (option.rect.contains(viewport()->mapFromGlobal(QCursor::pos())) && underMouse())
            option.state |= QStyle::State_MouseOver;
        itemDelegate()->paint(&painter, option, index);
    }
}

} // namespace FbView
