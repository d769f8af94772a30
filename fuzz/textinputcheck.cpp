#include "textinputcheck.h"

#include <fbfile/editlog.h>
#include <fbfile/fbeditwriter.h>
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>
#include <fbfile/sgtconverter.h>

#include <QFile>
#include <QFileInfo>

using namespace FbFile;

QString checkSgtImport(const QString &sgtName)
{
    const QString fbName = sgtName + QStringLiteral(".fb");
    QFile::remove(fbName);
    SgtConverter converter;
    if (!converter.importSgt(sgtName, fbName)) {
        if (converter.errorString().isEmpty())
            return QStringLiteral("a refused import says nothing");
        return QFileInfo::exists(fbName) ? QStringLiteral("a refused import left %1").arg(fbName) : QString();
    }
    ShotIndexScanner scanner(fbName);
    if (!scanner.open())
        return QStringLiteral("the imported file does not open: %1").arg(scanner.errorString());
    if (scanner.recordCount() != converter.importedRecords())
        return QStringLiteral("%1 records imported, %2 in the file")
            .arg(converter.importedRecords())
            .arg(scanner.recordCount());
    const QVector<ShotIndexEntry> index = scanner.scan();
    if (converter.importedRecords() > 0 && index.size() != converter.importedShots())
        return QStringLiteral("%1 shots imported, %2 indexed").arg(converter.importedShots()).arg(index.size());
    for (const ShotIndexEntry &e : index) {
        const qint64 records = qint64(e.lastRecord) - e.firstRecord + 1;
        if (records > 0 && readShotRecords(fbName, e.firstRecord, e.lastRecord).size() != records)
            return QStringLiteral("shot of ffid %1 does not read back whole").arg(e.ffid);
    }
    QFile::remove(fbName);
    return QString();
}

QString checkEditList(const QString &csvName)
{
    EditLog log;
    if (!log.read(csvName))
        return log.errorString().contains(csvName)
                   ? QString()
                   : QStringLiteral("a refusal does not name the file: %1").arg(log.errorString());
    const QVector<FbEdit> edits = log.edits();
    if (edits.size() != log.rows().size())
        return QStringLiteral("%1 rows, %2 edits").arg(log.rows().size()).arg(edits.size());
    for (const FbEdit &e : edits) {
        if (e.record < 0 || !e.field || !FbEditWriter::isEditable(*e.field))
            return QStringLiteral("line %1 gives an edit that cannot be").arg(e.line);
    }
    const QString again = csvName + QStringLiteral(".log.csv");
    if (!log.write(again))
        return QStringLiteral("the list cannot be written as a log: %1").arg(log.errorString());
    EditLog reread;
    const bool read = reread.read(again);
    QFile::remove(again);
    if (!read)
        return QStringLiteral("the log written does not read back: %1").arg(reread.errorString());
    const QVector<FbEdit> back = reread.edits();
    if (back.size() != edits.size())
        return QStringLiteral("%1 edits, %2 read back").arg(edits.size()).arg(back.size());
    for (int k = 0; k < edits.size(); ++k) {
        const FbEdit &a = edits.at(k), &b = back.at(k);
        if (a.record != b.record || a.field != b.field || a.bits != b.bits || a.checkOld != b.checkOld ||
            (a.checkOld && a.oldBits != b.oldBits))
            return QStringLiteral("edit %1 (line %2) reads back changed").arg(k + 1).arg(a.line);
    }
    return QString();
}
