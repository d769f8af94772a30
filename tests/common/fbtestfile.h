#ifndef FBTESTFILE_H
#define FBTESTFILE_H

// Small FB files for tests, written with the core's own encoder.

#include "fblayout.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

namespace FbTest {

// Records with the given ffids and otherwise plausible, distinct values:
// record i has channel i + 1, fb_no i, offset 10 * i - 100, fb_time i / 4.
inline QVector<FbRecord> recordsWithFfids(const QVector<qint32> &ffids)
{
    QVector<FbRecord> records;
    records.reserve(ffids.size());
    for (int i = 0; i < ffids.size(); ++i) {
        FbRecord r;
        r.ffid = ffids.at(i);
        r.channel = i + 1;
        r.fb_no = i;
        r.offset = 10 * i - 100;
        r.g_elev = 300 + i;
        r.s_elev = 250;
        r.s_depth = 12;
        r.source_x = 1000.5f;
        r.source_y = 2000.25f;
        r.group_x = 1000.0f + 25.0f * i;
        r.group_y = 2000.0f;
        r.s_line = 7;
        r.s_stat = 101;
        r.g_line = 8;
        r.g_stat = 200 + i;
        r.fb_time = i / 4.0f;
        r.fb_status = i % 3;
        records.append(r);
    }
    return records;
}

// The bytes of an FB file: the header (fb_count defaults to the number of
// records), the records, then extraBytes bytes of 0xEE (a partial record).
inline QByteArray fileBytes(const QVector<FbRecord> &records, FbFileHeader header = FbFileHeader(),
                            bool declareCount = true, int extraBytes = 0)
{
    if (declareCount)
        header.fb_count = records.size();
    QByteArray bytes(int(FbLayout::HeaderSize + FbLayout::RecordSize * records.size()) + extraBytes, char(0xEE));
    FbLayout::encodeHeader(header, bytes.data());
    for (int i = 0; i < records.size(); ++i)
        FbLayout::encodeRecord(records.at(i), bytes.data() + FbLayout::recordPosition(i));
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace FbTest

#endif // FBTESTFILE_H
