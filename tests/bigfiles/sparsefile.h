#ifndef SPARSEFILE_H
#define SPARSEFILE_H

// Huge FB files for tests, made sparse so that they cost no disk: the
// header, a hole that reads as zero records (one long shot of ffid 0), and
// a few real records placed where the caller asks.

#include "fbfile.h"

#include <QFile>
#include <QString>
#include <QVector>

#include <sys/stat.h>

namespace SparseFb {

struct Placed
{
    qint64 recordNumber;
    FbRecord record;
};

// Creates fileName with size bytes, the given header and records. Returns
// false when the file system cannot hold it as a sparse file (the caller
// skips then); a file that was made is removed again in that case.
inline bool make(const QString &fileName, qint64 size, const FbFileHeader &header, const QVector<Placed> &records)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!file.resize(size)) {
        file.remove();
        return false;
    }
    char bytes[FbLayout::RecordSize];
    FbLayout::encodeHeader(header, bytes);
    bool ok = file.write(bytes, FbLayout::HeaderSize) == FbLayout::HeaderSize;
    for (const Placed &p : records) {
        FbLayout::encodeRecord(p.record, bytes);
        ok = ok && file.seek(FbLayout::HeaderSize + FbLayout::RecordSize * p.recordNumber)
             && file.write(bytes, FbLayout::RecordSize) == FbLayout::RecordSize;
    }
    file.close();

    struct stat st;
    const bool sparse = ::stat(QFile::encodeName(fileName).constData(), &st) == 0
                        && qint64(st.st_blocks) * 512 < size / 4;
    if (!ok || !sparse) {
        QFile::remove(fileName);
        return false;
    }
    return true;
}

// A run of records of one shot with distinct channels and times.
inline QVector<Placed> shot(qint64 firstRecord, qint32 ffid, int count)
{
    QVector<Placed> placed;
    for (int k = 0; k < count; ++k) {
        FbRecord r;
        r.ffid = ffid;
        r.channel = k + 1;
        r.offset = -500 + 100 * k;
        r.s_elev = 250;
        r.source_x = 123456.5f;
        r.fb_time = 100.0f + k;
        r.fb_status = k % 3;
        r.fb_no = int(firstRecord % 1000000) + k;
        placed.append({firstRecord + k, r});
    }
    return placed;
}

} // namespace SparseFb

#endif // SPARSEFILE_H
