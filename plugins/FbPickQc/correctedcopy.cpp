#include "correctedcopy.h"

#include "editlog.h"
#include "fbcsvexport.h"
#include "fbeditwriter.h"
#include "numbertext.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// The percent callback the file writers take.
std::function<void(int)> percentsTo(const Progress &progress)
{
    return [progress](int percent) { progress.reportPercent(percent); };
}

} // namespace

CorrectedCopy::CorrectedCopy(const QString &fileName, const FbFileIdentity &judged, const PickEdits &edits)
    : m_fileName(fileName), m_judged(judged), m_edits(edits)
{ }

bool CorrectedCopy::write(const QString &target, const QString &logName, const Progress &progress)
{
    m_error.clear();
    m_cancelled = false;
    m_changed = 0;
    QVector<FbEdit> edits;
    QStringList reasons;
    for (auto it = m_edits.cbegin(); it != m_edits.cend(); ++it) {
        // The file's word is checked, so that a file changed since it was
        // judged is not corrected by edits made for what it held then.
        if (it->timeEdited) {
            FbEdit e = FbEdit::time(it.key(), it->time);
            e.checkOld = true;
            e.oldBits = NumberText::floatBits(it->fileTime);
            edits.append(e);
            reasons.append(it->timeReason);
        }
        if (it->statusEdited) {
            FbEdit e = FbEdit::status(it.key(), it->status);
            e.checkOld = true;
            e.oldBits = quint32(it->fileStatus);
            edits.append(e);
            reasons.append(it->statusReason);
        }
    }
    FbEditWriter writer(m_fileName);
    writer.setEdits(edits);
    writer.setSource(m_judged);
    // The log before the copy takes its name: a log that cannot be written
    // leaves an existing copy as it was.
    writer.setBeforeCommit([&](QString *error) {
        QVector<EditLogRow> rows;
        for (const FbEditWriter::Applied &a : writer.applied()) {
            const FbEdit &e = edits.at(a.edit);
            if (e.bits == a.oldBits)
                continue;
            EditLogRow row = EditLogRow::applied(a, e);
            row.reason = reasons.at(a.edit);
            rows.append(row);
        }
        m_changed = rows.size();
        if (logName.isEmpty())
            return true;
        EditLog log;
        log.setRows(rows);
        if (log.write(logName, {m_fileName, target}))
            return true;
        *error = tr("%1 was not written, as its edit log cannot be: %2").arg(target, log.errorString());
        return false;
    });
    if (!writer.write(target, percentsTo(progress), progress.cancelFlag())) {
        m_cancelled = writer.wasCancelled();
        m_error = writer.errorString();
        m_changed = 0;
        return false;
    }
    return true;
}

bool CorrectedCopy::exportPicks(const QString &target, Format format, const Progress &progress)
{
    m_error.clear();
    m_cancelled = false;
    QString source = m_fileName;
    // The edits reach the converters through a corrected copy beside the
    // target, which has room for what is written there.
    QTemporaryDir scratch(QDir(QFileInfo(target).absolutePath()).filePath(QStringLiteral(".fbpickqc-export-XXXXXX")));
    const bool edited = !m_edits.isEmpty();
    if (edited) {
        if (!scratch.isValid()) {
            m_error = tr("cannot make a temporary folder beside %1: %2").arg(target, scratch.errorString());
            return false;
        }
        source = scratch.filePath(QStringLiteral("corrected.fb"));
        if (!write(source, QString(), progress.part(0, 50)))
            return false;
    }
    const Progress rest = edited ? progress.part(50, 100) : progress;
    if (format == Csv) {
        FbCsvExport table;
        const bool ok = table.write(source, target, percentsTo(rest), rest.cancelFlag());
        m_csvRecords = table.records();
        m_cancelled = table.wasCancelled();
        m_error = table.errorString();
        return ok;
    }
    SgtConverter converter;
    const bool ok = converter.exportSgt(source, target, percentsTo(rest), rest.cancelFlag());
    m_sgtCounts = converter.exportCounts();
    m_cancelled = converter.wasCancelled();
    m_error = converter.errorString();
    return ok;
}
