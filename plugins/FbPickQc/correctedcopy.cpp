#include "correctedcopy.h"

#include <fbfile/editlog.h>
#include <fbfile/fbcsvexport.h>
#include <fbfile/fbeditwriter.h>
#include <fbfile/numbertext.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace FbFile;
using namespace FbQc;

CorrectedCopy::CorrectedCopy(const QString &fileName, const FbFileIdentity &judged, const PickEdits &edits)
    : m_fileName(fileName), m_judged(judged), m_edits(edits)
{ }

namespace {

// The user's edits handed to the writer a block at a time, in record
// order: a copy with millions of edited picks holds one block of words.
// The file's word is checked, so that a file changed since it was judged
// is not corrected by edits made for what it held then.
class PickEditSource : public FbEditSource
{
public:
    explicit PickEditSource(const PickEdits &edits) : m_edits(edits) { }

    bool start(const FbEditWriter &writer, qint64 recordCount, QString *error) override
    {
        m_next = m_edits.cbegin();
        if (m_edits.isEmpty())
            return true;
        const qint32 last = m_edits.lastKey();
        return writer.checkEdit(FbEdit::status(last, 0), recordCount, error);
    }

    void block(qint64 first, qint64 count, const char *, QVector<FbEdit> *edits) override
    {
        edits->resize(0);
        m_reasons.resize(0);
        for (; m_next != m_edits.cend() && m_next.key() < first + count; ++m_next) {
            if (m_next->timeEdited) {
                FbEdit e = FbEdit::time(m_next.key(), m_next->time);
                e.checkOld = true;
                e.oldBits = NumberText::floatBits(m_next->fileTime);
                edits->append(e);
                m_reasons.append(m_next->timeReason);
            }
            if (m_next->statusEdited) {
                FbEdit e = FbEdit::status(m_next.key(), m_next->status);
                e.checkOld = true;
                e.oldBits = quint32(m_next->fileStatus);
                edits->append(e);
                m_reasons.append(m_next->statusReason);
            }
        }
    }

    const QString &reason(int k) const { return m_reasons.at(k); }

private:
    const PickEdits m_edits;
    PickEdits::const_iterator m_next;
    QVector<QString> m_reasons;
};

} // namespace

bool CorrectedCopy::write(const QString &target, const QString &logName, const Progress &progress)
{
    m_error.clear();
    m_cancelled = false;
    m_changed = 0;
    PickEditSource source(m_edits);
    FbEditWriter writer(m_fileName);
    writer.setEditSource(&source);
    writer.setSource(m_judged);
    // The log fills under a temporary name as the copy is written and
    // takes its name first: a log that cannot be written leaves an
    // existing copy as it was.
    EditLog::Writer log(logName);
    const auto logFailed = [&](QString *error) {
        *error = tr("%1 was not written, as its edit log cannot be: %2").arg(target, log.errorString());
        return false;
    };
    if (!logName.isEmpty() && !log.open({m_fileName, target})) {
        QString error;
        logFailed(&error);
        m_error = error;
        return false;
    }
    writer.setWordWritten(
        [&](const FbEditWriter::Applied &a, const QVector<FbEdit> &list, const int *, int, QString *) {
            const FbEdit &e = list.at(a.edit);
            if (e.bits == a.oldBits)
                return true;
            ++m_changed;
            if (!logName.isEmpty()) {
                EditLogRow row = EditLogRow::applied(a, e);
                row.reason = source.reason(a.edit);
                log.add(row);
            }
            return true;
        });
    writer.setBeforeCommit([&](QString *error) { return logName.isEmpty() || log.commit() || logFailed(error); });
    if (!writer.write(target, progress)) {
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
        const bool ok = table.write(source, target, rest);
        m_csvRecords = table.records();
        m_cancelled = table.wasCancelled();
        m_error = table.errorString();
        return ok;
    }
    SgtConverter converter;
    const bool ok = converter.exportSgt(source, target, rest);
    m_sgtCounts = converter.exportCounts();
    m_cancelled = converter.wasCancelled();
    m_error = converter.errorString();
    return ok;
}
