// qcaccuracy: how right the pick QC's first-break fit is, and what it costs.
//
// Draws a family of survey lines with the generator (group intervals of 2 to
// 50 m, 24 to 240 channels and one shot of 80,000, split and end-on spreads,
// sources on and between stations, two and three layers, noise, statics,
// source delays, missing picks and unpicked zeros, sources off the line,
// lengths in feet and offsets in a finer unit, hills, lateral change, cycle
// skips, velocity gradients, dipping and hidden layers, a 3-D patch of
// parallel receiver lines), each twice: a clean twin
// and a planted twin with spikes of 12 to 60 ms on about one pick a shot and
// some shots late by 9 to 15 ms. Both go through the whole QC pass
// (FbQc::Analyzer), and each line prints the spikes found of those
// planted and the false outliers (any other pick flagged) on either twin.
// Goal on every line: no false outlier on the clean twin, at least 95% of
// the spikes found.
//
// Then it times the fit alone (ShotFitter::fit, thread CPU time) on every
// shot of a generated file of 53,000 shots x 240 picks (--quick: 2,000
// shots), beside a plain baseline measured in the same run: copying each
// shot's |offset| and time and sorting them.
//
//   qcaccuracy [--quick] [--dir DIR] [--only TEXT]

#include <fbfile/fbgenerator.h>
#include <fbfile/fblayout.h>
#include <fbqc/firstbreakfit.h>
#include <fbqc/pickqc.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

using namespace FbFile;
using namespace FbQc;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

using FbGenerator::Spread;

// A source's and a receiver's own static, beyond their station's, and how
// much the uphole time varies from shot to shot: small, as on a line shot
// with one kind of source at one depth.
constexpr double OwnStaticMs = 0.3;
constexpr double UpholeSpreadMs = 0.5;

struct Geometry
{
    const char *name;
    int group; // m between receiver stations
    int channels;
    int shots;
    Spread spread;
    bool between;               // sources between stations
    QVector<double> velocities; // m/s; empty: the generator's built-in curve
    QVector<double> crossovers; // m
    double noise;               // +- ms
    double statics;             // +- ms, one per station, shared by a source and a receiver on it
    double delay;               // the trigger delay of every shot, ms
    double missing;             // fraction left out
    double unpicked;            // fraction stored as 0 ms
    // The ground beyond flat layers: picks that follow the topography at this
    // velocity (m/s, 0: the built-in small static), refractors slower by this
    // fraction past the middle of the line, and runs of cycle skips planted.
    double elevationVelocity = 0.0;
    double lateral = 0.0;
    bool skips = false;
    // Ground beyond flat layers of constant velocity: the top layer's
    // velocity gradient (m/s per m of depth), the interfaces' dip along the
    // line (degrees), and a hidden layer under the top one (m/s, m).
    double gradient = 0.0;
    double dip = 0.0;
    double hiddenVelocity = 0.0;
    double hiddenThickness = 0.0;
};

// The family: each line a kind of survey users judge, and together the
// spread of group intervals, channel counts, layers and faults of the
// field. Crossovers set how many picks see each arrival.
const QVector<Geometry> &family()
{
    const Spread split = Spread::Split, endOn = Spread::EndOn;
    // clang-format off
    static const QVector<Geometry> lines = {
        {"slow top 600/2400 m/s, 25 m, split 120", 25, 120, 60, split, false, {600, 2400}, {90}, 1.0, 1.0, 4.0, 0.0, 0.0},
        {"3 layers, 50 m, split 96, 7 direct picks", 50, 96, 40, split, false, {500, 1800, 4000}, {370, 1800}, 1.0, 1.5, 3.0, 0.0, 0.0},
        {"3 layers, 2 m, split 48", 2, 48, 60, split, false, {300, 1200, 2500}, {9, 30}, 0.5, 0.5, 2.0, 0.0, 0.0},
        {"2 layers, 2 m, end-on 96", 2, 96, 40, endOn, false, {350, 1500}, {21}, 0.5, 0.5, 1.0, 0.0, 0.0},
        {"3 layers, 5 m, split 240, 10% unpicked", 5, 240, 30, split, false, {400, 1600, 3500}, {31, 260}, 1.0, 1.0, 5.0, 0.0, 0.10},
        {"3 layers, 10 m, end-on 120, 40% unpicked", 10, 120, 40, endOn, false, {500, 2000, 4500}, {61, 620}, 1.0, 1.0, 3.0, 0.0, 0.40},
        {"2 layers, 25 m, split 24", 25, 24, 80, split, false, {800, 3000}, {110}, 1.0, 1.0, 2.0, 0.0, 0.0},
        {"2 layers, 50 m, end-on 24", 50, 24, 80, endOn, false, {1500, 4500}, {420}, 1.0, 1.0, 2.0, 0.0, 0.0},
        {"built-in curve, 25 m, split 240", 25, 240, 40, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0},
        {"built-in curve, 25 m, one shot of 80,000", 25, 80000, 1, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0},
        {"2 layers, 10 m, split 96, between stations", 10, 96, 50, split, true, {600, 2200}, {52}, 1.0, 1.0, 3.0, 0.0, 0.0},
        {"3 layers, 25 m, end-on 60, between stations", 25, 60, 50, endOn, true, {700, 2000, 4200}, {140, 700}, 1.0, 1.0, 3.0, 0.0, 0.0},
        {"3 layers, 20 m, split 120, statics 3 ms", 20, 120, 40, split, false, {600, 1900, 3800}, {100, 700}, 1.0, 3.0, 5.0, 0.0, 0.0},
        {"2 layers, 15 m, split 200, 8% missing", 15, 200, 30, split, false, {900, 2600}, {80}, 1.0, 2.0, 3.0, 0.08, 0.0},
        {"3 layers, 12 m, split 144, delays to 15 ms", 12, 144, 40, split, false, {450, 1700, 3300}, {50, 400}, 1.0, 1.0, 15.0, 0.0, 0.0},
        {"3 layers, 20 m, end-on 240", 20, 240, 20, endOn, false, {800, 2500, 5000}, {150, 1500}, 1.0, 2.0, 3.0, 0.03, 0.0},
        {"2 layers, 30 m, split 72, long direct", 30, 72, 50, split, false, {700, 2000}, {310}, 1.0, 1.5, 2.0, 0.0, 0.0},
        {"3 layers, 4 m, split 120", 4, 120, 40, split, false, {350, 1400, 2800}, {14, 120}, 0.5, 1.0, 2.0, 0.0, 0.0},
        {"3 layers, 40 m, end-on 48", 40, 48, 60, endOn, false, {1000, 2800, 5500}, {250, 1100}, 1.0, 2.0, 3.0, 0.0, 0.0},
        {"2 layers, 3 m, split 64, 40% unpicked", 3, 64, 50, split, false, {400, 1800}, {16}, 0.5, 0.5, 2.0, 0.0, 0.40},
        {"2 layers, 25 m, split 180, gaps, zeros, statics", 25, 180, 30, split, false, {700, 2600}, {120}, 1.0, 2.0, 4.0, 0.05, 0.10},
        {"3 layers, 8 m, split 100, between, delays", 8, 100, 40, split, true, {500, 1500, 3000}, {30, 200}, 1.0, 1.0, 10.0, 0.0, 0.0},
        {"2 layers, 50 m, split 200", 50, 200, 20, split, false, {1000, 3500}, {230}, 1.0, 2.0, 3.0, 0.0, 0.0},
        {"3 layers, 15 m, end-on 36", 15, 36, 60, endOn, false, {600, 1600, 3200}, {70, 260}, 1.0, 1.0, 2.0, 0.0, 0.0},
        {"3 close layers, 20 m, split 160", 20, 160, 30, split, false, {1800, 2400, 3200}, {200, 1200}, 1.0, 1.5, 2.0, 0.0, 0.0},
        {"2 layers, 6 m, split 30", 6, 30, 80, split, false, {500, 2000}, {25}, 1.0, 1.0, 2.0, 0.0, 0.0},
        // Lengths as field files hold them (see lengthOptions()).
        {"built-in curve, 25 m, split 120, off line 5-50 m", 25, 120, 40, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0},
        {"2 layers, 10 m, split 96, off line 2-10 m", 10, 96, 50, split, false, {600, 2200}, {52}, 1.0, 1.0, 3.0, 0.0, 0.0},
        {"3 layers, 25 m, split 120, feet", 25, 120, 40, split, false, {600, 2000, 4200}, {140, 700}, 1.0, 1.0, 3.0, 0.0, 0.0},
        {"2 layers, 5 m, split 96, offsets in cm", 5, 96, 50, split, false, {450, 1800}, {30}, 1.0, 1.0, 2.0, 0.0, 0.0},
        {"3 layers, 20 m, end-on 60, feet, 1/10 ft", 20, 60, 50, endOn, false, {700, 2000, 4200}, {120, 600}, 1.0, 1.0, 3.0, 0.0, 0.0},
        // Real ground: hills the picks follow, slow ground along the line,
        // cycle skips along part of a spread.
        {"built-in curve, hills at 2,000 m/s, split 120", 25, 120, 60, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0, 2000.0},
        {"3 layers, 20 m, hills at 3,000 m/s, split 160", 20, 160, 40, split, false, {700, 2000, 4000}, {120, 900}, 1.0, 1.0, 2.0, 0.0, 0.0, 3000.0},
        {"2 layers, 25 m, hills at 2,500 m/s, end-on 96", 25, 96, 50, endOn, false, {800, 2600}, {150}, 1.0, 1.0, 2.0, 0.0, 0.0, 2500.0},
        {"built-in curve, 25 m, 25% slower past the middle", 25, 120, 60, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0, 0.0, 0.25},
        {"3 layers, 20 m, split 160, cycle skips", 20, 160, 40, split, false, {700, 2000, 4000}, {120, 900}, 1.0, 1.0, 2.0, 0.0, 0.0, 0.0, 0.0, true},
        // Ground that is not flat layers: a velocity gradient that curves the
        // direct arrival, dipping interfaces (a shot sees its refractor
        // faster up-dip than down-dip), a blind layer slower than the one
        // above it and a thin layer whose head wave never arrives first.
        {"2 layers, 5 m, split 96, gradient 20 m/s per m", 5, 96, 40, split, false, {500, 2500}, {60}, 0.5, 0.5, 2.0, 0.0, 0.0, 0.0, 0.0, false, 20.0},
        {"3 layers, 10 m, split 120, dip 2 degrees", 10, 120, 40, split, false, {600, 2000, 4000}, {120, 700}, 1.0, 1.0, 2.0, 0.0, 0.0, 0.0, 0.0, false, 0.0, 2.0},
        {"2 layers, 20 m, end-on 72, dip -1.5 degrees", 20, 72, 50, endOn, false, {700, 2600}, {160}, 1.0, 1.0, 2.0, 0.0, 0.0, 0.0, 0.0, false, 0.0, -1.5},
        {"2 layers, 10 m, split 96, blind layer 500 m/s", 10, 96, 40, split, false, {800, 2500}, {100}, 1.0, 1.0, 2.0, 0.0, 0.0, 0.0, 0.0, false, 0.0, 0.0, 500.0, 15.0},
        {"2 layers, 25 m, split 120, thin layer 1,500 m/s", 25, 120, 40, split, false, {700, 3000}, {150}, 1.0, 1.0, 2.0, 0.0, 0.0, 0.0, 0.0, false, 0.0, 0.0, 1500.0, 3.0},
        // A 3-D patch (see patchOptions()).
        {"built-in curve, 25 m, 3-D 8 lines of 60", 25, 480, 240, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0},
        {"3 layers, 25 m, 3-D 6 lines of 48, between lines", 25, 288, 165, split, false, {600, 2000, 4200}, {140, 700}, 1.0, 1.0, 2.0, 0.0, 0.0},
        // Buried sources on short stations over slow ground: their depths
        // part a pair's times by more than the tolerance. Last, so that the
        // lines above keep their seeds.
        {"built-in curve, 10 m, hills at 1,500 m/s, split 120", 10, 120, 60, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0, 1500.0},
        // A patch over hills: each receiver line meets the refractor at its
        // own offset.
        {"built-in curve, 25 m, 3-D 4 lines of 60, hills at 2,000 m/s", 25, 240, 60, split, false, {}, {}, 0.5, 0.0, 0.0, 0.0, 0.0, 2000.0},
    };
    // clang-format on
    return lines;
}

// The lines whose lengths are not plain metres on the line: sources off the
// line (as on a road beside the spread), coordinates in feet, and offsets
// and elevations in a finer unit than the coordinates.
struct LengthOptions
{
    const char *name;
    double crosslineMin; // m
    double crosslineMax;
    bool feet;
    int offsetFactor;
};

const LengthOptions *lengthOptions(const char *name)
{
    static const LengthOptions lines[] = {
        {"built-in curve, 25 m, split 120, off line 5-50 m", 5.0, 50.0, false, 1},
        {"2 layers, 10 m, split 96, off line 2-10 m", 2.0, 10.0, false, 1},
        {"3 layers, 25 m, split 120, feet", 0.0, 0.0, true, 1},
        {"2 layers, 5 m, split 96, offsets in cm", 0.0, 0.0, false, 100},
        {"3 layers, 20 m, end-on 60, feet, 1/10 ft", 0.0, 0.0, true, 10},
    };
    for (const LengthOptions &l : lines) {
        if (qstrcmp(l.name, name) == 0)
            return &l;
    }
    return nullptr;
}

// The 3-D patches: parallel receiver lines with source lines across them,
// a source on each receiver line or also halfway between them.
struct PatchOptions
{
    const char *name;
    int receiverLines;
    int lineSpacing;    // m
    int sourcesPerLine; // 0: one on each receiver line
    int shotInterval;   // stations between source lines
};

const PatchOptions *patchOptions(const char *name)
{
    static const PatchOptions patches[] = {
        {"built-in curve, 25 m, 3-D 8 lines of 60", 8, 200, 0, 8},
        {"3 layers, 25 m, 3-D 6 lines of 48, between lines", 6, 150, 11, 6},
        {"built-in curve, 25 m, 3-D 4 lines of 60, hills at 2,000 m/s", 4, 200, 0, 8},
    };
    for (const PatchOptions &p : patches) {
        if (qstrcmp(p.name, name) == 0)
            return &p;
    }
    return nullptr;
}

// The generator's own random numbers, so that the planted faults are the
// same on every machine.
using FbGenerator::Random;

FbGenerator::Options optionsOf(const Geometry &g, quint64 seed)
{
    FbGenerator::Options o;
    o.shots = g.shots;
    o.channels = g.channels;
    o.seed = seed;
    o.groupInterval = g.group;
    o.shotInterval = 2;
    o.spread = g.spread;
    o.sourceBetweenStations = g.between;
    o.velocities = g.velocities;
    o.crossovers = g.crossovers;
    o.noiseMs = g.noise;
    // The near surface under a station delays a source and a receiver on it
    // alike, with a little of each's own; every shot has the line's trigger
    // delay and an uphole time that varies a little from shot to shot.
    o.stationStaticMs = g.statics;
    o.sourceStaticMs = OwnStaticMs;
    o.receiverStaticMs = OwnStaticMs;
    o.triggerDelayMs = g.delay;
    o.sourceDelayMs = UpholeSpreadMs;
    o.missing = g.missing;
    o.unpicked = g.unpicked;
    if (const LengthOptions *l = lengthOptions(g.name)) {
        o.sourceCrosslineMin = l->crosslineMin;
        o.sourceCrosslineMax = l->crosslineMax;
        o.feet = l->feet;
        o.offsetFactor = l->offsetFactor;
    }
    if (const PatchOptions *p = patchOptions(g.name)) {
        o.receiverLines = p->receiverLines;
        o.lineSpacing = p->lineSpacing;
        o.sourcesPerLine = p->sourcesPerLine;
        o.shotInterval = p->shotInterval;
    }
    o.elevationVelocity = g.elevationVelocity;
    o.lateralChange = g.lateral;
    o.gradient = g.gradient;
    o.dipDegrees = g.dip;
    o.hiddenVelocity = g.hiddenVelocity;
    o.hiddenThickness = g.hiddenThickness;
    return o;
}

// About one spike a shot (at least 40 on a line), on picks that are in the
// file, picked and off the source; one shot in eight late.
void plant(const FbGenerator::Options &clean, FbGenerator::Options *planted, quint64 seed, bool skips)
{
    *planted = clean;
    Random random(seed * 0x2545F4914F6CDD1DULL + 11);
    const int perShot = std::max(1, (40 + clean.shots - 1) / clean.shots);
    for (int shot = 0; shot < clean.shots; ++shot) {
        const QVector<FbRecord> records = FbGenerator::shotRecords(clean, shot);
        // Picks on sides with enough picks to judge.
        int sides[2] = {0, 0};
        for (const FbRecord &r : records)
            sides[r.offset > 0 ? 1 : 0] += r.fb_time > 0.0f && r.offset != 0 ? 1 : 0;
        QVector<int> usable;
        for (int i = 0; i < records.size(); ++i) {
            const FbRecord &r = records[i];
            if (r.fb_time > 0.0f && r.offset != 0 && sides[r.offset > 0 ? 1 : 0] >= FbQc::MinPicksPerSide)
                usable.append(i);
        }
        QSet<int> taken;
        for (int k = 0; k < perShot && !usable.isEmpty(); ++k) {
            if (perShot == 1 && random.uniform() > 0.85)
                continue;
            const FbRecord &r = records[usable[int(random.next() % quint64(usable.size()))]];
            if (taken.contains(r.channel))
                continue;
            taken.insert(r.channel);
            double ms = 12.0 + 48.0 * random.uniform();
            if (random.next() % 2 && r.fb_time - ms >= 1.0)
                ms = -ms;
            planted->spikes.append({shot, r.channel, ms});
        }
        if (random.next() % 8 == 0)
            planted->shifts.append({shot, 9.0 + 6.0 * random.uniform()});
        // One shot in four skips a cycle, 10 to 20 ms, on 5 to 10 neighbouring
        // picks away from the spikes, from a random channel on.
        if (skips && random.next() % 4 == 0 && clean.channels >= 20) {
            const int count = 5 + int(random.next() % 6);
            const int first = 1 + int(random.next() % quint64(clean.channels - count));
            bool clear = true;
            for (int c = first; c < first + count; ++c)
                clear = clear && !taken.contains(c);
            if (clear)
                planted->skipRuns.append({shot, first, count, 10.0 + 10.0 * random.uniform()});
        }
    }
}

struct Judged
{
    qint64 picks = 0;
    int found = 0;
    int skipped = 0;      // picks of planted skip runs in use
    int skippedFound = 0; // of those, flagged
    int falseOutliers = 0;
    int lateNamed = 0;       // late shots with a timing error reported
    int lateWrong = 0;       // timing errors reported on shots on time
    int pairs = 0;           // flagged reciprocal pairs
    double delayError = 0.0; // largest |estimate - planted| of a named late shot, ms
    bool ok = false;
};

// Set by --list: every false outlier is printed.
bool listFalse = false;

Judged judge(const QString &fileName, const FbGenerator::Options &o, QString *error)
{
    const QVector<FbGenerator::PickSpike> &spikes = o.spikes;
    const QVector<FbGenerator::ShotShift> &shifts = o.shifts;
    Judged j;
    FbQc::Analyzer analyzer(fileName);
    FbQc::Report report;
    if (!analyzer.run(&report)) {
        *error = analyzer.errorString();
        return j;
    }
    QSet<qint64> planted;
    for (const FbGenerator::PickSpike &s : spikes)
        planted.insert(qint64(s.shot) << 32 | quint32(s.channel));
    // The picks of skip runs that are in use: picked, in the file, accepted.
    QSet<qint64> skipped;
    for (const FbGenerator::SkipRun &run : o.skipRuns) {
        const QVector<FbRecord> records = FbGenerator::shotRecords(o, run.shot);
        for (const FbRecord &r : records) {
            if (r.channel >= run.channel && r.channel < run.channel + run.count && r.fb_time > 0.0f &&
                (r.fb_status == 0 || r.fb_status == 1))
                skipped.insert(qint64(run.shot) << 32 | quint32(r.channel));
        }
    }
    j.skipped = skipped.size();
    // A pick of a skip run is found when flagged, or within a run the QC
    // names; a run named elsewhere counts its picks as false.
    QSet<qint64> inRuns, falseInRuns;
    FbQc::FindingList::Reader runs(report.findings(FbQc::Kind::StepRun));
    while (const FbQc::Finding *f = runs.next()) {
        const int low = std::min(f->channel, int(f->a)), high = std::max(f->channel, int(f->a));
        for (int c = low; c <= high; ++c) {
            const qint64 key = qint64(f->shot) << 32 | quint32(c);
            inRuns.insert(key);
            if (!skipped.contains(key) && !planted.contains(key))
                falseInRuns.insert(key);
        }
    }
    QSet<qint64> flagged;
    FbQc::FindingList::Reader outliers(report.findings(FbQc::Kind::Outlier));
    while (const FbQc::Finding *o = outliers.next()) {
        const qint64 key = qint64(o->shot) << 32 | quint32(o->channel);
        flagged.insert(key);
        if (planted.contains(key))
            ++j.found;
        else if (skipped.contains(key))
            inRuns.insert(key);
        else
            ++j.falseOutliers;
        if (listFalse && !planted.contains(key))
            out() << "    false: shot " << o->shot + 1 << " channel " << o->channel << " offset " << o->offset
                  << " time " << o->a << " model " << o->b << Qt::endl;
    }
    for (qint64 key : qAsConst(skipped)) {
        j.skippedFound += inRuns.contains(key) ? 1 : 0;
        if (listFalse && !inRuns.contains(key))
            out() << "    missed: shot " << (key >> 32) + 1 << " channel " << quint32(key) << " of a skip run"
                  << Qt::endl;
    }
    for (qint64 key : qAsConst(falseInRuns))
        j.falseOutliers += flagged.contains(key) ? 0 : 1;
    if (listFalse) {
        for (const FbGenerator::PickSpike &s : spikes) {
            if (!flagged.contains(qint64(s.shot) << 32 | quint32(s.channel)))
                out() << "    missed: shot " << s.shot + 1 << " channel " << s.channel << " spike " << s.ms << Qt::endl;
        }
    }
    // Late shots: each named with its delay; no shot on time named.
    QHash<qint32, double> late;
    for (const FbGenerator::ShotShift &s : shifts)
        late.insert(s.shot, s.ms);
    FbQc::FindingList::Reader timing(report.findings(FbQc::Kind::TimingError));
    while (const FbQc::Finding *t = timing.next()) {
        if (!late.contains(t->shot)) {
            ++j.lateWrong;
            if (listFalse)
                out() << "    wrongly late: shot " << t->shot + 1 << " by " << t->value << " ms" << Qt::endl;
            continue;
        }
        ++j.lateNamed;
        if (listFalse)
            out() << "    late: shot " << t->shot + 1 << " by " << late.value(t->shot) << " ms, estimated " << t->value
                  << Qt::endl;
        j.delayError = std::max(j.delayError, std::abs(double(t->value) - late.value(t->shot)));
        late.remove(t->shot);
    }
    if (listFalse) {
        for (auto it = late.cbegin(); it != late.cend(); ++it)
            out() << "    late shot not named: shot " << it.key() + 1 << " by " << it.value() << " ms" << Qt::endl;
    }
    FbQc::FindingList::Reader pairs(report.findings(FbQc::Kind::Reciprocity));
    while (const FbQc::Finding *p = pairs.next()) {
        ++j.pairs;
        if (listFalse)
            out() << "    flagged pair: shots " << p->shot + 1 << " and " << p->otherShot + 1 << ": " << p->a
                  << " against " << p->b << " ms" << Qt::endl;
    }
    j.picks = report.recordCount;
    j.ok = true;
    return j;
}

bool write(const FbGenerator::Options &o, const QString &fileName, QString *error)
{
    FbGenerator::FileWriter writer(o);
    if (writer.write(fileName))
        return true;
    *error = writer.errorString();
    return false;
}

QString pad(const QString &text, int width)
{
    return text.leftJustified(width, QLatin1Char(' '), true);
}

QString rpad(const QString &text, int width)
{
    return text.rightJustified(width, QLatin1Char(' '));
}

bool accuracy(const QString &dir, const QString &only)
{
    out() << "Accuracy: spikes found / planted, picks of skip runs found / planted, false outliers on the planted\n"
             "line and on its clean twin, flagged pairs on the clean twin, late shots named / planted (and shots on\n"
             "time named late), the largest error of a named delay\n";
    out() << pad("line", 48) << rpad("picks", 9) << rpad("spikes", 12) << rpad("skips", 10) << rpad("false", 8)
          << rpad("clean", 8) << rpad("pairs", 7) << rpad("late", 8) << rpad("delay", 8) << "  goal\n";
    qint64 picks = 0, falseTotal = 0, cleanTotal = 0;
    int found = 0, planted = 0, met = 0, lines = 0, lateTotal = 0, lateNamed = 0, lateWrong = 0;
    int skippedTotal = 0, skippedFound = 0, pairsTotal = 0;
    double worstDelay = 0.0;
    quint64 seed = 1;
    for (const Geometry &g : family()) {
        ++seed;
        if (!only.isEmpty() && !QString::fromUtf8(g.name).contains(only))
            continue;
        const FbGenerator::Options clean = optionsOf(g, seed);
        FbGenerator::Options faulty;
        plant(clean, &faulty, seed, g.skips);
        const QString cleanName = dir + QStringLiteral("/clean.fb"), faultyName = dir + QStringLiteral("/planted.fb");
        QString error;
        if (!write(clean, cleanName, &error) || !write(faulty, faultyName, &error)) {
            out() << "cannot generate " << g.name << ": " << error << Qt::endl;
            return false;
        }
        const Judged a = judge(faultyName, faulty, &error);
        const Judged b = judge(cleanName, clean, &error);
        if (!a.ok || !b.ok) {
            out() << "cannot judge " << g.name << ": " << error << Qt::endl;
            return false;
        }
        const int spikes = faulty.spikes.size();
        const int lateShots = faulty.shifts.size();
        // Clean twins without an outlier or a flagged pair, at most 0.1% of
        // the planted line's picks flagged falsely, 95% of the spikes and 90%
        // of the picks of skip runs found, every late shot named within 1.5 ms.
        const bool goal = b.falseOutliers == 0 && b.pairs == 0 && a.falseOutliers <= 0.001 * a.picks &&
                          a.found >= 0.95 * spikes && a.skippedFound >= 0.9 * a.skipped && a.lateNamed == lateShots &&
                          a.lateWrong + b.lateWrong == 0 && a.delayError <= 1.5;
        const QString lateText =
            QStringLiteral("%1/%2").arg(a.lateNamed).arg(lateShots) +
            (a.lateWrong + b.lateWrong > 0 ? QStringLiteral("+%1").arg(a.lateWrong + b.lateWrong) : QString());
        out() << pad(QString::fromUtf8(g.name), 48) << rpad(QString::number(a.picks), 9)
              << rpad(QStringLiteral("%1/%2").arg(a.found).arg(spikes), 12)
              << rpad(a.skipped > 0 ? QStringLiteral("%1/%2").arg(a.skippedFound).arg(a.skipped) : QStringLiteral("-"),
                      10)
              << rpad(QString::number(a.falseOutliers), 8) << rpad(QString::number(b.falseOutliers), 8)
              << rpad(QString::number(b.pairs), 7) << rpad(lateText, 8)
              << rpad(lateShots > 0 ? QString::number(a.delayError, 'f', 2) : QStringLiteral("-"), 8)
              << (goal ? "  met" : "  MISSED") << Qt::endl;
        skippedTotal += a.skipped;
        skippedFound += a.skippedFound;
        pairsTotal += b.pairs;
        lateTotal += lateShots;
        lateNamed += a.lateNamed;
        lateWrong += a.lateWrong + b.lateWrong;
        worstDelay = std::max(worstDelay, a.delayError);
        picks += a.picks + b.picks;
        falseTotal += a.falseOutliers;
        cleanTotal += b.falseOutliers;
        found += a.found;
        planted += spikes;
        met += goal ? 1 : 0;
        ++lines;
    }
    out() << "total: spikes found " << found << "/" << planted << ", picks of skip runs found " << skippedFound << "/"
          << skippedTotal << ", false outliers " << falseTotal << " on planted lines and " << cleanTotal
          << " on clean twins ("
          << QString::number(100.0 * (falseTotal + cleanTotal) / std::max<qint64>(1, picks), 'f', 3)
          << "% of all picks), flagged pairs on clean twins " << pairsTotal << "; late shots named " << lateNamed << "/"
          << lateTotal << ", shots on time named late " << lateWrong << ", largest delay error "
          << QString::number(worstDelay, 'f', 2) << " ms; goal met on " << met << " of " << lines << " lines\n"
          << Qt::endl;
    return true;
}

double threadCpu()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// The fit's CPU time per pick on every shot of a generated file, against
// copying and sorting the same picks.
bool speed(const QString &dir, int shots)
{
    constexpr int channels = 240;
    FbGenerator::Options o;
    o.shots = shots;
    o.channels = channels;
    const QString fileName = dir + QStringLiteral("/speed.fb");
    QString error;
    if (!write(o, fileName, &error)) {
        out() << "cannot generate: " << error << Qt::endl;
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(FbLayout::HeaderSize)) {
        out() << "cannot read " << fileName << Qt::endl;
        return false;
    }
    FbQc::ShotFitter fitter;
    FbQc::ShotFit fit;
    const FbQc::Settings settings;
    std::vector<FbRecord> records(channels);
    std::vector<std::pair<float, float>> sorted(channels);
    QByteArray bytes(FbLayout::RecordSize * channels, Qt::Uninitialized);
    double fitSeconds = 0.0, sortSeconds = 0.0;
    qint64 picks = 0, outliers = 0;
    for (int shot = 0; shot < shots; ++shot) {
        if (file.read(bytes.data(), bytes.size()) != bytes.size()) {
            out() << "short read in " << fileName << Qt::endl;
            return false;
        }
        FbLayout::decodeRecords(bytes.constData(), channels, records.data());
        double t0 = threadCpu();
        fitter.fit(records.data(), channels, settings, &fit);
        double t1 = threadCpu();
        for (int i = 0; i < channels; ++i)
            sorted[i] = {float(std::abs(records[i].offset)), records[i].fb_time};
        std::sort(sorted.begin(), sorted.end());
        double t2 = threadCpu();
        fitSeconds += t1 - t0;
        sortSeconds += t2 - t1;
        picks += channels;
        outliers += fit.outliers() + (sorted.front().second < 0.0f ? 1 : 0);
    }
    file.close();
    QFile::remove(fileName);
    const double fitNs = fitSeconds * 1e9 / picks, sortNs = sortSeconds * 1e9 / picks;
    out() << "Speed on " << shots << " shots x " << channels << " picks (thread CPU time per pick):\n"
          << "  fit (ShotFitter::fit)           " << QString::number(fitNs, 'f', 1) << " ns\n"
          << "  baseline: copy and sort picks   " << QString::number(sortNs, 'f', 1) << " ns\n"
          << "  ratio fit / baseline            " << QString::number(fitNs / sortNs, 'f', 2) << "\n"
          << "  outliers found on the clean file: " << outliers << Qt::endl;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Accuracy of the pick QC fit on a family of survey lines, and "
                                                    "its CPU time per pick."));
    parser.addHelpOption();
    const QCommandLineOption quick(QStringLiteral("quick"), QStringLiteral("Time the fit on 2,000 shots, not 53,000."));
    const QCommandLineOption dirOption(QStringLiteral("dir"), QStringLiteral("Folder for the generated files."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption only(QStringLiteral("only"), QStringLiteral("Only the lines whose name holds TEXT."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption noSpeed(QStringLiteral("no-speed"), QStringLiteral("Skip the timing."));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print every false outlier, missed spike and late shot."));
    const QCommandLineOption keep(QStringLiteral("keep"),
                                  QStringLiteral("Keep the last line's planted.fb and clean.fb, to plot them."));
    parser.addOptions({quick, dirOption, only, noSpeed, list, keep});
    parser.process(app);
    listFalse = parser.isSet(list);

    QTemporaryDir temporary(parser.isSet(dirOption) ? parser.value(dirOption) + QStringLiteral("/qcaccuracy-XXXXXX")
                                                    : QString());
    if (!temporary.isValid()) {
        out() << "cannot make a temporary folder" << Qt::endl;
        return 1;
    }
    if (!accuracy(temporary.path(), parser.value(only)))
        return 1;
    if (parser.isSet(keep)) {
        temporary.setAutoRemove(false);
        out() << "kept in " << temporary.path() << Qt::endl;
    }
    if (!parser.isSet(noSpeed) && !speed(temporary.path(), parser.isSet(quick) ? 2000 : 53000))
        return 1;
    return 0;
}
