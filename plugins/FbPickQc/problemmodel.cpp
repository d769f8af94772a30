#include "problemmodel.h"

#include "fbcolumns.h"

#include <QCoreApplication>

#include <algorithm>

ProblemModel::ProblemModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void ProblemModel::setReport(const PickQc::Report *report)
{
    beginResetModel();
    m_report = report;
    m_problems.clear();
    m_shots.clear();
    if (report) {
        m_problems.reserve(report->outliers.size() + report->sourceVariations.size() + report->badValues.size());
        for (int i = 0; i < report->outliers.size(); ++i) {
            const PickQc::Outlier &o = report->outliers.at(i);
            m_problems.append({Problem::Outlier, o.shot, o.record, -1, FbColumns::FbTime, i});
        }
        for (int i = 0; i < report->pairs.size(); ++i) {
            const PickQc::ReciprocalPair &pair = report->pairs.at(i);
            if (pair.flagged)
                m_problems.append({Problem::Reciprocity, pair.shotA, -1, pair.shotB, -1, i});
        }
        for (int i = 0; i < report->sourceVariations.size(); ++i) {
            const PickQc::SourceVariation &v = report->sourceVariations.at(i);
            m_problems.append({Problem::VaryingSource, v.shot, -1, -1, v.column, i});
        }
        for (int i = 0; i < report->badValues.size(); ++i) {
            const PickQc::BadValue &b = report->badValues.at(i);
            m_problems.append({Problem::BadValue, b.shot, b.record, -1, b.column, i});
        }
        // Each later use of an ffid is the finding; the first names the ffid.
        for (int i = 0; i < report->repeatedFfids.size(); ++i) {
            const PickQc::RepeatedFfid &r = report->repeatedFfids.at(i);
            for (int k = 1; k < r.shots.size(); ++k)
                m_problems.append({Problem::RepeatedFfid, r.shots.at(k), -1, r.shots.first(), FbColumns::Ffid, i});
        }
        m_shots.reserve(m_problems.size());
        for (const Problem &p : qAsConst(m_problems))
            m_shots.append(p.shot);
        std::sort(m_shots.begin(), m_shots.end());
        m_shots.erase(std::unique(m_shots.begin(), m_shots.end()), m_shots.end());
    }
    endResetModel();
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
    return parent.isValid() ? 0 : m_problems.size();
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
    if (!index.isValid() || index.row() >= m_problems.size() || !m_report)
        return QVariant();
    const Problem &p = m_problems.at(index.row());
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

ProblemFilter::ProblemFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortRole(Qt::UserRole);
}

void ProblemFilter::setKind(int kind)
{
    m_kind = kind;
    invalidateFilter();
}

bool ProblemFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_kind < 0)
        return true;
    return sourceModel()->index(sourceRow, 0, sourceParent).data(ProblemModel::KindRole).toInt() == m_kind;
}
