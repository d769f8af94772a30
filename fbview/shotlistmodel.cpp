#include <fbview/shotlistmodel.h>

using namespace FbFile;

namespace FbView {

namespace {

int decimalLength(qint64 value)
{
    int length = value < 0 ? 2 : 1;
    for (value = value < 0 ? -value : value; value >= 10; value /= 10)
        ++length;
    return length;
}

} // namespace

ShotListModel::ShotListModel(QObject *parent) : QAbstractListModel(parent) { }

void ShotListModel::setShots(const QVector<ShotIndexEntry> &shots, QVector<ShotIndexEntry> *previous)
{
    if (!m_shots.isEmpty()) {
        beginResetModel();
        if (previous)
            previous->swap(m_shots);
        m_shots.clear();
        endResetModel();
    }
    if (shots.isEmpty())
        return;
    beginInsertRows(QModelIndex(), 0, shots.size() - 1);
    m_shots = shots;
    m_width = decimalLength(shots.size());
    endInsertRows();
}

QString ShotListModel::text(int row) const
{
    return QStringLiteral("%1 > %2").arg(row + 1, m_width).arg(m_shots.at(row).ffid, m_width);
}

int ShotListModel::longestTextLength() const
{
    return longestTextLength(m_shots);
}

int ShotListModel::longestTextLength(const QVector<ShotIndexEntry> &shots)
{
    qint32 lowest = 0, highest = 0;
    for (const ShotIndexEntry &shot : shots) {
        lowest = qMin(lowest, shot.ffid);
        highest = qMax(highest, shot.ffid);
    }
    const int width = decimalLength(shots.size());
    const int ffidLength = qMax(decimalLength(lowest), decimalLength(highest));
    return width + 3 + qMax(width, ffidLength);
}

int ShotListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shots.size();
}

QVariant ShotListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shots.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return text(index.row());
}

} // namespace FbView
