#ifndef PLANTEDSURVEY_H
#define PLANTEDSURVEY_H

// The QC window's test survey: a clean 2-D line with a few planted faults,
// each of which the window must list and editing must be able to fix.

#include <fbfile/fblayout.h>
#include "fbtestfile.h"

#include <QVector>

#include <algorithm>
#include <cmath>

// A clean 2-D line: sources on receiver stations 4 apart, split spreads of
// 48 channels 25 m apart, times of a two-layer refraction without noise, so
// that the only findings are the ones planted. The first spike comes before
// the late shot in the file, which comes first when the worst come first.
constexpr int Shots = 24, Channels = 48;
constexpr int SpikeShotA = 1, ShiftedShot = 2, SpikeShotB = 17, VaryingShot = 20;
// Channels whose receivers sit on no source station, so that a spike cannot
// also spoil a reciprocal pair.
constexpr int SpikeChannelA = 11, SpikeChannelB = 40;
// A spike planted in the file after it was loaded: only a reading of the
// file sees it.
constexpr int LateSpikeShot = 8, LateSpikeChannel = 15;

inline int sourceStation(int shot)
{
    return 30 + 4 * shot;
}
inline int firstStation(int shot)
{
    return sourceStation(shot) - Channels / 2;
}

inline QVector<FbFile::FbRecord> plantedSurvey(bool lateSpike = false)
{
    QVector<FbFile::FbRecord> records;
    for (int s = 0; s < Shots; ++s) {
        for (int c = 1; c <= Channels; ++c) {
            FbFile::FbRecord r;
            const int station = firstStation(s) + c - 1;
            r.ffid = 5001 + s;
            r.channel = c;
            r.fb_no = int(records.size());
            r.offset = 25 * (station - sourceStation(s));
            r.source_x = 25.0f * sourceStation(s);
            r.source_y = 1000.0f;
            r.group_x = 25.0f * station;
            r.group_y = 1000.0f;
            r.s_line = r.g_line = 1;
            r.s_stat = sourceStation(s);
            r.g_stat = station;
            r.s_elev = 100;
            r.s_depth = 5;
            // Rows 0, 1, 2 of a shot: statuses 1, 2 (rejected), 0; the
            // receivers at sources and the spikes are picks in use.
            r.fb_status = c % 3;
            if (r.fb_status == 2 &&
                (station % 4 == 2 || c == SpikeChannelA || c == SpikeChannelB || c == LateSpikeChannel))
                r.fb_status = 0;
            const double x = std::abs(r.offset);
            r.fb_time = float(std::min(x / 1.2, 125.0 + x / 3.0)); // ms: 1200 and 3000 m/s, kink at 250 m
            if (s == ShiftedShot)
                r.fb_time += 12.0f;
            if (s == SpikeShotA && c == SpikeChannelA)
                r.fb_time += 30.0f;
            if (s == SpikeShotB && c == SpikeChannelB)
                r.fb_time -= 25.0f;
            if (lateSpike && s == LateSpikeShot && c == LateSpikeChannel)
                r.fb_time += 50.0f;
            if (s == VaryingShot && c > Channels / 2)
                r.s_elev = 104;
            records.append(r);
        }
    }
    return records;
}

inline QByteArray surveyBytes(bool lateSpike = false)
{
    const QVector<FbFile::FbRecord> records = plantedSurvey(lateSpike);
    return FbTest::fileBytes(records, FbTest::headerFor(records));
}

// The shots whose sources sit at receivers of the shifted shot and the
// other way round: its reciprocal pairs.
inline QVector<int> shiftedPartners()
{
    QVector<int> partners;
    for (int other = 0; other < Shots; ++other) {
        if (other != ShiftedShot && std::abs(sourceStation(other) - sourceStation(ShiftedShot)) <= Channels / 2 - 1)
            partners.append(other);
    }
    return partners;
}

// The shot row at which a receiver of shot `shot` sits on shot `other`'s source.
inline int rowAtSource(int shot, int other)
{
    return sourceStation(other) - firstStation(shot);
}

#endif // PLANTEDSURVEY_H
