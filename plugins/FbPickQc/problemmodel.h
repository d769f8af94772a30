#ifndef PROBLEMMODEL_H
#define PROBLEMMODEL_H

#include "pickqc.h"

#include <QAbstractTableModel>
#include <QVector>

#include <memory>

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
Q_DECLARE_TYPEINFO(Problem, Q_PRIMITIVE_TYPE);

// Every finding of a report, grouped by kind in the order of Problem::Kind
// and in file order within a kind: outliers, flagged reciprocal pairs (under
// their earlier shot), varying source attributes, bad values, and each later
// shot of a repeated ffid.
struct ProblemList
{
    QVector<Problem> problems;
    int kindBegin[Problem::KindCount + 1] = {};   // kind k spans [kindBegin[k], kindBegin[k + 1])
    QVector<qint32> shots;                        // shots with a finding, ascending

    // Built on the loading thread: a damaged file may hold millions.
    static ProblemList fromReport(const PickQc::Report &report);
};

// The problem list of a loaded file, shown one kind or all, in file order or
// sorted by a column. Rows are made on demand; filtering is a range of the
// list (kinds are contiguous) and sorting orders row numbers by plain keys,
// so that a list of millions stays quick without a proxy model. The view is
// offered the rows a batch at a time as it scrolls (canFetchMore), since a
// view sizes itself per row and a damaged file can hold millions.
// KindRole gives a row's kind, Qt::UserRole a cell's sort key.
class ProblemModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { KindColumn, ShotColumn, FfidColumn, RecordColumn, ValueColumn, DetailColumn, ColumnCount };
    static constexpr int KindRole = Qt::UserRole + 1;

    explicit ProblemModel(QObject *parent = nullptr);

    // report and list must stay alive while the model shows them (the
    // window keeps the loaded data); null shows nothing.
    void setProblems(const PickQc::Report *report, const ProblemList *list);
    // Shows one kind, or all for -1; keeps the sort column.
    void setKind(int kind);
    int kind() const { return m_kind; }
    // The problem shown in row.
    const Problem &problem(int row) const;
    const QVector<qint32> &problemShots() const;

    static QString kindName(Problem::Kind kind);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Rows of the current kind, offered to the view or not.
    int problemCount() const { return m_end - m_begin; }

    static constexpr int Batch = 10000;

private:
    void arrange();
    double sortKey(const Problem &p, int column) const;
    QVariant value(const Problem &p) const;
    QString detail(const Problem &p) const;

    const PickQc::Report *m_report = nullptr;
    const ProblemList *m_list = nullptr;
    int m_kind = -1;
    int m_begin = 0;
    int m_end = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_offered = 0;        // rows the view has been given so far
    QVector<int> m_order;     // sorted rows: positions in the list; empty in file order
};

#endif // PROBLEMMODEL_H
