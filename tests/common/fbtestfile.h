#ifndef FBTESTFILE_H
#define FBTESTFILE_H

// Small FB files for tests, written with the core's own encoder.

#include <fbfile/fblayout.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

#include <algorithm>

namespace FbTest {

// Records with the given ffids and otherwise plausible, distinct values:
// record i has channel i + 1, fb_no i, offset 10 * i - 100, fb_time i / 4.
inline QVector<FbFile::FbRecord> recordsWithFfids(const QVector<qint32> &ffids)
{
    QVector<FbFile::FbRecord> records;
    records.reserve(ffids.size());
    for (int i = 0; i < ffids.size(); ++i) {
        // ffid, channel, offset, g_elev, s_elev, s_depth, source_x, source_y, group_x, group_y, s_line, s_stat,
        // g_line, g_stat, (word 56), fb_time, fb_status, (word 68), fb_no
        records.append(FbFile::FbRecord{ffids.at(i), i + 1, 10 * i - 100, 300 + i, 250, 12, 1000.5f, 2000.25f,
                                        1000.0f + 25.0f * i, 2000.0f, 7, 101, 8, 200 + i, 0, i / 4.0f, i % 3, 0, i});
    }
    return records;
}

// The bytes of an FB file: the header (fb_count defaults to the number of
// records), the records, then extraBytes bytes of 0xEE (a partial record).
inline QByteArray fileBytes(const QVector<FbFile::FbRecord> &records,
                            FbFile::FbFileHeader header = FbFile::FbFileHeader(), bool declareCount = true,
                            int extraBytes = 0)
{
    if (declareCount)
        header.fb_count = records.size();
    QByteArray bytes(int(FbFile::FbLayout::HeaderSize + FbFile::FbLayout::RecordSize * records.size()) + extraBytes,
                     char(0xEE));
    FbFile::FbLayout::encodeHeader(header, bytes.data());
    for (int i = 0; i < records.size(); ++i)
        FbFile::FbLayout::encodeRecord(records.at(i), bytes.data() + FbFile::FbLayout::recordPosition(i));
    return bytes;
}

// A header as a pick file's writer leaves it: polarity 1 and the offset
// range of the records.
inline FbFile::FbFileHeader headerFor(const QVector<FbFile::FbRecord> &records)
{
    FbFile::FbFileHeader header;
    header.polarity = 1;
    for (const FbFile::FbRecord &r : records) {
        header.min_offset = std::min(header.min_offset, r.offset);
        header.max_offset = std::max(header.max_offset, r.offset);
    }
    return header;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A file's bytes, or none when it cannot be read.
inline QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes of an FB file with every complete record's fb_time in s
// instead of ms: the twin a file whose times are stored in seconds must
// judge as.
inline QByteArray inSeconds(QByteArray bytes)
{
    for (qint32 k = 0; k < FbFile::FbLayout::recordCount(bytes.size()); ++k) {
        char *at = bytes.data() + FbFile::FbLayout::recordPosition(k);
        FbFile::FbRecord r = FbFile::FbLayout::decodeRecord(at);
        r.fb_time = float(double(r.fb_time) / 1000.0);
        FbFile::FbLayout::encodeRecord(r, at);
    }
    return bytes;
}

// Writes the seconds twin of the FB file msFile to secondsFile.
inline bool writeInSeconds(const QString &msFile, const QString &secondsFile)
{
    QFile in(msFile);
    return in.open(QIODevice::ReadOnly) && writeFile(secondsFile, inSeconds(in.readAll()));
}

} // namespace FbTest

#endif // FBTESTFILE_H
