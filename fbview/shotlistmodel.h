#ifndef FBVIEW_SHOTLISTMODEL_H
#define FBVIEW_SHOTLISTMODEL_H

#include <fbfile/shotindex.h>

#include <QAbstractListModel>
#include <QVector>

namespace FbView {

// The viewer's list of shots, one row per shot index entry, shown as
// "position > ffid" with both numbers right-aligned to the digits of the
// shot count. A file may hold millions of shots, so nothing is kept per row:
// each text is made when a view asks for it, and the model shares the
// viewer's copy of the index.
//
//   auto *shots = new ShotListModel(combo);
//   combo->setModel(shots);
//   shots->setShots(index);   // all rows at once: the combo makes row 0 current
//
// Rows are read-only and never change once set; setShots() on a model that
// already holds shots replaces them with one reset.
class ShotListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ShotListModel(QObject *parent = nullptr);

    // Inserts one row per entry of shots in a single step. The list held
    // before is moved to *previous when given, for the caller to free where
    // it costs the UI nothing (millions of entries take a while to free).
    void setShots(const QVector<FbFile::ShotIndexEntry> &shots, QVector<FbFile::ShotIndexEntry> *previous = nullptr);

    // The text of row i: "%1 > %2" with i + 1 and the entry's ffid, each
    // padded with blanks to at least the digits of the shot count.
    QString text(int row) const;
    // Characters of the longest text any row has, found without making them.
    int longestTextLength() const;
    // The same for a list not yet set: a scan of every entry, which a caller
    // with millions of shots makes off the UI thread.
    static int longestTextLength(const QVector<FbFile::ShotIndexEntry> &shots);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QVector<FbFile::ShotIndexEntry> m_shots;
    int m_width = 1; // digits of the shot count
};

} // namespace FbView

#endif // FBVIEW_SHOTLISTMODEL_H
