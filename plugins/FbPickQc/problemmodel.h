#ifndef PROBLEMMODEL_H
#define PROBLEMMODEL_H

#include "pickqc.h"

#include <QAbstractTableModel>
#include <QVector>

#include <limits>
#include <memory>
#include <vector>

// The findings of a report as one list: kind after kind in the order of
// the kind table, and in file order within a kind. Rows are findings of the
// report, not copies of them; kindBegin tells where each kind's run starts.
struct ProblemList
{
    qint64 kindBegin[PickQc::KindCount + 1] = {};   // kind k spans [kindBegin[k], kindBegin[k + 1])
    QVector<qint32> shots;                        // shots with a finding, ascending

    qint64 size() const { return kindBegin[PickQc::KindCount]; }
    PickQc::Kind kindOf(qint64 row) const;
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
    // The finding shown in row.
    PickQc::Finding problem(int row) const;
    const QVector<qint32> &problemShots() const;

    static QString kindName(PickQc::Kind kind);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Rows of the current kind, offered to the view or not.
    int problemCount() const { return int(qMin<qint64>(m_end - m_begin, std::numeric_limits<int>::max())); }

    static constexpr int Batch = 10000;

private:
    void arrange();
    qint64 listRow(int row) const;
    double sortKey(const PickQc::Finding &f, int column) const;
    QVariant value(const PickQc::Finding &f) const;

    const PickQc::Report *m_report = nullptr;
    const ProblemList *m_list = nullptr;
    int m_kind = -1;
    qint64 m_begin = 0;
    qint64 m_end = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_offered = 0;        // rows the view has been given so far
    std::vector<qint64> m_order;   // sorted rows: positions in the list; empty in file order
};

#endif // PROBLEMMODEL_H
