#ifndef SURVEYLINE_H
#define SURVEYLINE_H

// Shots along a straight survey line for the QC tests: receivers every
// 25 m at bearing 3-4-5, a two- or three-layer first-break curve with a
// little deterministic noise, and a file written from them.

#include "fbtestfile.h"
#include <fbfile/fblayout.h>

#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace SurveyLine {

enum class Curve { TwoLayers, ThreeLayers };
// Where a shot's source sits: on a receiver station (but off the line), or
// halfway between two with a station number no receiver carries.
enum class Source { OnStation, BetweenStations };

constexpr double Spacing = 25.0;

inline double firstBreak(Curve curve, double h)
{
    const double t = std::min(h / 1.7, 61.0 + h / 3.4);
    return curve == Curve::ThreeLayers ? std::min(t, 180.0 + h / 6.0) : t;
}

// Deterministic noise in [-1, 1) ms.
inline double noise(quint32 a, quint32 b)
{
    quint32 x = a * 2654435761u ^ (b + 0x9E3779B9u) * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return (x % 2000) / 1000.0 - 1.0;
}

// One shot on a straight line at bearing 3-4-5: receivers at stations
// first .. first + channels - 1, the source at station source, `aside`
// metres off the line (its offsets and times still those along the line).
inline QVector<FbFile::FbRecord> shotOnLine(int shot, double source, int first, int channels, Curve curve,
                                            bool absoluteOffsets = false, double aside = 0.0)
{
    QVector<FbFile::FbRecord> records;
    for (int c = 0; c < channels; ++c) {
        const int station = first + c;
        FbFile::FbRecord r;
        r.ffid = 100 + shot;
        r.channel = c + 1;
        r.fb_no = shot * 1000 + c;
        const double offset = (station - source) * Spacing;
        r.offset = qRound(absoluteOffsets ? std::abs(offset) : offset);
        const bool onStation = source == std::floor(source);
        r.source_x = float(5000.0 + 0.8 * Spacing * source - 0.6 * aside);
        r.source_y = float(9000.0 + 0.6 * Spacing * source + 0.8 * aside);
        r.group_x = float(5000.0 + 0.8 * Spacing * station);
        r.group_y = float(9000.0 + 0.6 * Spacing * station);
        r.s_line = onStation ? 1 : 2;
        r.s_stat = onStation ? int(source) : 9000 + shot;
        r.g_line = 1;
        r.g_stat = station;
        r.fb_time = float(std::max(0.25, firstBreak(curve, std::abs(offset)) + noise(shot, c)));
        r.fb_status = c % 3 == 0 ? 0 : 1;
        records.append(r);
    }
    return records;
}

// Writes the records with a header whose offset range holds them, as a
// pick file's writer would.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QVector<FbFile::FbRecord> &records)
{
    const QString path = dir.filePath(name);
    return FbTest::writeFile(path, FbTest::fileBytes(records, FbTest::headerFor(records))) ? path : QString();
}

} // namespace SurveyLine

#endif // SURVEYLINE_H
