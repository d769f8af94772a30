#include "shotindex.h"

#include <QByteArray>

#include <limits>

ShotIndexScanner::ShotIndexScanner(const QString &fileName)
    : m_file(fileName)
{
}

bool ShotIndexScanner::open()
{
    // Unbuffered: the scan reads large blocks straight into its own buffer.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
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
    // The block is a QByteArray; keep it well inside its int size.
    constexpr int most = (1 << 30) / FbLayout::RecordSize;
    m_blockRecords = qBound(1, records, most);
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
    // A small file needs no more than its own size of buffer.
    const qint64 blockRecords = qMin<qint64>(m_blockRecords, n);
    QByteArray block(static_cast<int>(blockRecords * FbLayout::RecordSize), Qt::Uninitialized);
    m_file.seek(FbLayout::HeaderSize);

    // One sequential pass; a shot's lastRecord is filled in when the next
    // shot starts, so a record of the current shot costs one compare.
    for (qint64 first = 0; first < n; first += blockRecords) {
        const qint64 records = qMin<qint64>(blockRecords, n - first);
        const qint64 bytes = records * FbLayout::RecordSize;
        // A file that shrank under us reads short: the missing part reads as
        // zeros, as every other reader of the file treats it.
        const qint64 got = m_file.read(block.data(), bytes);
        if (got < bytes) {
            std::fill(block.data() + qMax<qint64>(0, got), block.data() + bytes, '\0');
            // Keep the next block at its own records whatever the read did.
            m_file.seek(FbLayout::HeaderSize + (first + records) * FbLayout::RecordSize);
        }

        const char *p = block.constData();
        qint64 k = 0;
        if (first == 0) {
            current = ShotIndexEntry{FbLayout::decodeFfid(p), 0, 0};
            k = 1;
            p += FbLayout::RecordSize;
        }
        for (; k < records; ++k, p += FbLayout::RecordSize) {
            const qint32 ffid = FbLayout::decodeFfid(p);
            if (ffid == current.ffid)
                continue;
            const qint32 i = static_cast<qint32>(first + k);
            current.lastRecord = i - 1;
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
