#ifndef PROBLEMMODEL_H
#define PROBLEMMODEL_H

#include <fbqc/pickqc.h>
#include <fbfile/progress.h>

#include <QAbstractItemModel>
#include <QHash>

#include <memory>
#include <vector>

namespace FbQc {
class LatestJob;
}

// A shot's line in the problem list: the findings filed under it (a late
// shot's flagged pairs are filed under it, not under its partners), counted.
struct ShotProblems
{
    qint32 shot = -1; // -1: the file as a whole
    qint32 outliers = 0;
    qint32 pairs = 0;      // flagged reciprocal pairs and repeats
    qint64 other = 0;      // its other findings, notes included
    qint64 problems = 0;   // of all its findings, those that are problems (not notes)
    quint32 kinds = 0;     // bit 1 << kind for each kind it has
    bool whole = false;    // a problem about the whole shot: a timing error, zero-filled records...
    float weight = 0.0f;   // its problems' weights summed, as the kind table weighs them
    float timingMs = 0.0f; // the shot's estimated timing error; NaN when it is in no compared pair
    qint64 first = 0;      // its findings: ProblemList::entries[first, first + count())
    qint64 count() const { return qint64(outliers) + pairs + other; }
};
Q_DECLARE_TYPEINFO(ShotProblems, Q_PRIMITIVE_TYPE);

// The findings of a report grouped by the shot they are filed under, for
// the problem list: the file's own findings first, then each shot with a
// finding, and under each its findings, kind after kind in the order of
// the kind table and in file order within a kind. A finding is named by
// its row: the report's findings numbered kind after kind. Built on the
// loading thread in two passes over the findings; a damaged file may hold
// millions.
//
// Worst first: the file's own findings, then shots with a problem about
// the whole shot (a timing error, zero-filled records, a varying source
// attribute, a repeated ffid: every problem of Scope::Shot), then by the
// number of problems filed under the shot, then by their weights summed
// (a residual, a difference, a delay in ms, a count of records), the
// heaviest first, ties in file order. Notes weigh nothing, so a shot with
// only a note comes after every shot with a problem.
struct ProblemList
{
    qint64 kindBegin[FbQc::KindCount + 1] = {}; // kind k's rows: [kindBegin[k], kindBegin[k + 1])
    std::vector<ShotProblems> groups;           // the file's (when it has findings), then shots ascending
    std::vector<qint64> entries;                // rows, group after group
    std::vector<qint32> worstFirst;             // groups, worst first
    // What the summary says of the flagged pairs and repeats: how many a
    // shot's timing error explains, and the shots in the most of them, most
    // first (a pair that a timing error explains counts against that shot
    // only, any other against both), at most MostFlagged.
    static constexpr int MostFlagged = 10;
    qint64 explainedPairs = 0;
    std::vector<std::pair<qint32, qint64>> mostFlagged; // shot, pairs

    qint64 size() const { return kindBegin[FbQc::KindCount]; }
    FbQc::Kind kindOf(qint64 row) const;
    FbQc::Finding finding(const FbQc::Report &report, qint64 row) const;
    // The group of a shot (-1: the file's), or -1 when nothing is filed under it.
    int groupOf(qint32 shot) const;
    // a comes before b in the worst-first order.
    static bool worse(const ShotProblems &a, const ShotProblems &b);
    // Cancel is looked at now and then; once asked, the list is left
    // unfinished, for a caller that no longer wants it.
    static ProblemList fromReport(const FbQc::Report &report, const FbFile::Progress &progress = FbFile::Progress());
};

// The problem list of a loaded file as a tree: a row per shot with its
// counts (outliers, flagged pairs, other findings) and estimated timing
// error, and the shot's findings under it. Shown worst first or in file
// order, or sorted by a shot column; one kind or all. Rows are made on
// demand and offered to the view a batch at a time as it scrolls
// (canFetchMore), at the top level and under a shot alike, since a view
// sizes itself per row and a damaged file can hold millions. A sort by a
// column runs off the UI thread: the rows keep their order until it is
// done (sorted()).
//
//   model->setProblems(&data->report, data->problems);
//   model->setKind(int(FbQc::Kind::Outlier));
//   qint32 next = model->adjacentShot(current, +1);   // what N visits
class ProblemModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { ShotColumn, OutliersColumn, PairsColumn, TimingColumn, OtherColumn, DetailColumn, ColumnCount };
    enum Order { WorstFirst, FileOrder };
    static constexpr int KindRole = Qt::UserRole + 1; // a finding's kind; -1 on a shot's row
    static constexpr int ShotRole = Qt::UserRole + 2; // the shot a row is filed under, -1 for the file
    static constexpr int Batch = 10000;

    explicit ProblemModel(QObject *parent = nullptr);
    ~ProblemModel() override;

    // report must stay alive while the model shows it (the window keeps
    // the loaded data); null shows nothing. Keeps the kind and the order.
    void setProblems(const FbQc::Report *report, std::shared_ptr<const ProblemList> list);
    // Shows one kind, or all for -1.
    void setKind(int kind);
    int kind() const { return m_kind; }
    // Worst first or file order; ends a sort by a column.
    void setOrder(Order order);
    Order order() const { return m_order; }
    bool isSorting() const;

    bool isShotRow(const QModelIndex &index) const;
    // The finding of a finding's row.
    FbQc::Finding problem(const QModelIndex &index) const;
    // The first finding listed under a shot's row, preferring one about a
    // pick or a pair: what N shows of the shot.
    QModelIndex firstProblemOf(const QModelIndex &shotRow) const;
    // The row of a shot, offering rows to the view as far as needed;
    // invalid when the shot is not listed.
    QModelIndex shotIndex(qint32 shot);
    // The shot with a problem of its own that N (+1) or Shift+N (-1)
    // visits from shot, in the order shown: the next one listed, or, from
    // a shot that is not listed, the first (last) in the order, or in file
    // order the next (previous) in the file; -1 when there is none.
    qint32 adjacentShot(qint32 shot, int direction) const;
    // Findings of the shown kind, offered to the view or not.
    qint64 problemCount() const;
    // Shots listed with a problem of their own.
    qint64 shotCount() const { return m_shotCount; }

    static QString kindName(FbQc::Kind kind);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // A sort by a column is shown.
    void sorted();

private:
    // Where a group's findings of the shown kind lie in the entries.
    std::pair<qint64, qint64> childRange(int group) const;
    int childrenOffered(int group) const;
    bool listed(const ShotProblems &g) const;
    // The rows again for the kind, from the order (file order when empty).
    void arrange();
    void showOrder(std::vector<qint32> order);
    QVariant shotData(const ShotProblems &g, int column, int role) const;

    const FbQc::Report *m_report = nullptr;
    std::shared_ptr<const ProblemList> m_list;
    int m_kind = -1;
    Order m_order = WorstFirst;
    std::vector<qint32> m_sorted;   // groups in a column's order; empty when none
    std::vector<qint32> m_rows;     // groups shown, in order
    std::vector<qint32> m_position; // per group: its row, or -1
    qint64 m_shotCount = 0;
    int m_offered = 0;              // top-level rows given to the view so far
    QHash<int, int> m_moreChildren; // children given beyond the first batch, by group
    FbQc::LatestJob *m_sorter = nullptr;
};

#endif // PROBLEMMODEL_H
