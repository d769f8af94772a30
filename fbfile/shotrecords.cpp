#include <fbfile/shotrecords.h>

#include <fbfile/fbblockreader.h>

#include <QByteArray>
#include <QFile>

#include <limits>

namespace FbFile {

qint32 maxShotRecords()
{
    // Both the byte buffer and the vector of records hold their size in an
    // int, next to a small allocation header.
    const qint64 bytes = std::numeric_limits<int>::max() - 4096;
    return static_cast<qint32>(bytes / qMax<qint64>(FbLayout::RecordSize, sizeof(FbRecord)));
}

QVector<FbRecord> readShotRecords(const QString &fileName, qint32 firstRecord, qint32 lastRecord)
{
    if (static_cast<qint64>(lastRecord) - firstRecord + 1 <= 0 || firstRecord < 0)
        return {};
    // Opened as the block reader opens: only a regular file, never
    // blocking on a FIFO swapped in for it.
    FbInputFile input;
    input.open(fileName);
    return readShotRecords(&input, firstRecord, lastRecord);
}

QVector<FbRecord> readShotRecords(FbInputFile *input, qint32 firstRecord, qint32 lastRecord)
{
    QVector<FbRecord> records;
    const qint64 count = static_cast<qint64>(lastRecord) - firstRecord + 1;
    if (count <= 0 || firstRecord < 0)
        return records;

    // A shot larger than a Qt container can hold (only a file that is one
    // endless run of one ffid gets there) cannot be shown; hand back nothing
    // rather than overrun a buffer whose int size wrapped.
    if (count > maxShotRecords())
        return records;

    const qint64 size = FbLayout::RecordSize * count;
    QByteArray buffer(static_cast<int>(size), '\0');
    if (input->file().isOpen() && input->file().seek(FbLayout::recordPosition(firstRecord)))
        input->file().read(buffer.data(), size);

    records.resize(static_cast<int>(count));
    FbLayout::decodeRecords(buffer.constData(), count, records.data());
    return records;
}

} // namespace FbFile
