#ifndef FBVIEW_SHOTLISTVIEW_H
#define FBVIEW_SHOTLISTVIEW_H

#include <QAbstractItemView>

namespace FbView {

// The pop-up list of the viewer's shot combo box: one column of rows of one
// fixed height, of which only those in sight are ever asked for or drawn.
// Placing a row is arithmetic, so a list of millions of shots costs nothing
// per row when it is filled or popped up (a list view places every row, a
// table view keeps a header section per row).
//
//   combo->setView(new ShotListView);   // before setModel()
//
// Rows are as high as the view's font needs; the view scrolls by pixels and
// selects one row at a time. Hidden rows, editing and drag and drop are not
// supported, and past about 90 million rows the last ones cannot be
// scrolled to (the scroll range is an int of pixels).
class ShotListView : public QAbstractItemView
{
    Q_OBJECT

public:
    explicit ShotListView(QWidget *parent = nullptr);

    int rowHeight() const;

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    int sizeHintForColumn(int column) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;

private:
    int rowCount() const;
    int firstRowAt(int y) const;
};

} // namespace FbView

#endif // FBVIEW_SHOTLISTVIEW_H
