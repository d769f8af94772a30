#ifndef SPARSEFILE_H
#define SPARSEFILE_H

// Huge FB files for tests, made sparse so that they cost no disk: the
// header, a hole that reads as zero records (one long shot of ffid 0), and
// a few real records placed where the caller asks.

#include <fbfile/fblayout.h>

#include <QFile>
#include <QVector>

#include <sys/stat.h>

namespace SparseFb {

struct Placed
{
    qint64 recordNumber;
    FbFile::FbRecord record;
};

// Creates fileName with size bytes, the header and the records. Returns
// false, leaving no file, when the file system cannot hold it sparse.
inline bool make(const QString &fileName, qint64 size, const FbFile::FbFileHeader &header,
                 const QVector<Placed> &records)
{
    QFile file(fileName);
    char bytes[FbFile::FbLayout::RecordSize];
    FbFile::FbLayout::encodeHeader(header, bytes);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size) &&
              file.write(bytes, FbFile::FbLayout::HeaderSize) == FbFile::FbLayout::HeaderSize;
    for (const Placed &p : records) {
        FbFile::FbLayout::encodeRecord(p.record, bytes);
        ok = ok && file.seek(FbFile::FbLayout::HeaderSize + FbFile::FbLayout::RecordSize * p.recordNumber) &&
             file.write(bytes, FbFile::FbLayout::RecordSize) == FbFile::FbLayout::RecordSize;
    }
    file.close();
    struct stat st;
    if (ok && ::stat(QFile::encodeName(fileName).constData(), &st) == 0 && qint64(st.st_blocks) * 512 < size / 4)
        return true;
    QFile::remove(fileName);
    return false;
}

// A run of records of one shot: channel k + 1, offset -500 + 100 k,
// fb_time 100 + k.
inline QVector<Placed> shot(qint64 firstRecord, qint32 ffid, int count)
{
    QVector<Placed> placed;
    for (int k = 0; k < count; ++k) {
        FbFile::FbRecord r{ffid, k + 1, -500 + 100 * k}; // ffid, channel, offset
        r.fb_time = 100.0f + k;
        placed.append({firstRecord + k, r});
    }
    return placed;
}

} // namespace SparseFb

#endif // SPARSEFILE_H
