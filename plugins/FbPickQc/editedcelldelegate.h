#ifndef EDITEDCELLDELEGATE_H
#define EDITEDCELLDELEGATE_H

#include <QStyledItemDelegate>

// Draws a cell as usual, and a cell that the user edited (the model's
// ShotTableModel::EditedRole is true) with a dark triangle in its top left
// corner, which reads beside every status colour of the background.
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
