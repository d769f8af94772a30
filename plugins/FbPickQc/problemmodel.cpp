#include "problemmodel.h"

#include "fbcolumns.h"

#include <QCoreApplication>
#include <QtMath>

#include <algorithm>
#include <vector>

ProblemList ProblemList::fromReport(const PickQc::Report &report)
{
    ProblemList list;
    QVector<Problem> &out = list.problems;
    out.reserve(report.outliers.size() + report.flaggedPairs() + report.sourceVariations.size()
                + report.badValues.size());
    list.kindBegin[Problem::Outlier] = out.size();
    for (int i = 0; i < report.outliers.size(); ++i) {
        const PickQc::Outlier &o = report.outliers.at(i);
        out.append({Problem::Outlier, o.shot, o.record, -1, FbColumns::FbTime, i});
    }
    list.kindBegin[Problem::Reciprocity] = out.size();
    for (int i = 0; i < report.pairs.size(); ++i) {
        const PickQc::ReciprocalPair &pair = report.pairs.at(i);
        if (pair.flagged)
            out.append({Problem::Reciprocity, pair.shotA, -1, pair.shotB, -1, i});
    }
    list.kindBegin[Problem::VaryingSource] = out.size();
    for (int i = 0; i < report.sourceVariations.size(); ++i) {
        const PickQc::SourceVariation &v = report.sourceVariations.at(i);
        out.append({Problem::VaryingSource, v.shot, -1, -1, v.column, i});
    }
    list.kindBegin[Problem::BadValue] = out.size();
    for (int i = 0; i < report.badValues.size(); ++i) {
        const PickQc::BadValue &b = report.badValues.at(i);
        out.append({Problem::BadValue, b.shot, b.record, -1, b.column, i});
    }
    // Each later use of an ffid is the finding; the first names the ffid.
    list.kindBegin[Problem::RepeatedFfid] = out.size();
    for (int i = 0; i < report.repeatedFfids.size(); ++i) {
        const PickQc::RepeatedFfid &r = report.repeatedFfids.at(i);
        for (int k = 1; k < r.shots.size(); ++k)
            out.append({Problem::RepeatedFfid, r.shots.at(k), -1, r.shots.first(), FbColumns::Ffid, i});
    }
    list.kindBegin[Problem::KindCount] = out.size();

    QVector<bool> hasProblem(report.index.size(), false);
    for (const Problem &p : qAsConst(out))
        hasProblem[p.shot] = true;
    for (int shot = 0; shot < hasProblem.size(); ++shot) {
        if (hasProblem.at(shot))
            list.shots.append(shot);
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
    m_kind = kind >= 0 && kind < Problem::KindCount ? kind : -1;
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
    m_end = m_kind < 0 ? m_list->kindBegin[Problem::KindCount] : m_list->kindBegin[m_kind + 1];
    m_offered = qMin(Batch, m_end - m_begin);
    if (m_sortColumn < 0 || m_sortColumn == DetailColumn || m_sortColumn >= ColumnCount)
        return;
    struct Keyed
    {
        double key;
        int position;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(m_end - m_begin));
    for (int i = m_begin; i < m_end; ++i)
        keyed.push_back({sortKey(m_list->problems.at(i), m_sortColumn), i});
    // Ties keep file order, so a sort by kind or shot reads like the file.
    if (m_sortOrder == Qt::AscendingOrder)
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return a.key < b.key || (a.key == b.key && a.position < b.position);
        });
    else
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return a.key > b.key || (a.key == b.key && a.position < b.position);
        });
    m_order.resize(int(keyed.size()));
    for (size_t k = 0; k < keyed.size(); ++k)
        m_order[int(k)] = keyed[k].position;
}

double ProblemModel::sortKey(const Problem &p, int column) const
{
    switch (column) {
    case KindColumn: return p.kind;
    case ShotColumn: return p.shot;
    case FfidColumn: return m_report->index.at(p.shot).ffid;
    case RecordColumn: return p.record;
    case ValueColumn: {
        // Read straight from the report: a sort may touch millions of rows.
        double v = 0.0;
        switch (p.kind) {
        case Problem::Outlier: v = m_report->outliers.at(p.item).residual; break;
        case Problem::Reciprocity: v = m_report->pairs.at(p.item).difference; break;
        case Problem::VaryingSource: v = m_report->sourceVariations.at(p.item).differing; break;
        case Problem::BadValue: v = m_report->badValues.at(p.item).value; break;
        case Problem::RepeatedFfid: v = m_report->index.at(p.shot).ffid; break;
        case Problem::KindCount: break;
        }
        return qIsFinite(v) ? v : -qInf();
    }
    default: return 0.0;
    }
}

const Problem &ProblemModel::problem(int row) const
{
    return m_list->problems.at(m_order.isEmpty() ? m_begin + row : m_order.at(row));
}

const QVector<qint32> &ProblemModel::problemShots() const
{
    static const QVector<qint32> none;
    return m_list ? m_list->shots : none;
}

QString ProblemModel::kindName(Problem::Kind kind)
{
    switch (kind) {
    case Problem::Outlier: return tr("Outlier");
    case Problem::Reciprocity: return tr("Reciprocity");
    case Problem::VaryingSource: return tr("Varying source");
    case Problem::BadValue: return tr("Bad value");
    case Problem::RepeatedFfid: return tr("Repeated ffid");
    case Problem::KindCount: break;
    }
    return QString();
}

int ProblemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_offered;
}

int ProblemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemModel::value(const Problem &p) const
{
    switch (p.kind) {
    case Problem::Outlier: return double(m_report->outliers.at(p.item).residual);
    case Problem::Reciprocity: return double(m_report->pairs.at(p.item).difference);
    case Problem::VaryingSource: return m_report->sourceVariations.at(p.item).differing;
    case Problem::BadValue: return double(m_report->badValues.at(p.item).value);
    case Problem::RepeatedFfid: return m_report->index.at(p.shot).ffid;
    case Problem::KindCount: break;
    }
    return QVariant();
}

QString ProblemModel::detail(const Problem &p) const
{
    const auto ffidOf = [this](qint32 shot) { return m_report->index.at(shot).ffid; };
    switch (p.kind) {
    case Problem::Outlier: {
        const PickQc::Outlier &o = m_report->outliers.at(p.item);
        return tr("channel %1, offset %2: fb_time %3 ms against the model's %4 ms")
            .arg(o.channel)
            .arg(o.offset)
            .arg(double(o.fbTime), 0, 'f', 1)
            .arg(double(o.modelTime), 0, 'f', 1);
    }
    case Problem::Reciprocity: {
        const PickQc::ReciprocalPair &pair = m_report->pairs.at(p.item);
        return tr("ffid %1 at ffid %2's source: %3 ms; the other way round: %4 ms")
            .arg(ffidOf(pair.shotA))
            .arg(ffidOf(pair.shotB))
            .arg(double(pair.timeAB), 0, 'f', 1)
            .arg(double(pair.timeBA), 0, 'f', 1);
    }
    case Problem::VaryingSource: {
        const PickQc::SourceVariation &v = m_report->sourceVariations.at(p.item);
        return tr("%1 varies: %2 records differ from the shot's most common value")
            .arg(QCoreApplication::translate("QObject", FbColumns::titles[v.column]))
            .arg(v.differing);
    }
    case Problem::BadValue: {
        const PickQc::BadValue &b = m_report->badValues.at(p.item);
        const QString field = QCoreApplication::translate("QObject", FbColumns::titles[b.column]);
        return qIsFinite(b.value) ? tr("%1 is negative").arg(field) : tr("%1 is not a finite number").arg(field);
    }
    case Problem::RepeatedFfid:
        return tr("ffid %1 already names shot %2").arg(ffidOf(p.shot)).arg(p.otherShot + 1);
    case Problem::KindCount: break;
    }
    return QString();
}

QVariant ProblemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || !m_list)
        return QVariant();
    const Problem &p = problem(index.row());
    if (role == KindRole)
        return int(p.kind);
    if (role != Qt::DisplayRole && role != Qt::UserRole && role != Qt::ToolTipRole)
        return QVariant();
    const bool key = role == Qt::UserRole;
    switch (index.column()) {
    case KindColumn: return key ? QVariant(int(p.kind)) : QVariant(kindName(p.kind));
    case ShotColumn: return p.shot + 1;
    case FfidColumn: return m_report->index.at(p.shot).ffid;
    case RecordColumn:
        if (p.record < 0)
            return key ? QVariant(-1) : QVariant();
        return p.record + 1;
    case ValueColumn: {
        const QVariant v = value(p);
        if (key || v.type() != QVariant::Double)
            return v;
        return QString::number(v.toDouble(), 'f', 1);
    }
    case DetailColumn: return detail(p);
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
