#ifndef PROBLEMMODEL_H
#define PROBLEMMODEL_H

#include "pickqc.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QVector>

// One finding of the QC pass, as the problem list shows it.
struct Problem
{
    enum Kind { Outlier, Reciprocity, VaryingSource, BadValue, RepeatedFfid, KindCount };
    Kind kind = Outlier;
    qint32 shot = 0;          // 0-based index entry: where activating it goes
    qint32 record = -1;       // 0-based file record to select, -1 when none is known
    qint32 otherShot = -1;    // the pair's other shot, or the first shot of a repeated ffid
    int column = -1;          // FbColumns::Column of a varying or bad value
    int item = 0;             // position in the report's list of that kind
};

// Every finding of a report: outliers, flagged reciprocal pairs, varying
// source attributes, bad values and repeated ffids, in that order. Rows are
// made on demand from the report; Qt::UserRole gives a column's sort key and
// KindRole the kind.
class ProblemModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { KindColumn, ShotColumn, FfidColumn, RecordColumn, ValueColumn, DetailColumn, ColumnCount };
    static constexpr int KindRole = Qt::UserRole + 1;

    explicit ProblemModel(QObject *parent = nullptr);

    // report must outlive the model's use of it (the window keeps both).
    void setReport(const PickQc::Report *report);
    const Problem &problem(int row) const { return m_problems.at(row); }
    // Shots with at least one finding, ascending.
    const QVector<qint32> &problemShots() const { return m_shots; }

    static QString kindName(Problem::Kind kind);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant value(const Problem &p) const;
    QString detail(const Problem &p) const;

    const PickQc::Report *m_report = nullptr;
    QVector<Problem> m_problems;
    QVector<qint32> m_shots;
};

// Sorts on the model's sort keys and shows one kind, or all (kind -1).
class ProblemFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ProblemFilter(QObject *parent = nullptr);
    void setKind(int kind);
    int kind() const { return m_kind; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int m_kind = -1;
};

#endif // PROBLEMMODEL_H
