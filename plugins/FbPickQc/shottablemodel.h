#ifndef SHOTTABLEMODEL_H
#define SHOTTABLEMODEL_H

#include <fbfile/fblayout.h>
#include "pickedit.h"
#include <fbqc/pickqc.h>

#include <QAbstractTableModel>
#include <QVector>

// The current shot's records in the viewer's sixteen columns, titles, cell
// texts and pick-status colours, with each offending cell marked on its own:
// a source value that differs from the shot's most common value in red, an
// outlier's fb_time in bold. A marked cell's tool tip says why. Rows are made
// on demand from the records; nothing is stored per cell. fb_time reads
// at full precision: the shortest text that reads back to the same float.
// OutlierRole tells a delegate which cell to mark.
//
// Editing: with setEditable(true), fb_time takes a typed number (in the
// user's locale or with a point); the model changes nothing itself but
// says timeEntered() (timeRefused() for text that is not a finite number),
// and the shot's records come back through updatePicks(). The fb_time cell
// of a pick the user edited (setEdits()) answers EditedRole with true and
// says the file's values in its tool tip, its times in ms as every other
// time the window shows, whatever unit the file stores them in.
class ShotTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int OutlierRole = Qt::UserRole + 1;

    // A shot as the table shows it, made on any thread: finding the source
    // attributes' most common values takes a pass over every record, which
    // for a giant shot is no work for the UI thread.
    struct Shot
    {
        QVector<FbFile::FbRecord> records;
        FbQc::ShotFit fit;
        qint32 firstRecord = 0;  // file record number of the shot's first record
        FbFile::FbRecord common; // the most common value of each source attribute
        quint32 varying = 0;     // bit per column that is not constant
    };
    static Shot prepare(QVector<FbFile::FbRecord> records, FbQc::ShotFit fit, qint32 firstRecord);

    // Whether a cell shows a user's edit (bool).
    static constexpr int EditedRole = Qt::UserRole + 2;

    explicit ShotTableModel(QObject *parent = nullptr);

    // Takes a prepared shot; costs no pass over its records.
    void setShot(Shot shot);
    // firstRecord: file record number of the shot's first record.
    void setShot(QVector<FbFile::FbRecord> records, FbQc::ShotFit fit, qint32 firstRecord);
    const QVector<FbFile::FbRecord> &records() const { return m_records; }
    const FbQc::ShotFit &fit() const { return m_fit; }
    qint32 firstRecord() const { return m_firstRecord; }

    // The same shot's records and fit after its picks were edited: the
    // rows stay, so selection and scrolling do too. records must be as many
    // as before.
    void updatePicks(QVector<FbFile::FbRecord> records, FbQc::ShotFit fit);
    // The user's edits of the file, by record, their times as stored in
    // the file's unit (units says which).
    void setEdits(const PickEdits &edits, const FbQc::Units &units);
    void setEditable(bool editable);
    // The fb_time column's text for typing: the shortest that reads back
    // to the same value.
    static QString editText(float time);

    // Whether a shot-constant column's cell differs from the shot's most
    // common value in that column.
    bool differs(int row, int column) const;
    // The first row marked in column, or -1.
    int firstDifferingRow(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // A time typed for file record `record`.
    void timeEntered(qint32 record, float ms);
    void timeRefused(const QString &text);

private:
    QString toolTip(int row, int column) const;
    QString editToolTip(int row, int column) const;

    QVector<FbFile::FbRecord> m_records;
    FbQc::ShotFit m_fit;
    qint32 m_firstRecord = 0;
    FbFile::FbRecord m_common; // the most common value of each source attribute
    quint32 m_varying = 0;     // bit per column that is not constant
    PickEdits m_edits;
    FbQc::Units m_units; // the file's, for the edits' stored times
    bool m_editable = false;
    QStringList m_titles;
};

#endif // SHOTTABLEMODEL_H
