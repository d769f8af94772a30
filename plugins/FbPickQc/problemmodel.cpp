#include "problemmodel.h"

#include "fbcolumns.h"

#include <QCoreApplication>
#include <QtMath>

#include <algorithm>
#include <vector>

PickQc::Kind ProblemList::kindOf(qint64 row) const
{
    const auto at = std::upper_bound(std::begin(kindBegin), std::end(kindBegin), row);
    return PickQc::Kind(int(at - std::begin(kindBegin)) - 1);
}

ProblemList ProblemList::fromReport(const PickQc::Report &report)
{
    ProblemList list;
    std::vector<bool> hasProblem(size_t(report.index.size()), false);
    for (int k = 0; k < PickQc::KindCount; ++k) {
        const PickQc::FindingList &findings = report.findings(PickQc::Kind(k));
        list.kindBegin[k + 1] = list.kindBegin[k] + findings.size();
        PickQc::FindingList::Reader reader(findings);
        while (const PickQc::Finding *f = reader.next()) {
            if (f->shot >= 0)
                hasProblem[size_t(f->shot)] = true;
        }
    }
    for (size_t shot = 0; shot < hasProblem.size(); ++shot) {
        if (hasProblem[shot])
            list.shots.append(qint32(shot));
    }
    return list;
}

ProblemModel::ProblemModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ProblemModel::setProblems(const PickQc::Report *report, const ProblemList *list)
{
    beginResetModel();
    m_report = report && list ? report : nullptr;
    m_list = report && list ? list : nullptr;
    arrange();
    endResetModel();
}

void ProblemModel::setKind(int kind)
{
    beginResetModel();
    m_kind = kind >= 0 && kind < PickQc::KindCount ? kind : -1;
    arrange();
    endResetModel();
}

void ProblemModel::sort(int column, Qt::SortOrder order)
{
    // A reset rather than a layout change: the view starts again from the
    // first batch of the new order.
    beginResetModel();
    m_sortColumn = column;
    m_sortOrder = order;
    arrange();
    endResetModel();
}

bool ProblemModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_offered < problemCount();
}

void ProblemModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const int more = qMin(Batch, problemCount() - m_offered);
    beginInsertRows(QModelIndex(), m_offered, m_offered + more - 1);
    m_offered += more;
    endInsertRows();
}

// The visible range for the kind, then its order for the sort column.
void ProblemModel::arrange()
{
    m_order.clear();
    if (!m_list) {
        m_begin = m_end = m_offered = 0;
        return;
    }
    m_begin = m_kind < 0 ? 0 : m_list->kindBegin[m_kind];
    m_end = m_kind < 0 ? m_list->size() : m_list->kindBegin[m_kind + 1];
    m_offered = qMin(Batch, problemCount());
    if (m_sortColumn < 0 || m_sortColumn == DetailColumn || m_sortColumn >= ColumnCount)
        return;
    struct Keyed
    {
        double key;
        qint64 position;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(m_end - m_begin));
    for (qint64 i = m_begin; i < m_end; ++i) {
        const PickQc::Kind kind = m_list->kindOf(i);
        keyed.push_back({sortKey(m_report->findings(kind).at(i - m_list->kindBegin[int(kind)]), m_sortColumn), i});
    }
    // Ties keep file order, so a sort by kind or shot reads like the file.
    if (m_sortOrder == Qt::AscendingOrder)
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return a.key < b.key || (a.key == b.key && a.position < b.position);
        });
    else
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return a.key > b.key || (a.key == b.key && a.position < b.position);
        });
    m_order.resize(keyed.size());
    for (size_t k = 0; k < keyed.size(); ++k)
        m_order[k] = keyed[k].position;
}

double ProblemModel::sortKey(const PickQc::Finding &f, int column) const
{
    switch (column) {
    case KindColumn: return double(f.kind);
    case ShotColumn: return f.shot;
    case FfidColumn: return f.shot >= 0 ? m_report->index.at(f.shot).ffid : -qInf();
    case RecordColumn: return f.record;
    case ValueColumn: {
        const QVariant v = value(f);
        return v.isValid() && qIsFinite(v.toDouble()) ? v.toDouble() : -qInf();
    }
    default: return 0.0;
    }
}

qint64 ProblemModel::listRow(int row) const
{
    return m_order.empty() ? m_begin + row : m_order[size_t(row)];
}

PickQc::Finding ProblemModel::problem(int row) const
{
    const qint64 at = listRow(row);
    const PickQc::Kind kind = m_list->kindOf(at);
    return m_report->findings(kind).at(at - m_list->kindBegin[int(kind)]);
}

const QVector<qint32> &ProblemModel::problemShots() const
{
    static const QVector<qint32> none;
    return m_list ? m_list->shots : none;
}

QString ProblemModel::kindName(PickQc::Kind kind)
{
    return PickQc::kindInfo(kind).title();
}

int ProblemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_offered;
}

int ProblemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// The kind's own number: a residual, a difference, a delay, a count.
QVariant ProblemModel::value(const PickQc::Finding &f) const
{
    const PickQc::KindInfo &info = PickQc::kindInfo(f.kind);
    if (!info.valueName)
        return QVariant();
    if (qstrlen(info.unit) > 0 || f.kind == PickQc::Kind::NonFinite)
        return double(f.value);
    return f.count;
}

QVariant ProblemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || !m_list)
        return QVariant();
    const PickQc::Finding f = problem(index.row());
    if (role == KindRole)
        return int(f.kind);
    if (role != Qt::DisplayRole && role != Qt::UserRole && role != Qt::ToolTipRole)
        return QVariant();
    const bool key = role == Qt::UserRole;
    switch (index.column()) {
    case KindColumn: return key ? QVariant(int(f.kind)) : QVariant(kindName(f.kind));
    case ShotColumn: return f.shot >= 0 ? QVariant(f.shot + 1) : QVariant();
    case FfidColumn: return f.shot >= 0 ? QVariant(m_report->index.at(f.shot).ffid) : QVariant();
    case RecordColumn:
        if (f.record < 0)
            return key ? QVariant(-1) : QVariant();
        return f.record + 1;
    case ValueColumn: {
        const QVariant v = value(f);
        if (key || v.type() != QVariant::Double)
            return v;
        return QString::number(v.toDouble(), 'f', 1);
    }
    case DetailColumn: return PickQc::kindInfo(f.kind).describe(f, *m_report);
    default: return QVariant();
    }
}

QVariant ProblemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case KindColumn: return tr("Kind");
    case ShotColumn: return tr("Shot");
    case FfidColumn: return tr("ffid");
    case RecordColumn: return tr("Record");
    case ValueColumn: return tr("Value");
    case DetailColumn: return tr("Detail");
    default: return QVariant();
    }
}
