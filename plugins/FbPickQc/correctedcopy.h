#ifndef CORRECTEDCOPY_H
#define CORRECTEDCOPY_H

#include <fbfile/fbblockreader.h>
#include "pickedit.h"
#include <fbfile/progress.h>
#include <fbfile/sgtconverter.h>

#include <QCoreApplication>
#include <QString>

// What the QC window writes from a file and the user's edits, on any
// thread, never touching the file itself:
// - write(): a corrected copy through the edit writer, in which only the
//   edited words differ, and beside it its edit log (record, fb_no, ffid,
//   channel, field, old, new, reason; one row per changed word). The file
//   must be the one the edits were judged on (FbFileIdentity, as the QC
//   pass found it), and each edit's old word is checked against it, so a
//   file replaced or changed on disk since is refused rather than half
//   corrected. The log is written first: when it cannot be, an existing
//   copy stays as it was. The copy is never the file (by any path or
//   link), nor the log either of them.
// - exportPicks(): the picks as the edits leave them, as the unified data
//   format (.sgt) or a CSV table of every record; with edits, the file is
//   first corrected into a temporary copy in the target's folder, which is
//   removed afterwards.
// Each is false with errorString() saying why (wasCancelled() when Cancel
// was asked); a failure leaves nothing under the target's name.
//
// Usage:
//   CorrectedCopy copy(fileName, data->identity, session.edits());
//   if (!copy.write(target, target + ".edits.csv", progress)) ... copy.errorString();
class CorrectedCopy
{
    Q_DECLARE_TR_FUNCTIONS(CorrectedCopy)

public:
    enum Format { Sgt, Csv };

    // judged: the file's state the edits were made on; invalid: any.
    CorrectedCopy(const QString &fileName, const FbFile::FbFileIdentity &judged, const PickEdits &edits);

    // logName empty: no log.
    bool write(const QString &target, const QString &logName, const FbFile::Progress &progress = FbFile::Progress());
    // Words the copy changed (rows of the log).
    int changedWords() const { return m_changed; }

    bool exportPicks(const QString &target, Format format, const FbFile::Progress &progress = FbFile::Progress());
    // After an .sgt export: what was written and what left out.
    const FbFile::SgtConverter::ExportCounts &sgtCounts() const { return m_sgtCounts; }
    // After a CSV export: the records written.
    qint64 csvRecords() const { return m_csvRecords; }

    QString errorString() const { return m_error; }
    bool wasCancelled() const { return m_cancelled; }

private:
    QString m_fileName;
    FbFile::FbFileIdentity m_judged;
    PickEdits m_edits;
    int m_changed = 0;
    FbFile::SgtConverter::ExportCounts m_sgtCounts;
    qint64 m_csvRecords = 0;
    QString m_error;
    bool m_cancelled = false;
};

#endif // CORRECTEDCOPY_H
