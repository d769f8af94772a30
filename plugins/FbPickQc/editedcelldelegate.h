#ifndef EDITEDCELLDELEGATE_H
#define EDITEDCELLDELEGATE_H

#include <QStyledItemDelegate>

// Draws a cell as usual, and a cell that the user edited (the model's
// ShotTableModel::EditedRole is true) with a black triangle in its top left
// corner, which reads on every status colour of the background and on the
// selection's.
class EditedCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The corner mark of an edited cell.
    static QColor markColor();

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

#endif // EDITEDCELLDELEGATE_H
