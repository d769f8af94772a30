#include "shotrecords.h"

#include <QByteArray>
#include <QFile>

QVector<FbRecord> readShotRecords(const QString &fileName, qint32 firstRecord, qint32 lastRecord)
{
    QVector<FbRecord> records;
    const qint64 count = static_cast<qint64>(lastRecord) - firstRecord + 1;
    if (count <= 0 || firstRecord < 0)
        return records;

    const qint64 size = FbLayout::RecordSize * count;
    QByteArray buffer(static_cast<int>(size), '\0');
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && file.seek(FbLayout::recordPosition(firstRecord)))
        file.read(buffer.data(), size);

    records.reserve(static_cast<int>(count));
    const char *p = buffer.constData();
    for (qint64 k = 0; k < count; ++k, p += FbLayout::RecordSize)
        records.append(FbLayout::decodeRecord(p));
    return records;
}
