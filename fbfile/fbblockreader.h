#ifndef FBFILE_FBBLOCKREADER_H
#define FBFILE_FBBLOCKREADER_H

#include <fbfile/fblayout.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace FbFile {

// Sequential reading of an FB file in blocks of whole records, with one
// bounded buffer whatever the file size: what the shot index, the check and
// every whole-file analysis read through.
//
// open() accepts only a regular file (or a symlink to one), checked just
// before opening and again on the opened file, so a FIFO, a directory or a
// device is refused at once with "not a regular file" and never blocks.
//
// A record the file no longer holds (it shrank after open(), or a read
// failed) reads as zeros, as in the viewer: blocks always hold whole
// records, and the numbering never shifts.
//
// Usage:
//   FbBlockReader reader(fileName);
//   if (!reader.open()) ... reader.errorString();
//   FbBlockReader::Block block;
//   while (reader.nextBlock(&block))
//       for (qint64 k = 0; k < block.records; ++k)
//           use(block.firstRecord + k, FbLayout::decodeRecord(block.record(k)));
// A file opened for reading the way every reader of this library opens one:
// read-only and unbuffered, and only when it is a regular file (or a
// symlink to one), checked before opening, without blocking, and again on
// the opened descriptor, so that a FIFO, a directory or a device swapped in
// at any moment is refused and never blocks.
//
//   FbInputFile input;
//   if (!input.open(fileName)) ... input.errorString();   // "not a regular file", or the system's
//   input.file().read(...);
// Which file and which of its states: the same device and inode, size and
// modification time. Work judged on a file is applied to it only while its
// identity stays what it was (a file renamed over it, cut or rewritten in
// place has another).
struct FbFileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds

    bool isValid() const { return size >= 0; }
    bool operator==(const FbFileIdentity &o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified == o.modified;
    }
    bool operator!=(const FbFileIdentity &o) const { return !(*this == o); }
    // What fileName names now (following links); invalid when it cannot be
    // looked at.
    static FbFileIdentity of(const QString &fileName);
};

class FbInputFile
{
public:
    bool open(const QString &fileName);
    QString errorString() const { return m_error; }
    QFile &file() { return m_file; }
    // The modification time the open found, in nanoseconds.
    qint64 modified() const { return m_identity.modified; }
    // The opened file as the open found it, and as it is now (invalid when
    // not open).
    const FbFileIdentity &identity() const { return m_identity; }
    FbFileIdentity current() const;

private:
    QFile m_file;
    QString m_error;
    FbFileIdentity m_identity;
};

class FbBlockReader
{
public:
    struct Block
    {
        qint64 firstRecord = 0;     // 0-based number of the block's first record
        qint64 records = 0;         // whole records in the block, at least 1
        const char *data = nullptr; // records * RecordSize bytes, valid until the next read
        const char *record(qint64 k) const { return data + k * FbLayout::RecordSize; }
    };

    explicit FbBlockReader(const QString &fileName);

    // Opens the file and reads its header. False when it is not a regular
    // file or cannot be opened; errorString() says why.
    bool open();
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_error; }

    // The header; words missing from a file shorter than it read as 0.
    const FbFileHeader &header() const { return m_header; }
    qint64 fileSize() const { return m_fileSize; }
    // Complete records: a trailing partial record is not counted.
    qint64 recordCount() const { return m_recordCount; }
    // Bytes after the last complete record (0 for a file shorter than its header).
    qint64 trailingBytes() const;
    // The bytes right after the header as open() found them, zero-filled to
    // one record: the start of a partial record when there is no complete one.
    const char *firstRecordBytes() const { return m_first.constData(); }

    // Records per block; tests set it small to cross block boundaries.
    void setBlockRecords(qint64 records);
    qint64 blockRecords() const { return m_blockRecords; }

    // The records the next blocks cover: first .. first + count - 1, clamped
    // to the file's records. open() sets every record.
    void setRange(qint64 first, qint64 count);

    // Reads the next block of the range. False at its end or when the file
    // is not open.
    bool nextBlock(Block *block);

    // Whether the file is still as open() found it: no read came up short,
    // and its size and modification time are the same. A file cut or
    // rewritten while it was read gives records that are not the file's.
    bool unchanged() const;
    // The file as open() found it.
    const FbFileIdentity &identity() const { return m_input.identity(); }

private:
    QString m_fileName;
    FbInputFile m_input;
    QFile &m_file = m_input.file();
    QString m_error;
    FbFileHeader m_header;
    qint64 m_fileSize = 0;
    qint64 m_recordCount = 0;
    qint64 m_blockRecords = FbLayout::BlockRecords;
    qint64 m_next = 0;
    qint64 m_end = 0;
    qint64 m_position = -1; // where the file stands, or -1 when unknown
    bool m_shortRead = false;
    qint64 m_modified = 0; // nanoseconds, as open() found them
    QByteArray m_first;
    QByteArray m_buffer;
};

} // namespace FbFile

#endif // FBFILE_FBBLOCKREADER_H
