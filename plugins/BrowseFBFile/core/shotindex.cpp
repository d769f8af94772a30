#include "shotindex.h"

#include <QByteArray>

#include <limits>

ShotIndexScanner::ShotIndexScanner(const QString &fileName)
    : m_file(fileName)
{
}

bool ShotIndexScanner::open()
{
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    char bytes[FbLayout::HeaderSize] = {};
    const qint64 got = m_file.read(bytes, FbLayout::HeaderSize);
    m_header = FbLayout::decodeHeader(bytes, qMax<qint64>(0, got));
    m_fileSize = m_file.size();
    m_recordCount = FbLayout::recordCount(m_fileSize);
    return true;
}

QString ShotIndexScanner::errorString() const
{
    return m_file.errorString();
}

bool ShotIndexScanner::recordCountFits() const
{
    return m_recordCount <= std::numeric_limits<qint32>::max();
}

void ShotIndexScanner::setBlockRecords(int records)
{
    m_blockRecords = qMax(1, records);
}

QVector<ShotIndexEntry> ShotIndexScanner::scan(const Progress &progress)
{
    QVector<ShotIndexEntry> index;
    if (!m_file.isOpen() || !recordCountFits())
        return index;

    const qint32 n = static_cast<qint32>(m_recordCount);
    if (n == 0) {
        // No complete record: one shot without records, keyed by whatever
        // bytes follow the header.
        char word[4] = {};
        if (m_file.seek(FbLayout::HeaderSize))
            m_file.read(word, sizeof word);
        index.append(ShotIndexEntry{FbLayout::decodeFfid(word), 0, -1});
        return index;
    }

    const qint32 step = n / 100;
    qint64 threshold = step;
    int value = 0;

    ShotIndexEntry current;
    const qint64 blockRecords = m_blockRecords;
    QByteArray block(static_cast<int>(blockRecords * FbLayout::RecordSize), Qt::Uninitialized);

    for (qint64 first = 0; first < n; first += blockRecords) {
        const qint64 records = qMin<qint64>(blockRecords, n - first);
        const qint64 bytes = records * FbLayout::RecordSize;
        // A file that shrank under us reads short: the missing part reads as
        // zeros, as every other reader of the file treats it.
        qint64 got = 0;
        if (m_file.seek(FbLayout::recordPosition(static_cast<qint32>(first))))
            got = m_file.read(block.data(), bytes);
        if (got < bytes)
            std::fill(block.data() + qMax<qint64>(0, got), block.data() + bytes, '\0');

        const char *p = block.constData();
        for (qint64 k = 0; k < records; ++k, p += FbLayout::RecordSize) {
            const qint32 i = static_cast<qint32>(first + k);
            const qint32 ffid = FbLayout::decodeFfid(p);
            if (i == 0) {
                current = ShotIndexEntry{ffid, 0, 0};
                continue;
            }
            if (ffid == current.ffid) {
                current.lastRecord = i;
                continue;
            }
            index.append(current);
            current = ShotIndexEntry{ffid, i, i};
            if (i >= threshold) {
                ++value;
                threshold += step;
                if (progress)
                    progress(value);
            }
        }
    }
    current.lastRecord = n - 1;
    index.append(current);
    return index;
}
