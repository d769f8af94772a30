#include <fbqc/checks/checks.h>

#include <fbqc/offsettally.h>
#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>

#include <QCoreApplication>

#include <cmath>
#include <limits>

using namespace FbFile;

// What a shot's fitted curves say beyond single picks: runs of picks that a
// cycle skip moved together, velocities that no ground has, and a time at
// the source before the shot.
namespace FbQc {

namespace {

// Near-surface and refractor velocities of real ground, m/s: slower is air
// or a curve bent by wrong picks, faster is offsets in another unit.
constexpr double MinVelocity = Units::PlausibleMinMetresPerSecond;
constexpr double MaxVelocity = Units::PlausibleMaxMetresPerSecond;

// A shot is fired before its picks can start: a fitted time at the source
// earlier than this, in ms, is a curve bent by wrong picks or heights, not
// a source delay.
constexpr double EarliestDelayMs = -3.0;

// The units a shot's fitted velocities are read in: the declared ones, with
// the offsets' factor the shot's own records show where none is declared
// (the file's factor is known only after every shot), so whole centimetres
// beside metres read at their real speed and offsets that agree with no
// factor still stand out.
Units shotUnits(const ShotData &shot, const Settings &settings)
{
    Units u = settings.units;
    if (u.offsetFactor <= 0) {
        OffsetTally t;
        for (int i = 0; i < shot.n; ++i)
            t.add(shot.records[i]);
        u.offsetFactor = t.found() ? t.factor() : 1;
    }
    return u;
}

QString sideName(int side)
{
    return side == Negative ? QCoreApplication::translate("FbQc::Kind", "negative side")
                            : QCoreApplication::translate("FbQc::Kind", "positive side");
}

} // namespace

void checkStepRuns(const ShotData &shot, const Settings &, Findings *out)
{
    if (!shot.fit)
        return;
    const QVector<PickVerdict> &picks = shot.fit->picks;
    bool any = false;
    for (int i = 0; i < shot.n && !any; ++i)
        any = picks.at(i).run != 0;
    if (!any)
        return;
    // Each run once, from its pick nearest the source to its farthest.
    for (int side = Negative; side <= Positive; ++side) {
        for (int run = 1; run <= std::numeric_limits<qint8>::max(); ++run) {
            int nearest = -1, farthest = -1, count = 0;
            double sum = 0.0;
            for (int i = 0; i < shot.n; ++i) {
                const PickVerdict &v = picks.at(i);
                if (v.run != run || v.side != side)
                    continue;
                const qint64 h = std::abs(qint64(shot.records[i].offset));
                if (nearest < 0 || h < std::abs(qint64(shot.records[nearest].offset)))
                    nearest = i;
                if (farthest < 0 || h > std::abs(qint64(shot.records[farthest].offset)))
                    farthest = i;
                ++count;
                sum += v.residual;
            }
            if (count == 0)
                break;
            Finding f = pickFinding(Kind::StepRun, shot, nearest);
            f.side = qint8(side);
            f.value = float(sum / count);
            f.a = float(shot.records[farthest].channel);
            f.b = float(shot.records[farthest].offset);
            f.count = count;
            out->push_back(f);
        }
    }
}

QString describeStepRun(const Finding &f, const Report &report)
{
    const QString text =
        f.value > 0
            ? QCoreApplication::translate("FbQc::Kind", "%1: %2 picks from channel %3 (offset %4) to channel %5 "
                                                        "(offset %6) late by %7 ms as a run: a cycle skip?")
            : QCoreApplication::translate("FbQc::Kind", "%1: %2 picks from channel %3 (offset %4) to channel %5 "
                                                        "(offset %6) early by %7 ms as a run: a cycle skip?");
    return text.arg(shotName(report, f.shot))
        .arg(f.count)
        .arg(f.channel)
        .arg(f.offset)
        .arg(qint64(f.a))
        .arg(qint64(f.b))
        .arg(QcCsv::decimal(std::abs(f.value), 1));
}

double weightStepRun(const Finding &f)
{
    return std::abs(double(f.value)) * double(f.count);
}

void checkVelocities(const ShotData &shot, const Settings &settings, Findings *out)
{
    if (!shot.fit)
        return;
    const Units units = shotUnits(shot, settings);
    for (int side = Negative; side <= Positive; ++side) {
        const SideModel &m = shot.fit->sides[side];
        if (!m.judged)
            continue;
        // The segment furthest outside, by ratio, says it for the side.
        double worst = NaN, by = 1.0;
        int segment = -1;
        for (int k = 0; k < m.segments; ++k) {
            const double v = units.metresPerSecond(m.segmentVelocity(k));
            const double ratio = v < MinVelocity ? MinVelocity / v : v > MaxVelocity ? v / MaxVelocity : 1.0;
            if (std::isfinite(v) && ratio > by) {
                worst = v;
                by = ratio;
                segment = k;
            }
        }
        if (segment < 0)
            continue;
        Finding f;
        f.kind = Kind::Velocity;
        f.shot = shot.shot;
        f.record = shot.firstRecord;
        f.side = qint8(side);
        f.value = float(worst);
        f.a = float(segment + 1);
        f.count = 1;
        out->push_back(f);
    }
}

QString describeVelocity(const Finding &f, const Report &report)
{
    return QCoreApplication::translate("FbQc::Kind",
                                       "%1, %2: segment %3 at %4 m/s, outside %5 to %6 m/s: offsets in another "
                                       "unit, or picks that no curve of refractors follows")
        .arg(shotName(report, f.shot), sideName(f.side))
        .arg(qint64(f.a))
        .arg(QcCsv::decimal(f.value, 0))
        .arg(MinVelocity)
        .arg(MaxVelocity);
}

double weightVelocity(const Finding &f)
{
    const double v = std::abs(double(f.value));
    return v < MinVelocity ? MinVelocity / std::max(v, 1e-9) : v / MaxVelocity;
}

void checkSourceDelay(const ShotData &shot, const Settings &, Findings *out)
{
    if (!shot.fit || !(shot.fit->sourceDelay < EarliestDelayMs))
        return;
    Finding f;
    f.kind = Kind::SourceDelay;
    f.shot = shot.shot;
    f.record = shot.firstRecord;
    f.value = float(shot.fit->sourceDelay);
    f.count = 1;
    out->push_back(f);
}

QString describeSourceDelay(const Finding &f, const Report &report)
{
    return QCoreApplication::translate(
               "FbQc::Kind",
               "%1: its curves meet offset 0 at %2 ms, before the shot: picks early as a whole, wrong picks "
               "near the source, or heights the picks do not follow")
        .arg(shotName(report, f.shot), QcCsv::decimal(f.value, 1));
}

double weightSourceDelay(const Finding &f)
{
    return -double(f.value);
}

} // namespace FbQc
