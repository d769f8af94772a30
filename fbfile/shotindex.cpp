#include <fbfile/shotindex.h>

#include <limits>

namespace FbFile {

ShotIndexScanner::ShotIndexScanner(const QString &fileName) : m_reader(fileName) { }

bool ShotIndexScanner::open()
{
    return m_reader.open();
}

QString ShotIndexScanner::errorString() const
{
    return m_reader.errorString();
}

bool ShotIndexScanner::recordCountFits() const
{
    return recordCount() <= std::numeric_limits<qint32>::max();
}

void ShotIndexScanner::setBlockRecords(int records)
{
    m_reader.setBlockRecords(records);
}

QVector<ShotIndexEntry> ShotIndexScanner::scan(const Progress &progress)
{
    QVector<ShotIndexEntry> index;
    if (!m_reader.isOpen() || !recordCountFits())
        return index;

    const qint32 n = static_cast<qint32>(recordCount());
    if (n == 0) {
        // No complete record: one shot without records, keyed by whatever
        // bytes follow the header.
        index.append(ShotIndexEntry{FbLayout::decodeFfid(m_reader.firstRecordBytes()), 0, -1});
        return index;
    }

    const qint32 step = n / 100;
    qint64 threshold = step;
    int value = 0;

    ShotIndexEntry current;
    m_reader.setRange(0, n);
    FbBlockReader::Block block;
    // One sequential pass; a shot's lastRecord is filled in when the next
    // shot starts, so a record of the current shot costs one compare.
    while (m_reader.nextBlock(&block)) {
        const char *p = block.data;
        qint64 k = 0;
        if (block.firstRecord == 0) {
            current = ShotIndexEntry{FbLayout::decodeFfid(p), 0, 0};
            k = 1;
            p += FbLayout::RecordSize;
        }
        for (; k < block.records; ++k, p += FbLayout::RecordSize) {
            const qint32 ffid = FbLayout::decodeFfid(p);
            if (ffid == current.ffid)
                continue;
            const qint32 i = static_cast<qint32>(block.firstRecord + k);
            current.lastRecord = i - 1;
            index.append(current);
            current = ShotIndexEntry{ffid, i, i};
            if (i >= threshold) {
                ++value;
                threshold += step;
                progress.reportPercent(value);
            }
        }
    }
    current.lastRecord = n - 1;
    index.append(current);
    return index;
}

} // namespace FbFile
