#include "problemmodel.h"

#include <fbqc/latestjob.h>

#include <QFont>
#include <QLocale>
#include <QtMath>

#include <algorithm>
#include <cmath>

using namespace FbFile;
using namespace FbQc;

namespace {

// Findings between two looks at Cancel while the list is built.
constexpr qint64 LookEvery = 1 << 16;

bool isPair(FbQc::Kind kind)
{
    return FbQc::kindInfo(kind).scope == FbQc::Scope::Pair;
}

} // namespace

FbQc::Kind ProblemList::kindOf(qint64 row) const
{
    const auto at = std::upper_bound(std::begin(kindBegin), std::end(kindBegin), row);
    return FbQc::Kind(int(at - std::begin(kindBegin)) - 1);
}

FbQc::Finding ProblemList::finding(const FbQc::Report &report, qint64 row) const
{
    const FbQc::Kind kind = kindOf(row);
    return report.findings(kind).at(row - kindBegin[int(kind)]);
}

int ProblemList::groupOf(qint32 shot) const
{
    const auto at = std::lower_bound(groups.begin(), groups.end(), shot,
                                     [](const ShotProblems &g, qint32 s) { return g.shot < s; });
    return at != groups.end() && at->shot == shot ? int(at - groups.begin()) : -1;
}

bool ProblemList::worse(const ShotProblems &a, const ShotProblems &b)
{
    if ((a.shot < 0) != (b.shot < 0))
        return a.shot < 0;
    if (a.whole != b.whole)
        return a.whole;
    if (a.problems != b.problems)
        return a.problems > b.problems;
    if (a.weight != b.weight)
        return a.weight > b.weight;
    return a.shot < b.shot;
}

ProblemList ProblemList::fromReport(const FbQc::Report &report, const Progress &progress)
{
    ProblemList list;
    qint64 seen = 0;
    const auto stop = [&] { return ++seen % LookEvery == 0 && progress.cancelled(); };
    // Findings per shot, the file's at 0 and shot s at s + 1; then each
    // filed shot's group.
    std::vector<qint64> perShot(size_t(report.index().size()) + 1, 0);
    for (int k = 0; k < FbQc::KindCount; ++k) {
        const FbQc::FindingList &findings = report.findings(FbQc::Kind(k));
        list.kindBegin[k + 1] = list.kindBegin[k] + findings.size();
        FbQc::FindingList::Reader reader(findings);
        while (const FbQc::Finding *f = reader.next()) {
            ++perShot[size_t(f->shot + 1)];
            if (stop())
                return list;
        }
    }
    std::vector<qint32> groupOf(perShot.size(), -1);
    qint64 first = 0;
    for (size_t s = 0; s < perShot.size(); ++s) {
        if (perShot[s] == 0)
            continue;
        groupOf[s] = qint32(list.groups.size());
        ShotProblems g;
        g.shot = qint32(s) - 1;
        g.first = first;
        const FbQc::TimingEstimate *t = g.shot >= 0 ? report.timingOf(g.shot) : nullptr;
        g.timingMs = t ? t->delay : float(qQNaN());
        list.groups.push_back(g);
        first += perShot[s];
    }
    std::vector<qint64>().swap(perShot);

    list.entries.resize(size_t(first));
    for (int k = 0; k < FbQc::KindCount; ++k) {
        const FbQc::KindInfo &info = FbQc::kinds()[k];
        const bool problem = info.severity == FbQc::Severity::Problem;
        FbQc::FindingList::Reader reader(report.findings(info.kind));
        qint64 row = list.kindBegin[k];
        while (const FbQc::Finding *f = reader.next()) {
            ShotProblems &g = list.groups[size_t(groupOf[size_t(f->shot + 1)])];
            list.entries[size_t(g.first + g.count())] = row++;
            if (info.kind == FbQc::Kind::Outlier)
                ++g.outliers;
            else if (isPair(info.kind))
                ++g.pairs;
            else
                ++g.other;
            g.kinds |= 1u << k;
            if (problem) {
                ++g.problems;
                g.whole = g.whole || (info.scope != FbQc::Scope::Pick && info.scope != FbQc::Scope::Pair);
                g.weight += float(info.weight(*f));
            }
            if (stop())
                return list;
        }
    }

    // Flagged pairs per shot, for the summary; most files have none.
    std::vector<qint64> flagged;
    for (FbQc::Kind kind : {FbQc::Kind::Reciprocity, FbQc::Kind::Repeat}) {
        FbQc::FindingList::Reader reader(report.findings(kind));
        while (const FbQc::Finding *f = reader.next()) {
            if (flagged.empty())
                flagged.assign(size_t(report.index().size()), 0);
            ++flagged[size_t(f->shot)];
            if (f->flags & FbQc::Explained)
                ++list.explainedPairs;
            else
                ++flagged[size_t(f->otherShot)];
            if (stop())
                return list;
        }
    }
    for (size_t shot = 0; shot < flagged.size(); ++shot) {
        if (flagged[shot] > 0)
            list.mostFlagged.push_back({qint32(shot), flagged[shot]});
    }
    const auto more = [](const std::pair<qint32, qint64> &a, const std::pair<qint32, qint64> &b) {
        return a.second > b.second || (a.second == b.second && a.first < b.first);
    };
    const size_t listed = qMin<size_t>(MostFlagged, list.mostFlagged.size());
    std::partial_sort(list.mostFlagged.begin(), list.mostFlagged.begin() + qint64(listed), list.mostFlagged.end(),
                      more);
    list.mostFlagged.resize(listed);

    list.worstFirst.resize(list.groups.size());
    for (size_t g = 0; g < list.groups.size(); ++g)
        list.worstFirst[g] = qint32(g);
    std::sort(list.worstFirst.begin(), list.worstFirst.end(),
              [&list](qint32 a, qint32 b) { return worse(list.groups[size_t(a)], list.groups[size_t(b)]); });
    return list;
}

ProblemModel::ProblemModel(QObject *parent)
    : QAbstractItemModel(parent), m_sorter(new LatestJob(LatestJob::Serial, this))
{ }

ProblemModel::~ProblemModel() = default;

void ProblemModel::setProblems(const FbQc::Report *report, std::shared_ptr<const ProblemList> list)
{
    m_sorter->cancel();
    beginResetModel();
    m_report = report && list ? report : nullptr;
    m_list = report ? std::move(list) : nullptr;
    m_sorted.clear();
    arrange();
    endResetModel();
}

void ProblemModel::setKind(int kind)
{
    beginResetModel();
    m_kind = kind >= 0 && kind < FbQc::KindCount ? kind : -1;
    arrange();
    endResetModel();
}

void ProblemModel::setOrder(Order order)
{
    m_sorter->cancel();
    beginResetModel();
    m_order = order;
    m_sorted.clear();
    arrange();
    endResetModel();
}

bool ProblemModel::isSorting() const
{
    return m_sorter->isRunning();
}

void ProblemModel::sort(int column, Qt::SortOrder order)
{
    if (!m_list || column < ShotColumn || column >= DetailColumn)
        return;
    // Keys made and sorted on a worker: a damaged file's list holds
    // millions of shots. The file's own row stays first.
    const std::shared_ptr<const ProblemList> list = m_list;
    m_sorter->run<std::vector<qint32>>(
        [list, column, order](const LatestJob::Ticket &ticket) {
            const auto key = [column](const ShotProblems &g) -> double {
                switch (column) {
                case OutliersColumn:
                    return g.outliers;
                case PairsColumn:
                    return g.pairs;
                case TimingColumn:
                    return std::isfinite(g.timingMs) ? std::abs(double(g.timingMs)) : -1.0;
                case OtherColumn:
                    return double(g.other);
                default:
                    return g.shot;
                }
            };
            struct Keyed
            {
                double key;
                qint32 group;
            };
            std::vector<Keyed> keyed(list->groups.size());
            for (size_t g = 0; g < keyed.size(); ++g) {
                const ShotProblems &p = list->groups[g];
                keyed[g] = {p.shot < 0 ? -qInf() : key(p), qint32(g)};
                if (order == Qt::DescendingOrder && p.shot >= 0)
                    keyed[g].key = -keyed[g].key;
            }
            if (ticket.cancelled())
                return std::vector<qint32>();
            // Ties in file order; groups are numbered in file order.
            std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
                return a.key < b.key || (a.key == b.key && a.group < b.group);
            });
            std::vector<qint32> sorted(keyed.size());
            for (size_t k = 0; k < keyed.size(); ++k)
                sorted[k] = keyed[k].group;
            return sorted;
        },
        [this](std::vector<qint32> order) {
            showOrder(std::move(order));
            emit sorted();
        });
}

void ProblemModel::showOrder(std::vector<qint32> order)
{
    beginResetModel();
    m_sorted = std::move(order);
    arrange();
    endResetModel();
}

bool ProblemModel::listed(const ShotProblems &g) const
{
    return m_kind < 0 || (g.kinds & (1u << m_kind));
}

void ProblemModel::arrange()
{
    m_rows.clear();
    m_position.clear();
    m_moreChildren.clear();
    m_shotCount = 0;
    m_offered = 0;
    if (!m_list)
        return;
    const std::vector<ShotProblems> &groups = m_list->groups;
    m_position.assign(groups.size(), -1);
    const auto take = [&](qint32 g) {
        const ShotProblems &p = groups[size_t(g)];
        if (!listed(p))
            return;
        m_position[size_t(g)] = qint32(m_rows.size());
        m_rows.push_back(g);
        m_shotCount += p.shot >= 0 && p.problems > 0 ? 1 : 0;
    };
    if (!m_sorted.empty()) {
        for (qint32 g : m_sorted)
            take(g);
    } else if (m_order == WorstFirst) {
        for (qint32 g : m_list->worstFirst)
            take(g);
    } else {
        for (size_t g = 0; g < groups.size(); ++g)
            take(qint32(g));
    }
    m_offered = int(qMin<size_t>(Batch, m_rows.size()));
}

std::pair<qint64, qint64> ProblemModel::childRange(int group) const
{
    const ShotProblems &g = m_list->groups[size_t(group)];
    const qint64 begin = g.first, end = g.first + g.count();
    if (m_kind < 0)
        return {begin, end};
    // A group's findings are in kind order: the kind's run within them.
    const auto first = m_list->entries.begin() + begin, last = m_list->entries.begin() + end;
    const qint64 from = m_list->kindBegin[m_kind], to = m_list->kindBegin[m_kind + 1];
    const auto lo = std::lower_bound(first, last, from);
    const auto hi = std::lower_bound(lo, last, to);
    return {qint64(lo - m_list->entries.begin()), qint64(hi - m_list->entries.begin())};
}

int ProblemModel::childrenOffered(int group) const
{
    const auto range = childRange(group);
    const qint64 all = range.second - range.first;
    return int(qMin<qint64>(all, qint64(Batch) + m_moreChildren.value(group)));
}

qint64 ProblemModel::problemCount() const
{
    if (!m_list)
        return 0;
    return m_kind < 0 ? m_list->size() : m_list->kindBegin[m_kind + 1] - m_list->kindBegin[m_kind];
}

QModelIndex ProblemModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount || !m_list)
        return QModelIndex();
    if (!parent.isValid())
        return row < m_offered ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0)
        return QModelIndex();
    const int group = m_rows[size_t(parent.row())];
    return row < childrenOffered(group) ? createIndex(row, column, quintptr(group) + 1) : QModelIndex();
}

QModelIndex ProblemModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0 || !m_list)
        return QModelIndex();
    const int group = int(child.internalId() - 1);
    return createIndex(m_position[size_t(group)], 0, quintptr(0));
}

int ProblemModel::rowCount(const QModelIndex &parent) const
{
    if (!m_list)
        return 0;
    if (!parent.isValid())
        return m_offered;
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    return childrenOffered(m_rows[size_t(parent.row())]);
}

int ProblemModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool ProblemModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

bool ProblemModel::canFetchMore(const QModelIndex &parent) const
{
    if (!m_list)
        return false;
    if (!parent.isValid())
        return size_t(m_offered) < m_rows.size();
    if (parent.internalId() != 0)
        return false;
    const int group = m_rows[size_t(parent.row())];
    const auto range = childRange(group);
    return childrenOffered(group) < range.second - range.first;
}

void ProblemModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    if (!parent.isValid()) {
        const int more = int(qMin<size_t>(Batch, m_rows.size() - size_t(m_offered)));
        beginInsertRows(QModelIndex(), m_offered, m_offered + more - 1);
        m_offered += more;
        endInsertRows();
        return;
    }
    const int group = m_rows[size_t(parent.row())];
    const auto range = childRange(group);
    const int offered = childrenOffered(group);
    const int more = int(qMin<qint64>(Batch, range.second - range.first - offered));
    beginInsertRows(parent, offered, offered + more - 1);
    m_moreChildren[group] += more;
    endInsertRows();
}

bool ProblemModel::isShotRow(const QModelIndex &index) const
{
    return index.isValid() && index.internalId() == 0;
}

FbQc::Finding ProblemModel::problem(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0 || !m_list)
        return FbQc::Finding();
    const auto range = childRange(int(index.internalId() - 1));
    return m_list->finding(*m_report, m_list->entries[size_t(range.first + index.row())]);
}

QModelIndex ProblemModel::firstProblemOf(const QModelIndex &shotRow) const
{
    if (!isShotRow(shotRow))
        return QModelIndex();
    const int children = rowCount(shotRow.siblingAtColumn(0));
    const QModelIndex parent = shotRow.siblingAtColumn(0);
    for (int row = 0; row < children; ++row) {
        const QModelIndex child = index(row, 0, parent);
        const FbQc::Scope scope = FbQc::kindInfo(FbQc::Kind(child.data(KindRole).toInt())).scope;
        if (scope == FbQc::Scope::Pick || scope == FbQc::Scope::Pair)
            return child;
    }
    return index(0, 0, parent);
}

QModelIndex ProblemModel::shotIndex(qint32 shot)
{
    if (!m_list)
        return QModelIndex();
    const int group = m_list->groupOf(shot);
    const int row = group >= 0 ? m_position[size_t(group)] : -1;
    if (row < 0)
        return QModelIndex();
    if (row >= m_offered) {
        beginInsertRows(QModelIndex(), m_offered, row);
        m_offered = row + 1;
        endInsertRows();
    }
    return index(row, 0);
}

qint32 ProblemModel::adjacentShot(qint32 shot, int direction) const
{
    if (!m_list || m_rows.empty())
        return -1;
    const auto visits = [this](qint64 row) {
        const ShotProblems &g = m_list->groups[size_t(m_rows[size_t(row)])];
        return g.shot >= 0 && g.problems > 0;
    };
    const qint64 rows = qint64(m_rows.size());
    const int group = m_list->groupOf(shot);
    qint64 row = group >= 0 ? m_position[size_t(group)] : -1;
    if (row < 0) {
        if (m_sorted.empty() && m_order == FileOrder) {
            // Where the shot would stand in file order.
            const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), shot,
                                             [this](qint32 g, qint32 s) { return m_list->groups[size_t(g)].shot < s; });
            row = qint64(at - m_rows.begin()) - (direction > 0 ? 1 : 0);
        } else {
            row = direction > 0 ? -1 : rows;
        }
    }
    for (row += direction; row >= 0 && row < rows; row += direction) {
        if (visits(row))
            return m_list->groups[size_t(m_rows[size_t(row)])].shot;
    }
    return -1;
}

QString ProblemModel::kindName(FbQc::Kind kind)
{
    return FbQc::kindInfo(kind).title();
}

QVariant ProblemModel::shotData(const ShotProblems &g, int column, int role) const
{
    if (role == ShotRole)
        return g.shot;
    if (role == KindRole)
        return -1;
    if (role == Qt::FontRole && g.whole) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role == Qt::TextAlignmentRole && column != ShotColumn && column != DetailColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const auto count = [](qint64 n) { return n > 0 ? QVariant(QLocale().toString(n)) : QVariant(); };
    switch (column) {
    case ShotColumn:
        if (g.shot < 0)
            return tr("File");
        return QStringLiteral("%1 > %2").arg(g.shot + 1).arg(m_report->index().at(g.shot).ffid);
    case OutliersColumn:
        return count(g.outliers);
    case PairsColumn:
        return count(g.pairs);
    case TimingColumn: {
        if (!std::isfinite(g.timingMs))
            return QVariant();
        return FbQc::timingText(g.timingMs);
    }
    case OtherColumn:
        return count(g.other);
    default:
        return QVariant();
    }
}

QVariant ProblemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_list)
        return QVariant();
    if (index.internalId() == 0)
        return shotData(m_list->groups[size_t(m_rows[size_t(index.row())])], index.column(), role);
    const FbQc::Finding f = problem(index);
    switch (role) {
    case KindRole:
        return int(f.kind);
    case ShotRole:
        return f.shot;
    case Qt::DisplayRole:
        if (index.column() == ShotColumn)
            return kindName(f.kind);
        if (index.column() == DetailColumn)
            return FbQc::kindInfo(f.kind).describe(f, *m_report);
        return QVariant();
    case Qt::ToolTipRole:
        return index.column() == DetailColumn ? FbQc::kindInfo(f.kind).describe(f, *m_report) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ProblemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The counts' titles are short, to read whole in a narrow pane; their
    // tool tips say them in full.
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    const bool tip = role == Qt::ToolTipRole;
    switch (section) {
    case ShotColumn:
        return tr("Shot");
    case OutliersColumn:
        return tr("Outliers");
    case PairsColumn:
        return tip ? tr("Flagged reciprocal pairs") : tr("Pairs");
    case TimingColumn:
        return tip ? tr("Shot timing error (ms)") : tr("Timing (ms)");
    case OtherColumn:
        return tip ? tr("Other problems") : tr("Other");
    case DetailColumn:
        return tr("Detail");
    default:
        return QVariant();
    }
}
