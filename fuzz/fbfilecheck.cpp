#include "fbfilecheck.h"

#include "shotindex.h"
#include "shotrecords.h"

QString checkFbFile(const QString &fileName)
{
    ShotIndexScanner scanner(fileName);
    if (!scanner.open())
        return QStringLiteral("cannot open %1").arg(fileName);
    if (!scanner.recordCountFits())
        return scanner.scan().isEmpty() ? QString() : QStringLiteral("indexed a file whose record count does not fit");

    const qint64 n = scanner.recordCount();
    if (n != FbLayout::recordCount(scanner.fileSize()))
        return QStringLiteral("record count %1 for %2 bytes").arg(n).arg(scanner.fileSize());

    qint64 lastValue = 0;
    qint64 moves = 0;
    const QVector<ShotIndexEntry> index = scanner.scan([&](int value) {
        if (value != lastValue + 1)
            lastValue = -1000000; // marks a jump; reported below
        else
            lastValue = value;
        ++moves;
    });

    if (index.isEmpty())
        return QStringLiteral("empty index");
    if (lastValue < 0)
        return QStringLiteral("progress values did not rise by one");
    if (moves > index.size() - 1)
        return QStringLiteral("progress moved %1 times for %2 shots").arg(moves).arg(index.size());

    if (n == 0) {
        if (index.size() != 1 || index.first().firstRecord != 0 || index.first().lastRecord != -1)
            return QStringLiteral("a file without records must give one empty shot");
        if (!readShotRecords(fileName, 0, -1).isEmpty())
            return QStringLiteral("an empty shot read records");
        return QString();
    }

    qint64 expectedFirst = 0;
    for (int s = 0; s < index.size(); ++s) {
        const ShotIndexEntry &e = index.at(s);
        if (e.firstRecord != expectedFirst)
            return QStringLiteral("shot %1 starts at %2, expected %3").arg(s).arg(e.firstRecord).arg(expectedFirst);
        if (e.firstRecord > e.lastRecord)
            return QStringLiteral("shot %1 ends before it starts").arg(s);
        if (s > 0 && index.at(s - 1).ffid == e.ffid)
            return QStringLiteral("shots %1 and %2 share ffid %3").arg(s - 1).arg(s).arg(e.ffid);
        expectedFirst = qint64(e.lastRecord) + 1;

        const QVector<FbRecord> records = readShotRecords(fileName, e.firstRecord, e.lastRecord);
        if (records.size() != e.lastRecord - e.firstRecord + 1)
            return QStringLiteral("shot %1 read %2 records").arg(s).arg(records.size());
        for (const FbRecord &r : records) {
            if (r.ffid != e.ffid)
                return QStringLiteral("shot %1 holds a record of ffid %2").arg(s).arg(r.ffid);
        }
    }
    if (expectedFirst != n)
        return QStringLiteral("index ends at %1 of %2 records").arg(expectedFirst).arg(n);
    return QString();
}
