#include "fbfilecheck.h"

#include <fbfile/fbcolumns.h>
#include <fbqc/pickqc.h>
#include <fbqc/qcreporttext.h>
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>

#include <QHash>
#include <QTextStream>

using namespace FbFile;
using namespace FbQc;

namespace {

// The check must agree with the index it never sees: the same records and
// shots, every pick in one status class, and as many repeated ffids; and
// its report must be writable whatever the file held.
QString checkAgreesWithIndex(const QString &fileName, const QVector<ShotIndexEntry> &index, qint64 records)
{
    FbQc::Settings settings;
    settings.judgePicks = false;
    settings.threads = 1;
    FbQc::Analyzer check(fileName, settings);
    FbQc::Report report;
    if (!check.run(&report))
        return QStringLiteral("the check cannot open what the index opened: %1").arg(check.errorString());
    if (report.recordCount != records || report.index() != index)
        return QStringLiteral("the check counts %1 records in %2 shots, the index %3 in %4")
            .arg(report.recordCount)
            .arg(report.index().size())
            .arg(records)
            .arg(index.size());
    if (report.status0 + report.status1 + report.statusOther != records)
        return QStringLiteral("pick-status counts do not add up to the records");
    QHash<qint32, int> runs;
    for (const ShotIndexEntry &e : index)
        ++runs[e.ffid];
    qint64 repeatedShots = 0;
    for (int n : qAsConst(runs))
        repeatedShots += n > 1 ? n - 1 : 0;
    if (records > 0 && report.count(FbQc::Kind::RepeatedFfid) != repeatedShots)
        return QStringLiteral("the check finds %1 shots with a repeated ffid, the index %2")
            .arg(report.count(FbQc::Kind::RepeatedFfid))
            .arg(repeatedShots);
    if (records == 0 && report.clean())
        return QStringLiteral("a file without records passed as clean");
    QString text;
    QTextStream out(&text);
    QcReportText::writeCheck(out, fileName, report, 3);
    out.flush();
    if (!text.endsWith(QLatin1Char('\n')) || !text.contains(QLatin1String("Result: ")))
        return QStringLiteral("the report is cut short");
    return QString();
}

// Every field of a record has a non-empty text in its cell format, and the
// bulk writer of the dump makes the same text.
bool formatsEveryField(const FbRecord &r)
{
    char bytes[FbColumns::MaxCellBytes];
    for (const FbLayout::Field &f : FbLayout::fields) {
        const QString text = FbColumns::fieldText(f, r);
        const char *end = FbColumns::writeFieldText(f, r, bytes);
        if (text.isEmpty() || text != QLatin1String(bytes, int(end - bytes)))
            return false;
    }
    return true;
}

} // namespace

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
    const QVector<ShotIndexEntry> index = scanner.scan(Progress([&](int value) {
        if (value != lastValue + 1)
            lastValue = -1000000; // marks a jump; reported below
        else
            lastValue = value;
        ++moves;
    }));

    if (index.isEmpty())
        return QStringLiteral("empty index");
    if (lastValue < 0)
        return QStringLiteral("progress values did not rise by one");
    if (moves > index.size() - 1)
        return QStringLiteral("progress moved %1 times for %2 shots").arg(moves).arg(index.size());

    const QString disagreement = checkAgreesWithIndex(fileName, index, n);
    if (!disagreement.isEmpty())
        return disagreement;

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
            if (!formatsEveryField(r))
                return QStringLiteral("shot %1 has a field without a text, or two texts").arg(s);
        }
    }
    if (expectedFirst != n)
        return QStringLiteral("index ends at %1 of %2 records").arg(expectedFirst).arg(n);
    return QString();
}
