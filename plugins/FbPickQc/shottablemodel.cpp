#include "shottablemodel.h"

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>
#include <fbfile/numbertext.h>
#include <fbview/statuscolors.h>

#include <QBrush>
#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QLocale>

#include <cmath>
#include <cstring>
#include <utility>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// The raw 32 bits of a column's value: equal bits, equal value (a NaN is
// told apart afterwards by FbColumns::sameValue).
quint32 rawValue(const FbRecord &r, int column)
{
    quint32 bits = 0;
    auto take = [&bits](const auto &field) { std::memcpy(&bits, &field, sizeof bits); };
    switch (column) {
    case FbColumns::Ffid:
        take(r.ffid);
        break;
    case FbColumns::SElev:
        take(r.s_elev);
        break;
    case FbColumns::SDepth:
        take(r.s_depth);
        break;
    case FbColumns::SourceX:
        take(r.source_x);
        break;
    case FbColumns::SourceY:
        take(r.source_y);
        break;
    case FbColumns::SLine:
        take(r.s_line);
        break;
    case FbColumns::SStat:
        take(r.s_stat);
        break;
    default:
        break;
    }
    return bits;
}

bool isShotConstant(int column)
{
    for (const int c : FbColumns::shotConstantColumns) {
        if (c == column)
            return true;
    }
    return false;
}

} // namespace

ShotTableModel::ShotTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    for (const char *title : FbColumns::titles)
        m_titles.append(QCoreApplication::translate("QObject", title));
}

ShotTableModel::Shot ShotTableModel::prepare(QVector<FbRecord> records, FbQc::ShotFit fit, qint32 firstRecord)
{
    Shot shot;
    shot.records = std::move(records);
    shot.fit = std::move(fit);
    shot.firstRecord = firstRecord;
    const QVector<FbRecord> &rows = shot.records;
    shot.common = rows.isEmpty() ? FbRecord() : rows.first();
    // Most shots are uniform and cost one comparison per record; only a
    // varying column is counted to find its most common value.
    for (const int column : FbColumns::shotConstantColumns) {
        if (!FbColumns::columnVaries(rows, column))
            continue;
        shot.varying |= 1u << column;
        QHash<quint32, int> counts;
        int best = 0, bestRow = 0;
        for (int r = 0; r < rows.size(); ++r) {
            const int n = ++counts[rawValue(rows.at(r), column)];
            if (n > best) {
                best = n;
                bestRow = r;
            }
        }
        // Copy the one field across by its raw bits.
        const quint32 bits = rawValue(rows.at(bestRow), column);
        switch (column) {
        case FbColumns::Ffid:
            std::memcpy(&shot.common.ffid, &bits, 4);
            break;
        case FbColumns::SElev:
            std::memcpy(&shot.common.s_elev, &bits, 4);
            break;
        case FbColumns::SDepth:
            std::memcpy(&shot.common.s_depth, &bits, 4);
            break;
        case FbColumns::SourceX:
            std::memcpy(&shot.common.source_x, &bits, 4);
            break;
        case FbColumns::SourceY:
            std::memcpy(&shot.common.source_y, &bits, 4);
            break;
        case FbColumns::SLine:
            std::memcpy(&shot.common.s_line, &bits, 4);
            break;
        case FbColumns::SStat:
            std::memcpy(&shot.common.s_stat, &bits, 4);
            break;
        default:
            break;
        }
    }
    return shot;
}

void ShotTableModel::setShot(Shot shot)
{
    beginResetModel();
    m_records = std::move(shot.records);
    m_fit = std::move(shot.fit);
    m_firstRecord = shot.firstRecord;
    m_common = shot.common;
    m_varying = shot.varying;
    endResetModel();
}

void ShotTableModel::setShot(QVector<FbRecord> records, FbQc::ShotFit fit, qint32 firstRecord)
{
    setShot(prepare(std::move(records), std::move(fit), firstRecord));
}

bool ShotTableModel::differs(int row, int column) const
{
    if (row < 0 || row >= m_records.size() || !(m_varying & (1u << column)) || !isShotConstant(column))
        return false;
    return !FbColumns::sameValue(m_records.at(row), m_common, column);
}

int ShotTableModel::firstDifferingRow(int column) const
{
    for (int r = 0; r < m_records.size(); ++r) {
        if (differs(r, column))
            return r;
    }
    return -1;
}

int ShotTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records.size();
}

int ShotTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FbColumns::Count;
}

QVariant ShotTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_records.size())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    const FbRecord &record = m_records.at(row);
    const bool outlier = column == FbColumns::FbTime && row < m_fit.picks.size() && m_fit.picks.at(row).outlier;
    switch (role) {
    case Qt::DisplayRole:
        // A pick time reads as everywhere else it is shown; the editor
        // starts from the exact float (EditRole).
        return FbColumns::cellText(record, column);
    case OutlierRole:
        return outlier;
    case Qt::ForegroundRole:
        if (differs(row, column))
            return QBrush(StatusColors::varyingSource());
        return QVariant();
    case Qt::BackgroundRole:
        if (column != FbColumns::FbTime)
            return QVariant();
        return QBrush(StatusColors::background(FbColumns::pickClass(record.fb_status)));
    case Qt::FontRole:
        if (outlier) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    case Qt::ToolTipRole: {
        // A user's edit first, then what the fit says of the pick as it stands.
        const QString edit = editToolTip(row, column), verdict = toolTip(row, column);
        return edit.isEmpty() || verdict.isEmpty() ? edit + verdict : edit + QLatin1Char('\n') + verdict;
    }
    case Qt::EditRole:
        return column == FbColumns::FbTime ? QVariant(editText(record.fb_time)) : QVariant();
    case EditedRole:
        return column == FbColumns::FbTime && m_edits.contains(m_firstRecord + row);
    default:
        return QVariant();
    }
}

QString ShotTableModel::toolTip(int row, int column) const
{
    if (differs(row, column)) {
        return tr("%1 differs from the shot's most common value, %2.")
            .arg(m_titles.at(column), FbColumns::cellText(m_common, column));
    }
    if (column != FbColumns::FbTime || row >= m_fit.picks.size())
        return QString();
    const FbQc::PickVerdict &v = m_fit.picks.at(row);
    if (v.outlier)
        return tr("Outlier: %1 ms off the fitted first-break curve (model %2 ms).")
            .arg(double(v.residual), 0, 'f', 1)
            .arg(double(v.model), 0, 'f', 1);
    if (v.judged)
        return QString();
    const FbFile::FbRecord &record = m_records.at(row);
    if (!FbFile::FbPicks::isAccepted(record.fb_status))
        return tr("Not judged: a rejected pick.");
    if (FbFile::FbPicks::isUnpicked(record))
        return tr("Not judged: nobody picked this trace.");
    if (!std::isfinite(record.fb_time))
        return tr("Not judged: its time is no number.");
    // A pick at the source is judged against the shot's time there, which
    // neither side's curve nor other picks at the source gave.
    if (record.offset == 0)
        return tr("Not judged: a pick at the source, and no time at the source to judge it by.");
    return tr("Not judged: this side of the source has too few picks for a curve of its own, and the other "
              "side's curve judges only its picks near the source, where most of them agree with it.");
}

QVariant ShotTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_titles.size())
        return m_titles.at(section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QVariant();
}

void ShotTableModel::updatePicks(QVector<FbRecord> records, FbQc::ShotFit fit)
{
    if (records.size() != m_records.size()) {
        setShot(std::move(records), std::move(fit), m_firstRecord);
        return;
    }
    m_records = std::move(records);
    m_fit = std::move(fit);
    if (!m_records.isEmpty())
        emit dataChanged(index(0, FbColumns::FbTime), index(m_records.size() - 1, FbColumns::FbTime));
}

void ShotTableModel::setEdits(const PickEdits &edits, const FbQc::Units &units)
{
    m_edits = edits;
    m_units = units;
    if (!m_records.isEmpty())
        emit dataChanged(index(0, FbColumns::FbTime), index(m_records.size() - 1, FbColumns::FbTime));
}

void ShotTableModel::setEditable(bool editable)
{
    m_editable = editable;
}

QString ShotTableModel::editText(float time)
{
    char text[NumberText::MaxBytes];
    return QString::fromLatin1(text, int(NumberText::writeFloat(time, text) - text));
}

Qt::ItemFlags ShotTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() == FbColumns::FbTime)
        f |= Qt::ItemIsEditable;
    return f;
}

bool ShotTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !m_editable || !index.isValid() || index.column() != FbColumns::FbTime ||
        index.row() >= m_records.size())
        return false;
    const QString text = value.toString().trimmed();
    bool ok = false;
    float ms = QLocale().toFloat(text, &ok);
    if (!ok)
        ms = QLocale::c().toFloat(text, &ok);
    if (!ok || !std::isfinite(ms)) {
        emit timeRefused(value.toString());
        return false;
    }
    if (NumberText::floatBits(ms) != NumberText::floatBits(m_records.at(index.row()).fb_time))
        emit timeEntered(m_firstRecord + index.row(), ms);
    return true;
}

QString ShotTableModel::editToolTip(int row, int column) const
{
    if (column != FbColumns::FbTime || !m_edits.contains(m_firstRecord + row))
        return QString();
    const PickEdit e = m_edits.value(m_firstRecord + row);
    QStringList lines{tr("Edited; the file holds:")};
    if (e.timeEdited)
        lines << tr("fb_time %1 (now %2)")
                     .arg(editText(float(m_units.milliseconds(e.fileTime))),
                          editText(float(m_units.milliseconds(e.time))));
    if (e.statusEdited)
        lines << tr("fb_status %1 (now %2)").arg(e.fileStatus).arg(e.status);
    return lines.join(QLatin1Char('\n'));
}
