#ifndef FBFILE_FBSPOOLEDWRITER_H
#define FBFILE_FBSPOOLEDWRITER_H

#include <fbfile/fblayout.h>
#include <fbfile/fboutputfile.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <functional>

#include <limits>

namespace FbFile {

// An FB file whose records are made before their count is known (picks
// made trace by trace): the records are spooled to a hidden temporary file
// beside the output as they come, and commit() writes the header (their
// count, their offset range, polarity 1) and copies the records behind it
// in blocks, so memory stays flat whatever the count.
//
// Promises:
// - the output is written through FbOutputFile: it takes its name only at
//   commit(), an existing file stays as it was on any failure, and open()
//   refuses a target that is one of protect;
// - the spool file is removed when the writer goes, committed or not;
// - every failure leaves errorString() saying which file and why.
//
// Usage:
//   FbSpooledWriter writer(target, QStringLiteral(".fbtool-pick-"));
//   if (!writer.open({input})) ... writer.errorString();
//   for (...) if (!writer.append(record)) ...;   // fb_no set by the caller
//   writer.update(k, [](FbRecord *r) { r->fb_time = ...; });  // a record made again
//   if (!writer.commit()) ...;                     // nothing under target
class FbSpooledWriter
{
public:
    // spoolPrefix: the start of the hidden spool file's name beside target.
    FbSpooledWriter(const QString &target, const QString &spoolPrefix);

    bool open(const QStringList &protect = QStringList());
    // Buffered; the buffer goes to the spool file a block at a time.
    bool append(const FbRecord &record);
    qint64 count() const { return m_count; }
    // Changes the record appended index-th (from 0): change gets it as it
    // was; its offset stays (the header's range counts it already).
    bool update(qint64 index, const std::function<void(FbRecord *)> &change);
    bool commit();
    QString errorString() const { return m_error; }

private:
    bool flushBuffer();
    bool spoolFailed();

    QString m_target;
    FbOutputFile m_output;
    QTemporaryFile m_spool;
    QByteArray m_buffer;
    qint64 m_count = 0;
    qint32 m_minOffset = std::numeric_limits<qint32>::max();
    qint32 m_maxOffset = std::numeric_limits<qint32>::min();
    QString m_error;
};

} // namespace FbFile

#endif // FBFILE_FBSPOOLEDWRITER_H
