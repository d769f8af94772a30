#ifndef FBFILE_SHOTINDEX_H
#define FBFILE_SHOTINDEX_H

#include <fbfile/fbblockreader.h>
#include <fbfile/progress.h>

#include <QString>
#include <QVector>

namespace FbFile {

// One shot: a maximal run of consecutive records with the same ffid.
// Record numbers are 0-based and lastRecord is inclusive.
struct ShotIndexEntry
{
    qint32 ffid = 0;
    qint32 firstRecord = 0;
    qint32 lastRecord = 0;
};
} // namespace FbFile

Q_DECLARE_TYPEINFO(FbFile::ShotIndexEntry, Q_PRIMITIVE_TYPE);

namespace FbFile {

inline bool operator==(const ShotIndexEntry &a, const ShotIndexEntry &b)
{
    return a.ffid == b.ffid && a.firstRecord == b.firstRecord && a.lastRecord == b.lastRecord;
}
inline bool operator!=(const ShotIndexEntry &a, const ShotIndexEntry &b)
{
    return !(a == b);
}

// Builds the shot index of an FB file in two steps, so that a caller can
// warn about an incomplete file between reading the header and scanning:
//   ShotIndexScanner scanner(name);
//   if (!scanner.open()) ...;          // header and record count now known
//   if (!scanner.isComplete()) ...;    // fb_count disagrees with the size
//   QVector<ShotIndexEntry> index = scanner.scan(progress);
// The scan reads the ffid words in large sequential blocks of whole records,
// holding one bounded buffer whatever the file size.
class ShotIndexScanner
{
public:
    explicit ShotIndexScanner(const QString &fileName);

    // Opens the file read-only and reads the header. False when it is not a
    // regular file or cannot be opened (errorString() says why).
    bool open();
    QString errorString() const;

    const FbFileHeader &header() const { return m_reader.header(); }
    qint64 fileSize() const { return m_reader.fileSize(); }
    qint64 recordCount() const { return m_reader.recordCount(); }
    // Bytes after the last complete record: a partial record.
    qint64 trailingBytes() const { return m_reader.trailingBytes(); }
    // The declared record count matches the one derived from the size.
    bool isComplete() const { return header().fb_count == recordCount(); }
    // Record numbers are held as int32; a file with more records than that
    // cannot be indexed.
    bool recordCountFits() const;

    // Scans every record's ffid and returns the index in file order. With
    // no complete record the index is the single entry {the word at offset
    // 16 (missing bytes as 0), 0, -1}. Returns an empty index when the file
    // is not open or its record count does not fit in int32. The progress
    // moves at a shot start whose first record has reached the next
    // hundredth of the records, by one percent, at most once per shot, so
    // a file of few records moves it once per shot; the scan runs to the
    // end whatever its cancel flag says.
    QVector<ShotIndexEntry> scan(const Progress &progress = Progress());

    // Records per block read; tests set it small to cross block boundaries.
    void setBlockRecords(int records);

private:
    FbBlockReader m_reader;
};

} // namespace FbFile

#endif // FBFILE_SHOTINDEX_H
