// Pick QC: the per-shot first-break fit with its outliers and sides.

#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include "fbtestfile.h"
#include <fbqc/checks/checks.h>
#include <fbqc/firstbreakfit.h>
#include <fbqc/pickqc.h>
#include "surveyline.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace FbFile;

using namespace FbQc;
using namespace SurveyLine;

namespace {

// The order in which a shot's records reach the fitter.
enum class PickOrder { FileOrder, Reversed, Shuffled };

// A split spread of 2 x `each` channels over a slow top (600 m/s) on 2,400 m/s,
// its crossover past directPicks channels on each side, every pick late by
// the source delay, with +-0.5 ms of noise; the channel at the source only
// when atSource.
QVector<FbRecord> slowTopShot(int directPicks, double delay, bool atSource, double spacing = 25.0, int each = 40)
{
    constexpr double v1 = 0.6, v2 = 2.4; // m/ms
    const double crossover = (directPicks + 0.5) * spacing;
    const double intercept = crossover * (1.0 / v1 - 1.0 / v2);
    QVector<FbRecord> records;
    for (int c = -each; c <= each; ++c) {
        if (c == 0 && !atSource)
            continue;
        FbRecord r;
        r.ffid = 7;
        r.channel = records.size() + 1;
        r.offset = qRound(c * spacing);
        r.group_x = float(1000.0 + c * spacing);
        r.source_x = 1000.0f;
        const double h = std::abs(c * spacing);
        r.fb_time = float(delay + std::min(h / v1, intercept + h / v2) + 0.5 * noise(c + 40, directPicks));
        records.append(r);
    }
    return records;
}

// A layered ground's velocities (m/s) and crossovers (m); none: the
// generator's built-in curve.
struct Layers
{
    QVector<double> velocities;
    QVector<double> crossovers;
};

} // namespace

Q_DECLARE_METATYPE(Curve)
Q_DECLARE_METATYPE(Layers)
Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(PickOrder)
Q_DECLARE_METATYPE(FbGenerator::Spread)
Q_DECLARE_METATYPE(FbQc::Units)

class TestPickQc : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Planted wrong picks are flagged, each one, and almost nothing else;
    // sides come from the offset sign, or from the position along the
    // spread when offsets are stored >= 0; a side with fewer than five
    // picks and non-finite times are not judged.
    void judgesPicks_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("sourceChannel");
        QTest::addColumn<bool>("absoluteOffsets");
        QTest::addColumn<QVector<int>>("spikes");    // channels off by 10 + 9 * k ms, alternating sign
        QTest::addColumn<QVector<int>>("nonFinite"); // channels whose time is NaN or infinite
        QTest::addColumn<bool>("negativeJudged");
        QTest::addColumn<bool>("positiveJudged");
        QTest::addColumn<int>("falsePerMille"); // false flags allowed per 1,000 good picks
        // Early spikes stay above 0 ms, which would mean unpicked.
        const QVector<int> spikes{3, 17, 40, 66, 90, 109, 131, 150, 177, 201, 222, 239};
        QTest::newRow("split spread, two layers")
            << Curve::TwoLayers << 240 << 120 << false << spikes << QVector<int>() << true << true << 5;
        QTest::newRow("split spread, three layers")
            << Curve::ThreeLayers << 240 << 120 << false << spikes << QVector<int>() << true << true << 5;
        QTest::newRow("offsets >= 0: sides by position")
            << Curve::ThreeLayers << 240 << 100 << true << spikes << QVector<int>() << true << true << 5;
        QTest::newRow("end-on spread: one side")
            << Curve::TwoLayers << 120 << -1 << true << QVector<int>{5, 60} << QVector<int>() << false << true << 5;
        QTest::newRow("four picks behind the source: judged by the other side")
            << Curve::TwoLayers << 100 << 4 << false << QVector<int>{50} << QVector<int>() << false << true << 5;
        QTest::newRow("five picks behind the source: judged")
            << Curve::TwoLayers << 100 << 5 << false << QVector<int>{50} << QVector<int>() << true << true << 5;
        QTest::newRow("non-finite times leave four: judged by the other side")
            << Curve::TwoLayers << 100 << 6 << false << QVector<int>{70} << QVector<int>{1, 4} << false << true << 5;
        // A spread of 2,000 km: the direct arrival and first refractor
        // near the source are a few dozen of 40,000 picks a side.
        QTest::newRow("80,000 channels, clean")
            << Curve::ThreeLayers << 80000 << 40000 << false << QVector<int>() << QVector<int>() << true << true << 0;
    }
    void judgesPicks()
    {
        QFETCH(Curve, curve);
        QFETCH(int, channels);
        QFETCH(int, sourceChannel);
        QFETCH(bool, absoluteOffsets);
        QFETCH(QVector<int>, spikes);
        QFETCH(QVector<int>, nonFinite);
        QFETCH(bool, negativeJudged);
        QFETCH(bool, positiveJudged);
        QFETCH(int, falsePerMille);

        QVector<FbRecord> records = shotOnLine(0, sourceChannel + 0.0, 0, channels, curve, absoluteOffsets);
        for (int k = 0; k < spikes.size(); ++k)
            records[spikes[k]].fb_time += float((k % 2 ? -1 : 1) * (10 + 9 * k));
        for (int k = 0; k < nonFinite.size(); ++k)
            records[nonFinite[k]].fb_time = k % 2 ? qInf() : qQNaN();

        const ShotFit fit = fitShot(records);
        QCOMPARE(fit.picks.size(), channels);
        QCOMPARE(fit.sides[Negative].judged, negativeJudged);
        QCOMPARE(fit.sides[Positive].judged, positiveJudged);
        int falseFlags = 0;
        int judgedGood = 0;
        for (int c = 0; c < channels; ++c) {
            const PickVerdict &v = fit.picks[c];
            const Side side = c < sourceChannel ? Negative : Positive;
            QVERIFY2(v.side == side, qPrintable(QString("channel %1 on the wrong side").arg(c)));
            // A short side's picks are judged by the other side as far out as
            // its nearest few picks.
            const bool lent = fit.sides[1 - side].judged && std::abs(c - sourceChannel) <= MinPicksPerSide;
            const bool judged = (fit.sides[side].judged || lent) && !nonFinite.contains(c);
            QVERIFY2(v.judged == judged, qPrintable(QString("channel %1: judged %2").arg(c).arg(v.judged)));
            if (!judged) {
                QVERIFY2(std::isnan(v.residual), qPrintable(QString("channel %1 has a residual").arg(c)));
                continue;
            }
            if (spikes.contains(c)) {
                const QString missed = QString("spike at channel %1 missed, residual %2").arg(c).arg(v.residual);
                QVERIFY2(v.outlier, qPrintable(missed));
            } else {
                ++judgedGood;
                falseFlags += v.outlier ? 1 : 0;
            }
        }
        QVERIFY2(falseFlags <= judgedGood * falsePerMille / 1000,
                 qPrintable(QString("%1 false flags among %2 good picks").arg(falseFlags).arg(judgedGood)));
        const int nonFiniteBehind =
            int(std::count_if(nonFinite.begin(), nonFinite.end(), [=](int c) { return c < sourceChannel; }));
        QCOMPARE(fit.sides[Negative].picks, qMax(0, sourceChannel) - nonFiniteBehind);
        QCOMPARE(fit.outliers(), int(spikes.size()) + falseFlags);
        // The deepest refractor of a long side: offset units per second,
        // and its line extended to offset 0.
        const double velocity = curve == Curve::TwoLayers ? 3400.0 : 6000.0;
        const double intercept = curve == Curve::TwoLayers ? 61.0 : 180.0;
        for (const SideModel &model : fit.sides) {
            if (!model.judged || model.knotOffset[model.segments] < 2000.0)
                continue;
            QVERIFY2(std::abs(model.velocity / velocity - 1.0) < 0.03, qPrintable(QString::number(model.velocity)));
            QVERIFY2(std::abs(model.intercept - intercept) < 3.0, qPrintable(QString::number(model.intercept)));
        }
    }

    // The direct arrival is a segment through the shot's source delay on
    // both sides, seen on 1, 2, 3 or 7 channels, also where a missing
    // receiver leaves one direct pick before the refractor's; seen before
    // the nearest receivers only, the sides' first segments are refractors.
    // A pick at the source is the source's time, judged against that delay.
    // A wrong pick is flagged, alone, and its side is still fitted. On the
    // trace nearest the source the direct arrival is not bent to it, nor its
    // line taken to a source delay well before 0 ms; a whole shot early keeps
    // its early delay, which the timing errors then tell. On a short side a
    // wrong pick weighs much: at the farthest pick it pulls its segment's line
    // to itself, the more so where rejected picks leave the segment few.
    void directArrivalAndWrongPick_data()
    {
        QTest::addColumn<int>("directPicks"); // channels each side before the crossover
        QTest::addColumn<double>("delay");    // ms at offset 0, the whole shot
        QTest::addColumn<bool>("atSource");
        QTest::addColumn<int>("each");               // channels on each side of the source
        QTest::addColumn<int>("behind");             // channels kept behind the source
        QTest::addColumn<int>("channel");            // the wrong pick's, counted from the source on the positive side
        QTest::addColumn<double>("by");              // ms added to it
        QTest::addColumn<QVector<int>>("rejected");  // channels, counted the same way, with status 2
        QTest::addColumn<double>("within");          // ms every other accepted pick's residual stays within
        QTest::addColumn<QVector<int>>("missing");   // channels counted the same way, negative behind the source
        QTest::addColumn<QVector<int>>("oneDirect"); // sides (0 negative, 1 positive) left one direct pick
        const QVector<int> none;
        QTest::newRow("nearest 50 ms late, direct on 2")
            << 2 << 4.0 << false << 40 << 40 << 1 << 50.0 << none << 1.0 << none << none;
        QTest::newRow("nearest 50 ms late, direct on 3, at the source")
            << 3 << 4.0 << true << 40 << 40 << 1 << 50.0 << none << 1.0 << none << none;
        QTest::newRow("nearest 19.5 ms early, direct on 2")
            << 2 << 4.0 << false << 40 << 40 << 1 << -19.5 << none << 1.0 << none << none;
        QTest::newRow("nearest 19.5 ms early, direct on 3")
            << 3 << 4.0 << false << 40 << 40 << 1 << -19.5 << none << 1.0 << none << none;
        QTest::newRow("nearest 19.5 ms early, direct on 2, at the source")
            << 2 << 4.0 << true << 40 << 40 << 1 << -19.5 << none << 1.0 << none << none;
        QTest::newRow("nearest 19.5 ms early, direct on 2, end-on, at the source")
            << 2 << 4.0 << true << 40 << 0 << 1 << -19.5 << none << 1.0 << none << none;
        QTest::newRow("nearest 10 ms early, direct on 3, end-on, at the source")
            << 3 << 4.0 << true << 40 << 0 << 1 << -10.0 << none << 1.0 << none << none;
        QTest::newRow("shot 9 ms early, at the source")
            << 3 << -9.0 << true << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("shot 9 ms early, direct on 7")
            << 7 << -9.0 << false << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("shot 9 ms early, end-on, at the source")
            << 3 << -9.0 << true << 40 << 0 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("short side, farthest late by 12 ms")
            << 4 << 2.0 << false << 12 << 12 << 12 << 12.0 << none << 1.0 << none << none;
        QTest::newRow("short side, farthest late by 20 ms, rejected picks before it")
            << 4 << 2.0 << false << 12 << 12 << 12 << 20.0 << QVector<int>{6, 9, 11} << 1.0 << none << none;
        QTest::newRow("short side, farthest early by 35 ms, every other refractor pick rejected")
            << 4 << 2.0 << false << 12 << 12 << 12 << -35.0 << QVector<int>{5, 7, 9, 11} << 1.0 << none << none;
        QTest::newRow("short side, late by 25 ms inside the refractor")
            << 3 << 2.0 << false << 11 << 11 << 7 << 25.0 << none << 1.0 << none << none;
        // A side cut short, whose last one or two picks already see the
        // refractor that the long side shows, takes that refractor for them
        // rather than ringing them: too few for a segment of their own.
        QTest::newRow("short side, one pick beyond the crossover")
            << 4 << 5.0 << false << 40 << 5 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("short side, two picks beyond the crossover")
            << 4 << 5.0 << false << 40 << 6 << 1 << 0.0 << none << 8.0 << none << none;
        // A side of too few picks for a curve of its own is judged against
        // the other side's direct arrival: the same ground under the source.
        QTest::newRow("short side of 4 behind the source, its nearest 12 ms early")
            << 4 << 2.0 << false << 40 << 4 << -1 << -12.0 << none << 1.0 << none << none;
        QTest::newRow("short side of 2 behind the source, its farthest 10 ms late")
            << 4 << 2.0 << true << 40 << 2 << -2 << 10.0 << none << 1.0 << none << none;
        QTest::newRow("direct on 2 channels")
            << 2 << 4.0 << false << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("direct on 3 channels")
            << 3 << 4.0 << false << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("direct on 7 channels")
            << 7 << 4.0 << false << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("pick at the source near 0 ms")
            << 3 << 0.2 << true << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("pick at the source at 15 ms")
            << 2 << 15.0 << true << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("direct arrival at the source only")
            << 0 << 2.0 << true << 40 << 40 << 1 << 0.0 << none << 1.0 << none << none;
        QTest::newRow("one pick each side of it, late shot")
            << 1 << 12.0 << true << 40 << 40 << 1 << 0.0 << none << 1.0 << none << QVector<int>{0, 1};
        QTest::newRow("direct on 2, one missing behind, one before, at the source")
            << 2 << 1.25 << true << 40 << 40 << 3 << 0.0 << none << 1.0 << QVector<int>{-2, 1} << QVector<int>{0, 1};
        QTest::newRow("direct on 2, one missing behind, the other side's delay")
            << 2 << 4.0 << false << 40 << 40 << 1 << 0.0 << none << 1.0 << QVector<int>{-2} << QVector<int>{0};
    }
    void directArrivalAndWrongPick()
    {
        QFETCH(int, directPicks);
        QFETCH(double, delay);
        QFETCH(bool, atSource);
        QFETCH(int, each);
        QFETCH(int, behind);
        QFETCH(int, channel);
        QFETCH(double, by);
        QFETCH(QVector<int>, rejected);
        QFETCH(double, within);
        QFETCH(QVector<int>, missing);
        QFETCH(QVector<int>, oneDirect);
        QVector<FbRecord> records = slowTopShot(directPicks, delay, atSource, 25.0, each);
        records.remove(0, each - behind);
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [&](const FbRecord &r) { return missing.contains(r.offset / 25); }),
                      records.end());
        const auto indexOf = [&](int k) {
            const auto at = [k](const FbRecord &r) { return r.offset == 25 * k; };
            return int(std::find_if(records.begin(), records.end(), at) - records.begin());
        };
        const int wrong = indexOf(channel);
        records[wrong].fb_time += float(by);
        for (int c : rejected)
            records[indexOf(c)].fb_status = 2;
        const ShotFit fit = fitShot(records);
        QVERIFY2(std::abs(fit.sourceDelay - delay) < 1.0, qPrintable(QString("delay %1").arg(fit.sourceDelay)));
        QVERIFY(fit.sides[Positive].judged && fit.sides[Negative].judged == (behind >= MinPicksPerSide));
        for (int side = Negative; side <= Positive; ++side) {
            const SideModel &m = fit.sides[side];
            QVERIFY(m.judged || side == Negative);
            QCOMPARE(m.direct, m.judged && directPicks >= (oneDirect.contains(side) ? 1 : 2));
            // A side cut short before three refracted picks borrows its refractor.
            if (m.picks < directPicks + 3)
                continue;
            QVERIFY2(std::abs(m.velocity / 2400.0 - 1.0) < 0.03, qPrintable(QString::number(m.velocity)));
            if (!m.direct)
                continue;
            QCOMPARE(m.segments, 2);
            QCOMPARE(m.knotOffset[0], 0.0);
            QVERIFY2(std::abs(m.segmentVelocity(0) / 600.0 - 1.0) < 0.1,
                     qPrintable(QString::number(m.segmentVelocity(0))));
            QVERIFY2(std::abs(m.segmentIntercept(0) - fit.sourceDelay) < 1e-6,
                     qPrintable(QString::number(m.segmentIntercept(0))));
        }
        for (int i = 0; i < records.size(); ++i) {
            const QString at = QString("offset %1: residual %2 ms").arg(records[i].offset).arg(fit.picks[i].residual);
            QVERIFY2(fit.picks[i].outlier == (by != 0.0 && i == wrong), qPrintable(at));
            QVERIFY2(i == wrong || records[i].fb_status == 2 || std::abs(fit.picks[i].residual) < within,
                     qPrintable(at));
            QVERIFY2(fit.picks[i].judged || records[i].fb_status == 2, qPrintable(at + ", not judged"));
            // A pick at the source is the shot's delay, not a refractor's.
            if (records[i].offset == 0) {
                QCOMPARE(fit.picks[i].model, float(fit.sourceDelay));
                QVERIFY2(std::abs(fit.picks[i].residual) < 1.0, qPrintable(at));
            }
        }
    }

    // Traces stored as 0 ms are unpicked: never fitted, judged or outliers,
    // however many a side holds, and the side's curve is that of its picks.
    // A negative time at the source is a trigger time, judged like any pick
    // there. A side whose times do not rise with offset has no plausible
    // curve: it is not judged, flags nothing and reports no velocity.
    void unpickedAndImplausibleSides_data()
    {
        QTest::addColumn<int>("percent");  // of the positive side's picks off the source, unpicked
        QTest::addColumn<double>("slope"); // ms per m on the positive side; NaN: the curve as drawn
        QTest::newRow("10% unpicked") << 10 << qQNaN();
        QTest::newRow("40% unpicked") << 40 << qQNaN();
        QTest::newRow("falling") << 0 << -0.1;
        QTest::newRow("flat") << 0 << 0.0;
    }
    void unpickedAndImplausibleSides()
    {
        QFETCH(int, percent);
        QFETCH(double, slope);
        QVector<FbRecord> records = shotOnLine(5, 120.0, 0, 240, Curve::TwoLayers);
        records[120].fb_time = -0.3f;
        int zeros = 0;
        for (int c = 121; c < 240; ++c) {
            if (!std::isnan(slope))
                records[c].fb_time = float(400.0 + slope * records[c].offset + 0.3 * noise(c, 3));
            if ((c * 37) % 100 < percent) {
                records[c].fb_time = 0.0f;
                ++zeros;
            }
        }
        QVERIFY(std::abs(zeros - percent * 119 / 100) <= 3);
        const ShotFit fit = fitShot(records);
        QCOMPARE(fit.outliers(), 0);
        QVERIFY(fit.sides[Negative].judged);
        const SideModel &side = fit.sides[Positive];
        QCOMPARE(side.judged, std::isnan(slope));
        if (!side.judged) {
            QVERIFY(std::isnan(side.velocity));
            return;
        }
        QCOMPARE(side.picks, 120);
        QCOMPARE(side.unpicked, zeros);
        for (int c = 120; c < 240; ++c) {
            const PickVerdict &v = fit.picks[c];
            const bool zero = records[c].fb_time == 0.0f;
            QCOMPARE(v.unpicked, zero);
            QCOMPARE(v.judged, !zero);
        }
        QVERIFY2(std::abs(side.velocity / 3400.0 - 1.0) < 0.03, qPrintable(QString::number(side.velocity)));
        QVERIFY2(std::abs(side.intercept - 61.0) < 3.0, qPrintable(QString::number(side.intercept)));
        QVERIFY2(std::abs(fit.picks[120].residual) < 2.0f, qPrintable(QString::number(fit.picks[120].model)));
    }

    // The generator draws the line it is asked for: every line keeps its
    // bytes for a seed (benches and files depend on them); end-on
    // spreads, sources between stations, layers with statics, delays and
    // noise within their bounds, missing and unpicked picks in their
    // share; and a twin with planted spikes, a late shot and a run of
    // cycle skips differs from the clean line only there.
    void generatorLines_data()
    {
        QTest::addColumn<FbGenerator::Spread>("spread");
        QTest::addColumn<bool>("between");
        QTest::addColumn<bool>("layered"); // 500/1800/4000 m/s, statics 3 ms, delay 12 ms, noise 1 ms
        QTest::addColumn<double>("missing");
        QTest::addColumn<double>("unpicked");
        QTest::addColumn<bool>("feetOffLine"); // 30 shots in feet, offsets in 1/10 ft, sources 5 to 50 m off the line
        QTest::addColumn<QByteArray>("sha1");  // of the records
        const FbGenerator::Spread split = FbGenerator::Spread::Split, endOn = FbGenerator::Spread::EndOn;
        QTest::newRow("defaults") << split << false << false << 0.0 << 0.0 << false
                                  << QByteArray("64862833ec8c0e61dd216d8057e8047d11e7081f");
        QTest::newRow("end-on, between stations")
            << endOn << true << true << 0.0 << 0.0 << false << QByteArray("7184b66a00c07d3485d535cf17e0e9ba3a76cb5c");
        QTest::newRow("layers, statics and delays")
            << split << false << true << 0.0 << 0.0 << false << QByteArray("18aa377cbf63d7f75001574412791d089ecd5bd4");
        QTest::newRow("8% missing, 40% unpicked")
            << split << true << true << 0.08 << 0.4 << false << QByteArray("1511f22c6b61f4842f23fe2aced2bed4e97d1943");
        QTest::newRow("feet, off the line")
            << split << false << false << 0.0 << 0.0 << true << QByteArray("1336ab1809673817de21b23410db0a4c438af20b");
    }
    void generatorLines()
    {
        QFETCH(FbGenerator::Spread, spread);
        QFETCH(bool, between);
        QFETCH(bool, layered);
        QFETCH(double, missing);
        QFETCH(double, unpicked);
        QFETCH(bool, feetOffLine);
        QFETCH(QByteArray, sha1);
        FbGenerator::Options o;
        o.shots = feetOffLine ? 30 : 6;
        o.channels = 48;
        o.seed = 9;
        o.spread = spread;
        o.sourceBetweenStations = between;
        if (layered) {
            o.velocities = {500, 1800, 4000};
            o.thicknesses = {10, 40};
            o.sourceStaticMs = o.receiverStaticMs = 3.0;
            o.sourceDelayMs = 12.0;
            o.noiseMs = 1.0;
        }
        o.missing = missing;
        o.unpicked = unpicked;
        o.feet = feetOffLine;
        o.offsetFactor = feetOffLine ? 10 : 1;
        o.sourceCrosslineMin = feetOffLine ? 5.0 : 0.0;
        o.sourceCrosslineMax = feetOffLine ? 50.0 : 0.0;
        FbGenerator::Options planted = o;
        planted.spikes = {{2, 30, 25.0}};
        planted.shifts = {{4, 11.0}};
        planted.skipRuns = {{3, 10, 6, 15.0}};

        QByteArray bytes;
        int records = 0, zeros = 0;
        for (int shot = 0; shot < o.shots; ++shot) {
            const QVector<FbRecord> line = FbGenerator::shotRecords(o, shot);
            const QVector<FbRecord> twin = FbGenerator::shotRecords(planted, shot);
            QCOMPARE(twin.size(), line.size());
            records += line.size();
            for (int i = 0; i < line.size(); ++i) {
                const FbRecord &r = line[i];
                char encoded[FbLayout::RecordSize];
                FbLayout::encodeRecord(r, encoded);
                bytes.append(encoded, sizeof encoded);
                const QString at = QString("shot %1 channel %2").arg(shot).arg(r.channel);
                QVERIFY2(spread == FbGenerator::Spread::Split || r.offset > 0 || (!between && r.offset == 0),
                         qPrintable(at + " behind an end-on source"));
                QVERIFY2(!between || (r.offset != 0 && r.s_line == r.g_line + 1), qPrintable(at + " on a station"));
                zeros += r.fb_time == 0.0f ? 1 : 0;
                QVERIFY2(r.offset != 0 || r.fb_time != 0.0f, qPrintable(at + ": the pick at the source unpicked"));
                if (layered && r.fb_time != 0.0f) {
                    // Statics at both ends, the delay, noise and the elevation static.
                    const double travel = FbGenerator::layerTime(o, r.offset);
                    QVERIFY2(r.fb_time >= travel - 3.0 - 3.0 - 1.0 - 1.5 &&
                                 r.fb_time <= travel + 3.0 + 3.0 + 12.0 + 1.0 + 1.5,
                             qPrintable(at + QString(": %1 ms against %2").arg(r.fb_time).arg(travel)));
                }
                const FbRecord &p = twin[i];
                const double late = (shot == 2 && r.channel == 30 ? 25.0 : 0.0) + (shot == 4 ? 11.0 : 0.0) +
                                    (shot == 3 && r.channel >= 10 && r.channel < 16 ? 15.0 : 0.0);
                QCOMPARE(p.channel, r.channel);
                QCOMPARE(p.fb_time, r.fb_time == 0.0f ? 0.0f : float(r.fb_time + late));
            }
        }
        QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex(), sha1);
        const int all = o.shots * o.channels;
        QVERIFY2(std::abs(records - all * (1.0 - missing)) <= 0.05 * all, qPrintable(QString::number(records)));
        QVERIFY2(std::abs(zeros - records * unpicked) <= 0.08 * records, qPrintable(QString::number(zeros)));
    }

    // A 3-D patch as the generator draws it: each receiver line its share
    // of the channels, the lines side by side at their spacing, sources
    // spread across them; every offset the distance from the source to the
    // receiver, negative behind the source along the lines, and every time
    // the layers' at that distance, whatever the azimuth.
    void generatorPatch_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("spacing");        // m between receiver lines
        QTest::addColumn<int>("sourcesPerLine"); // 0: one on each receiver line
        QTest::addColumn<FbGenerator::Spread>("spread");
        QTest::newRow("4 lines, a source on each") << 4 << 200 << 0 << FbGenerator::Spread::Split;
        QTest::newRow("3 lines, sources between them") << 3 << 150 << 5 << FbGenerator::Spread::Split;
        QTest::newRow("2 lines, one source in the middle, end-on") << 2 << 300 << 1 << FbGenerator::Spread::EndOn;
    }
    void generatorPatch()
    {
        QFETCH(int, lines);
        QFETCH(int, spacing);
        QFETCH(int, sourcesPerLine);
        QFETCH(FbGenerator::Spread, spread);
        FbGenerator::Options o;
        o.shots = 12;
        o.channels = lines * 20;
        o.receiverLines = lines;
        o.lineSpacing = spacing;
        o.sourcesPerLine = sourcesPerLine;
        o.shotInterval = 5;
        o.spread = spread;
        o.noiseMs = 0.0;
        o.velocities = {600, 2000, 4000};
        o.crossovers = {80, 500};
        const int across = sourcesPerLine > 0 ? sourcesPerLine : lines;
        // The line's bearing (0.8, 0.6) and its normal.
        const double bx = 0.8, by = 0.6, nx = -0.6, ny = 0.8;
        for (int shot = 0; shot < o.shots; ++shot) {
            const QVector<FbRecord> records = FbGenerator::shotRecords(o, shot);
            QCOMPARE(records.size(), o.channels);
            // Shots fire along a source line, then move to the next one.
            const double sourceAcross = across == 1 ? 0.5 * (lines - 1) * spacing
                                                    : double(shot % across) * (lines - 1) * spacing / (across - 1);
            for (const FbRecord &r : records) {
                const QString at = QString("shot %1 channel %2").arg(shot).arg(r.channel);
                const int line = (r.channel - 1) / 20;
                QCOMPARE(r.g_line, 101 + line);
                QCOMPARE(r.s_line, 1000 + shot / across * o.shotInterval);
                QCOMPARE(r.s_stat, 1 + shot % across);
                // Positions from the first receiver line's origin, m.
                const double gx = r.group_x - 25000.0, gy = r.group_y - 61000.0;
                const double sx = r.source_x - 25000.0, sy = r.source_y - 61000.0;
                // Receivers stand on their line's stations (each skids 0.5 m
                // at most); a source within 1 m of its station's position.
                QVERIFY2(std::abs(gx * nx + gy * ny - line * spacing) <= 0.75, qPrintable(at + " off its line"));
                QVERIFY2(std::abs(gx * bx + gy * by - (r.g_stat - 1000) * 25.0) <= 0.75,
                         qPrintable(at + " off its station"));
                QVERIFY2(std::abs(sx * nx + sy * ny - sourceAcross) <= 2.2, qPrintable(at + ": source misplaced"));
                // Negative behind the source along the lines.
                const double along = (gx - sx) * bx + (gy - sy) * by;
                QVERIFY2(std::abs(along) < 2.0 || (along < 0) == (r.offset < 0), qPrintable(at + ": offset's sign"));
                // At the distance between their stations: the time of the
                // layers there, plus the built-in elevation static, 0.03 ms
                // a metre from the datum at each end, rounded to 1/8 ms.
                const double nominal = std::hypot((r.g_stat - r.s_line) * 25.0, line * spacing - sourceAcross);
                QCOMPARE(std::abs(r.offset), qint32(std::lround(nominal)));
                const double travel =
                    FbGenerator::layerTime(o, nominal) + 0.03 / 1.7 * ((r.s_elev - 350.0) + (r.g_elev - 350.0));
                QVERIFY2(std::abs(r.fb_time - travel) <= 0.07,
                         qPrintable(at + QString(": %1 ms against %2").arg(r.fb_time).arg(travel)));
            }
        }
    }

    // Ground that is not flat layers: refractors slowing past the middle of
    // the line bend the curves of the shots on the fast half back towards the
    // slower, and picks that follow the topography are fitted with the heights
    // taken off at the near surface's slowness found in the picks. Either way
    // the clean line has no outlier and wrong picks on it still stand out,
    // also where the slower bend is short (a deeper refractor seen only until
    // the ground slows) or a dip tilts it, while flat ground never bends that
    // way, nor splits one refractor into two segments, and a line whose
    // elevations barely touch the times is fitted as picked.
    void judgesUnevenGround_data()
    {
        QTest::addColumn<double>("lateral");          // refractors this much slower past the middle
        QTest::addColumn<double>("dip");              // degrees
        QTest::addColumn<Layers>("layers");           // none: the built-in curve
        QTest::addColumn<double>("velocity");         // of the topography's delay, m/s; 0: the built-in static
        QTest::addColumn<QMap<int, double>>("wrong"); // channel: ms it is off by in every shot
        QTest::addColumn<double>("noise");            // ms
        QTest::addColumn<int>("shots");
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<int>("spacing"); // m between stations
        QTest::addColumn<int>("from");    // shots checked: from, before until (0: to the line's end)
        QTest::addColumn<int>("until");
        QTest::addColumn<int>("lines"); // receiver lines side by side, 200 m apart
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("statics"); // ms at sources and receivers
        const QMap<int, double> none, bends{{10, 20.0}, {100, -20.0}}, hills{{20, 25.0}, {70, -25.0}, {100, 25.0}},
            far{{13, 40.0}};
        const Layers builtIn, three{{700.0, 2000.0, 4000.0}, {120.0, 900.0}};
        QTest::newRow("25% slower") << 0.25 << 0.0 << builtIn << 0.0 << none << 0.5 << 30 << quint64(4) << 25 << 0 << 0
                                    << 1 << 120 << 0.0;
        QTest::newRow("25% slower, wrong picks")
            << 0.25 << 0.0 << builtIn << 0.0 << bends << 0.5 << 30 << quint64(4) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("25% slower, three layers")
            << 0.25 << 0.0 << three << 0.0 << none << 0.5 << 30 << quint64(4) << 25 << 0 << 0 << 1 << 120 << 0.0;
        // Hills over ground that slows: the heights are taken off as the
        // curve bends to the slower ground, which no hill explains.
        QTest::newRow("30% slower, hills at 2,000 m/s")
            << 0.3 << 0.0 << builtIn << 2000.0 << none << 0.5 << 60 << quint64(8) << 25 << 0 << 5 << 1 << 120 << 0.0;
        QTest::newRow("dip 3 degrees, three layers")
            << 0.0 << 3.0 << three << 0.0 << none << 1.0 << 40 << quint64(3) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("even ground, 1 ms noise")
            << 0.0 << 0.0 << builtIn << 0.0 << none << 1.0 << 30 << quint64(4) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("built-in static") << 0.0 << 0.0 << builtIn << 0.0 << none << 0.5 << 40 << quint64(3) << 25 << 0
                                         << 0 << 1 << 120 << 0.0;
        QTest::newRow("hills at 2,000 m/s")
            << 0.0 << 0.0 << builtIn << 2000.0 << none << 0.5 << 40 << quint64(3) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("hills at 4,000 m/s")
            << 0.0 << 0.0 << builtIn << 4000.0 << none << 0.5 << 40 << quint64(3) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("hills at 2,000 m/s, wrong picks")
            << 0.0 << 0.0 << builtIn << 2000.0 << hills << 0.5 << 40 << quint64(3) << 25 << 0 << 0 << 1 << 120 << 0.0;
        QTest::newRow("hills at 2,000 m/s, a wrong pick far out")
            << 0.0 << 0.0 << builtIn << 2000.0 << far << 0.5 << 40 << quint64(4) << 25 << 0 << 0 << 1 << 120 << 0.0;
        // Close stations on steep hills, the shots at the line's end: the
        // direct arrival, which carries no height delay, runs far up a hill
        // and bends down near the source at the source's height.
        QTest::newRow("hills at 1,500 m/s, 10 m")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 5 << quint64(2) << 10 << 0 << 0 << 1 << 120 << 0.0;
        // Mid-line, the direct arrival holds a third of a side's picks and
        // bends with no height delay: it must not pull the slowness down.
        QTest::newRow("hills at 1,500 m/s, 10 m, mid-line")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(2) << 10 << 9 << 21 << 1 << 120 << 0.0;
        // Across a patch each line meets the refractor at its own offset: a
        // high line's direct arrival runs on past a low line's crossover.
        QTest::newRow("hills at 1,500 m/s, a patch of 4 lines")
            << 0.0 << 0.0 << builtIn << 1500.0 << hills << 0.5 << 60 << quint64(4) << 25 << 20 << 30 << 4 << 120 << 0.0;
        // A short side of direct picks alone, the ground rising on the long
        // side, whose direct arrival at the source's height meets offset 0
        // well before the shot: no measure of a run for the short side.
        QTest::newRow("hills at 1,500 m/s, a patch of 2 lines, a short side")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(2) << 25 << 5 << 6 << 2 << 120 << 0.0;
        // The source's line alone holds a side's nearest picks, whose direct
        // arrival as picked agrees with the other side's: no run, though
        // the lines beside, higher, run back to offset 0 well before it.
        QTest::newRow("hills at 1,500 m/s, a patch of 3 lines, the nearest picks on one")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(17) << 25 << 11 << 12 << 3 << 120 << 0.0;
        // Only the far lines reach the end of a side: their refracted picks
        // stand off the direct arrival's line by ever more, no skipped cycle.
        QTest::newRow("hills at 1,500 m/s, a patch of 4 lines, the refractor on far lines")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(2) << 25 << 33 << 34 << 4 << 120 << 0.0;
        // The short side's only refracted picks lie on a far line beyond a
        // gap, a step early of its direct arrival: the refractor the other
        // side shows, no skipped cycle.
        QTest::newRow("hills at 1,500 m/s, a patch of 4 lines, a far line beyond a gap")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(41) << 25 << 11 << 12 << 4 << 120 << 0.0;
        // Near the crossover a direct pick on a receiver below the other
        // line's: taken to the source's height it leaves the curve by its
        // own height alone; as picked it lies on the direct arrival's line.
        QTest::newRow("hills at 1,500 m/s, a patch of 2 lines, a direct pick off by its height")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(3) << 25 << 24 << 25 << 2 << 120 << 0.0;
        // Its direct arrival not kept as picked, a direct pick on a receiver
        // 20 m below the source stays on that arrival's line as picked.
        QTest::newRow("hills at 2,000 m/s, a patch of 4 lines, a direct pick on low ground")
            << 0.0 << 0.0 << builtIn << 2000.0 << none << 0.5 << 60 << quint64(13) << 25 << 28 << 29 << 4 << 120 << 0.0;
        // Near the crossover lines at different heights mix: the curve bends
        // to a short faster stretch and back to the refractor, which runs on
        // towards the source; the stretch gives no velocity.
        QTest::newRow("hills at 1,500 m/s, a patch of 5 lines, a faster stretch")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(46) << 25 << 42 << 43 << 5 << 480 << 0.0;
        // A fitter that has fitted the shots before judges the fourth shot as
        // a fresh one does: its first channel is no outlier.
        QTest::newRow("hills at 1,500 m/s, a patch of 6 lines, one fitter for every shot")
            << 0.0 << 0.0 << builtIn << 1500.0 << none << 0.5 << 60 << quint64(53) << 25 << 0 << 5 << 6 << 480 << 0.0;
        // The heights of the lines beside the source's tilt its direct
        // arrival at the source's height without moving where it meets
        // offset 0.
        QTest::newRow("hills at 2,000 m/s, a patch of 4 lines, the direct arrival tilted")
            << 0.0 << 0.0 << builtIn << 2000.0 << none << 0.5 << 60 << quint64(11) << 25 << 10 << 11 << 4 << 120 << 0.0;
        // A patch over a dipping refractor: at one offset, lines up-dip and
        // down-dip of the source see the refractor at depths tens of ms
        // apart, and only the wrong picks stand off their own line; a run
        // of skipped picks on one line does not bend that line's curve.
        QMap<int, double> dipWrong{{37, 30.0}, {118, -15.0}, {170, -25.0}};
        for (int channel = 220; channel < 228; ++channel)
            dipWrong.insert(channel, 20.0);
        QTest::newRow("dip 1.5 degrees, a patch of 4 lines, wrong picks and a run")
            << 0.0 << 1.5 << three << 0.0 << dipWrong << 0.5 << 60 << quint64(8) << 25 << 10 << 50 << 4 << 240 << 0.0;
        // Noise, statics and the small elevation static of a long spread
        // once split a refractor into two of nearly one velocity (4,587 and
        // 4,617 m/s; 1,985 and 2,066 m/s; 4,549 and 4,642 m/s over 1,600 m of
        // 10 m stations).
        QTest::newRow("built-in curve, 240 channels")
            << 0.0 << 0.0 << builtIn << 0.0 << none << 0.5 << 40 << quint64(1) << 25 << 0 << 0 << 1 << 240 << 0.0;
        QTest::newRow("three layers, 240 channels")
            << 0.0 << 0.0 << Layers{{800, 2000, 4600}, {100, 900}} << 0.0 << none << 1.0 << 40 << quint64(2) << 25 << 0
            << 0 << 1 << 240 << 0.0;
        QTest::newRow("three layers, statics")
            << 0.0 << 0.0 << three << 0.0 << none << 1.0 << 40 << quint64(2) << 20 << 0 << 0 << 1 << 160 << 1.0;
        QTest::newRow("three layers, 10 m, a long deep refractor")
            << 0.0 << 0.0 << Layers{{800, 2400, 4600}, {60, 600}} << 0.0 << none << 0.5 << 40 << quint64(1) << 10 << 0
            << 0 << 1 << 240 << 0.0;
    }
    void judgesUnevenGround()
    {
        QFETCH(double, lateral);
        QFETCH(double, dip);
        QFETCH(Layers, layers);
        QFETCH(double, velocity);
        using Wrong = QMap<int, double>;
        QFETCH(Wrong, wrong);
        QFETCH(double, noise);
        QFETCH(int, shots);
        QFETCH(quint64, seed);
        QFETCH(int, spacing);
        QFETCH(int, from);
        QFETCH(int, until);
        QFETCH(int, lines);
        QFETCH(int, channels);
        QFETCH(double, statics);
        FbGenerator::Options o;
        o.shots = shots;
        o.channels = channels;
        o.receiverLines = lines;
        o.groupInterval = spacing;
        o.seed = seed;
        o.noiseMs = noise;
        o.lateralChange = lateral;
        o.dipDegrees = dip;
        o.velocities = layers.velocities;
        o.crossovers = layers.crossovers;
        o.sourceStaticMs = o.receiverStaticMs = statics;
        o.elevationVelocity = velocity;
        for (int shot = 0; shot < o.shots; ++shot) {
            for (auto w = wrong.cbegin(); w != wrong.cend(); ++w)
                o.spikes.append({shot, w.key(), w.value()});
        }
        // Bends to a slower segment; on ground without hills, also to one of
        // nearly the same velocity.
        int bends = 0;
        const double slower = velocity > 0.0 ? 1.0 : 1.05;
        // One fitter for every shot, as a thread of the pass uses it.
        ShotFitter reused;
        // No velocity given is far beyond the deepest refractor's (the
        // built-in curve's runs at 4,600 m/s).
        const double fastest = layers.velocities.isEmpty() ? 4600.0 : layers.velocities.last();
        for (int shot = from; shot < (until > 0 ? until : o.shots); ++shot) {
            const QVector<FbRecord> records = FbGenerator::shotRecords(o, shot);
            ShotFit fit;
            reused.fit(records.constData(), records.size(), Settings(), &fit);
            for (const SideModel &m : fit.sides) {
                for (int k = 1; k < m.segments; ++k) {
                    bends += m.segmentVelocity(k) < slower * m.segmentVelocity(k - 1) ? 1 : 0;
                    QVERIFY2(!(m.segmentVelocity(k) > 1.5 * fastest),
                             qPrintable(QString("shot %1: %2 m/s").arg(shot).arg(m.segmentVelocity(k))));
                }
            }
            // Every shot of a line whose picks follow its hills takes them off
            // at the ground's slowness, also one whose curve could bend along
            // them: else neighbours' intercepts jump by the relief's time.
            // Over a long spread the built-in static may be taken off too.
            const double expected = velocity > 0.0 ? 1000.0 / velocity : 0.0;
            QVERIFY2(std::abs(fit.heightSlowness - expected) <= 0.25 * expected || channels > 120,
                     qPrintable(QString("shot %1: %2 ms/m").arg(shot).arg(fit.heightSlowness)));
            for (int i = 0; i < records.size(); ++i) {
                const PickVerdict &v = fit.picks[i];
                QVERIFY2(!v.judged || v.outlier == wrong.contains(records[i].channel),
                         qPrintable(QString("shot %1 channel %2: residual %3 ms")
                                        .arg(shot)
                                        .arg(records[i].channel)
                                        .arg(v.residual)));
            }
        }
        // A dipping line's apparent velocities may bend either way, and so
        // may a long patch's where lines at different heights mix.
        if (dip == 0.0 && (lines == 1 || channels <= 120))
            QCOMPARE(bends > 0, lateral > 0.0);
    }

    // Ground beyond flat layers keeps reciprocity and moves the arrivals by
    // what the physics says against flat layers of the same velocities
    // (600 and 2400 m/s, crossover at 60 m, a top layer 23.2 m thick):
    // refractors 30% slower past the middle of the line (475 m) delay a ray
    // by 22.3 ms over its 125 m beyond the middle, by 35.7 ms over 200 m, and
    // leave one on the fast half as it was, a
    // gradient of 20 m/s per m makes the direct arrival dive and come early,
    // a dip of 1 degree thickens the top layer under both ends of a ray past
    // the middle of the line's 96 stations (475 m), and a layer hidden under the top one
    // delays the refractor, by 49.3 ms when blind (400 m/s, 10 m), by
    // 2.9 ms when thin (1200 m/s, 2 m) and never seen.
    void generatorGround_data()
    {
        QTest::addColumn<double>("lateral");
        QTest::addColumn<double>("gradient");
        QTest::addColumn<double>("dip");
        QTest::addColumn<double>("hiddenVelocity");
        QTest::addColumn<double>("hiddenThickness");
        QTest::addColumn<int>("shotA"); // sources at stations 2 * shot, 10 m apart
        QTest::addColumn<int>("shotB");
        QTest::addColumn<double>("low"); // the time from A to B less the flat ground's, ms
        QTest::addColumn<double>("high");
        QTest::newRow("slower past the middle, 400 to 600 m")
            << 0.3 << 0.0 << 0.0 << 0.0 << 0.0 << 20 << 30 << 21.7 << 22.9;
        QTest::newRow("slower past the middle, 500 to 700 m")
            << 0.3 << 0.0 << 0.0 << 0.0 << 0.0 << 25 << 35 << 35.1 << 36.3;
        QTest::newRow("slower past the middle, 60 to 280 m")
            << 0.3 << 0.0 << 0.0 << 0.0 << 0.0 << 3 << 14 << 0.0 << 0.0;
        QTest::newRow("gradient, 60 m") << 0.0 << 20.0 << 0.0 << 0.0 << 0.0 << 20 << 23 << -12.5 << -11.3;
        QTest::newRow("dip, 600 to 780 m") << 0.0 << 0.0 << 1.0 << 0.0 << 0.0 << 30 << 39 << 11.5 << 12.7;
        QTest::newRow("blind layer, 400 m") << 0.0 << 0.0 << 0.0 << 400.0 << 10.0 << 10 << 30 << 48.5 << 50.1;
        QTest::newRow("thin layer, 400 m") << 0.0 << 0.0 << 0.0 << 1200.0 << 2.0 << 10 << 30 << 2.5 << 3.3;
        QTest::newRow("thin layer, 100 m") << 0.0 << 0.0 << 0.0 << 1200.0 << 2.0 << 10 << 15 << 2.5 << 3.3;
    }
    void generatorGround()
    {
        QFETCH(double, lateral);
        QFETCH(double, gradient);
        QFETCH(double, dip);
        QFETCH(double, hiddenVelocity);
        QFETCH(double, hiddenThickness);
        QFETCH(int, shotA);
        QFETCH(int, shotB);
        QFETCH(double, low);
        QFETCH(double, high);
        FbGenerator::Options flat;
        flat.shots = 40;
        flat.channels = 96;
        flat.groupInterval = 10;
        flat.noiseMs = 0.0;
        flat.velocities = {600, 2400};
        flat.crossovers = {60};
        FbGenerator::Options o = flat;
        o.lateralChange = lateral;
        o.gradient = gradient;
        o.dipDegrees = dip;
        o.hiddenVelocity = hiddenVelocity;
        o.hiddenThickness = hiddenThickness;
        QCOMPARE(FbGenerator::validate(o), QString());
        auto timeAt = [](const FbGenerator::Options &options, int shot, qint32 station) {
            for (const FbRecord &r : FbGenerator::shotRecords(options, shot)) {
                if (r.g_stat == station)
                    return double(r.fb_time);
            }
            return qQNaN();
        };
        const qint32 stationA = 1000 + 2 * shotA, stationB = 1000 + 2 * shotB;
        const double ab = timeAt(o, shotA, stationB), ba = timeAt(o, shotB, stationA);
        QVERIFY2(std::abs(ab - ba) <= 0.125, qPrintable(QString("%1 against %2 ms").arg(ab).arg(ba)));
        const double change = ab - timeAt(flat, shotA, stationB);
        QVERIFY2(change >= low && change <= high, qPrintable(QString("%1 ms against flat layers").arg(change)));
    }

    // A fifth of the picks wrong by 10 to 100 ms either way moves the model
    // at the good picks by at most 1 ms from the model of the clean shot.
    void wrongPicksDoNotMoveModel_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<int>("every"); // every n-th pick is wrong ...
        QTest::addColumn<int>("phase"); // ... starting here
        QTest::addColumn<int>("shot");  // seeds the noise
        QTest::newRow("two layers, every fifth") << Curve::TwoLayers << 5 << 2 << 1;
        QTest::newRow("three layers, every fifth") << Curve::ThreeLayers << 5 << 0 << 2;
        QTest::newRow("three layers, every fifth, other noise") << Curve::ThreeLayers << 5 << 4 << 3;
        QTest::newRow("two layers, every sixth") << Curve::TwoLayers << 6 << 3 << 4;
        // Two of the few direct-arrival picks wrong: the first model misses
        // that segment and must find it again.
        QTest::newRow("two layers, wrong picks in the direct arrival") << Curve::TwoLayers << 5 << 1 << 38;
        QTest::newRow("three layers, wrong picks in the direct arrival") << Curve::ThreeLayers << 5 << 3 << 2;
    }
    void wrongPicksDoNotMoveModel()
    {
        QFETCH(Curve, curve);
        QFETCH(int, every);
        QFETCH(int, phase);
        QFETCH(int, shot);
        const QVector<FbRecord> clean = shotOnLine(shot, 120.0, 0, 240, curve);
        QVector<FbRecord> wrong = clean;
        for (int c = phase; c < wrong.size(); c += every) {
            // Early ones stay above 0 ms, which would mean unpicked.
            const double by = 10.0 + 90.0 * (noise(c, shot) + 1.0) / 2.0;
            const bool early = c % 4 >= 2 && wrong[c].fb_time - by > 1.0;
            wrong[c].fb_time += float(early ? -by : by);
        }
        const ShotFit cleanFit = fitShot(clean);
        const ShotFit wrongFit = fitShot(wrong);
        for (int c = 0; c < clean.size(); ++c) {
            if (c % every == phase) {
                QVERIFY2(wrongFit.picks[c].outlier, qPrintable(QString("wrong pick %1 not flagged").arg(c)));
                continue;
            }
            const double moved = std::abs(wrongFit.picks[c].model - cleanFit.picks[c].model);
            QVERIFY2(moved <= 1.0, qPrintable(QString("model moved by %1 ms at channel %2").arg(moved).arg(c)));
        }
    }

    // What a shot's curves tell beyond single picks: a run of neighbours
    // moved by one step is named as one cycle skip (not a lone spike, not a
    // shorter run), and a velocity no ground has is noted in real units:
    // offsets in centimetres beside coordinates in metres read at their
    // real speed, offsets a declared unit does not fit do not; and a time at
    // the source before the shot is noted, a small negative one is not.
    void curveFindings_data()
    {
        QTest::addColumn<int>("first");       // channel index of the run's first pick
        QTest::addColumn<int>("length");      // picks late by step
        QTest::addColumn<double>("step");     // ms
        QTest::addColumn<int>("offsetScale"); // offsets stored in 1/scale of the coordinates' unit
        QTest::addColumn<Units>("units");     // declared; offsetFactor 0: found from the records
        QTest::addColumn<bool>("run");
        QTest::addColumn<bool>("velocityNote");
        QTest::addColumn<double>("early"); // every pick early by this, ms
        QTest::addColumn<bool>("delayNote");
        const Units found{1.0, 0.001, 0};
        QTest::newRow("clean") << 0 << 0 << 0.0 << 1 << found << false << false << 0.0 << false;
        QTest::newRow("8 picks 12 ms late") << 150 << 8 << 12.0 << 1 << found << true << false << 0.0 << false;
        QTest::newRow("6 picks 18 ms late, near side")
            << 60 << 6 << 18.0 << 1 << found << true << false << 0.0 << false;
        QTest::newRow("a lone spike") << 150 << 1 << 25.0 << 1 << found << false << false << 0.0 << false;
        QTest::newRow("3 picks: no run") << 150 << 3 << 12.0 << 1 << found << false << false << 0.0 << false;
        QTest::newRow("offsets in cm beside m") << 0 << 0 << 0.0 << 100 << found << false << false << 0.0 << false;
        QTest::newRow("offsets in cm, declared the coordinates' unit")
            << 0 << 0 << 0.0 << 100 << Units{1.0, 0.001, 1} << false << true << 0.0 << false;
        QTest::newRow("coordinates declared in km")
            << 0 << 0 << 0.0 << 1 << Units{1000.0, 0.001, 0} << false << true << 0.0 << false;
        QTest::newRow("every pick 2 ms early") << 0 << 0 << 0.0 << 1 << found << false << false << 2.0 << false;
        QTest::newRow("every pick 7 ms early") << 0 << 0 << 0.0 << 1 << found << false << false << 7.0 << true;
    }
    void curveFindings()
    {
        QFETCH(int, first);
        QFETCH(int, length);
        QFETCH(double, step);
        QFETCH(int, offsetScale);
        QFETCH(Units, units);
        QFETCH(bool, run);
        QFETCH(bool, velocityNote);
        QFETCH(double, early);
        QFETCH(bool, delayNote);
        QVector<FbRecord> records = shotOnLine(5, 120.0, 0, 240, Curve::ThreeLayers);
        for (FbRecord &r : records)
            r.fb_time -= float(early);
        for (int c = first; c < first + length; ++c)
            records[c].fb_time += float(step);
        for (FbRecord &r : records)
            r.offset *= offsetScale;
        const ShotFit fit = fitShot(records);
        const ShotData shot{records.constData(), records.size(), 0, 0, &fit, true};
        Findings found;
        checkStepRuns(shot, Settings(), &found);
        QCOMPARE(int(found.size()), run ? 1 : 0);
        if (run) {
            const Finding &f = found.front();
            QCOMPARE(f.count, qint64(length));
            QVERIFY2(std::abs(f.value - step) < 2.0, qPrintable(QString::number(f.value)));
            for (int c = 0; c < records.size(); ++c)
                QCOMPARE(fit.picks[c].run != 0, c >= first && c < first + length);
        }
        found.clear();
        Settings settings;
        settings.units = units;
        checkVelocities(shot, settings, &found);
        QCOMPARE(!found.empty(), velocityNote);
        found.clear();
        checkSourceDelay(shot, settings, &found);
        QVERIFY2(found.empty() != delayNote, qPrintable(QString::number(fit.sourceDelay)));
    }

    // A run of cycle skips the first curve bends to follow hides: the good
    // picks at its ends look wrong instead. Every pick of the run is found
    // (flagged or named in a run), no good pick is flagged, and the curve
    // stays where the clean shot's is.
    void runsTheCurveBentTo_data()
    {
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("channel"); // first channel of the run
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("ms");
        QTest::addColumn<int>("spike");           // channel of a spike beside it, or 0
        QTest::addColumn<double>("noise");        // ms
        QTest::addColumn<double>("statics");      // of sources and receivers, ms
        QTest::addColumn<double>("hillVelocity"); // picks follow the topography, m/s (0: flat)
        QTest::addColumn<int>("seed");
        QTest::addColumn<bool>("builtIn");   // the built-in curve at 25 m, else 700/2,000/4,000 m/s at 20 m
        QTest::addColumn<double>("lateral"); // refractors slower by this fraction past the line's middle
        QTest::newRow("across the crossover, a spike beside")
            << 17 << 24 << 7 << 12.0 << 32 << 1.0 << 1.0 << 0.0 << 2 << false << 0.0;
        QTest::newRow("from the nearest trace, the direct arrival lifted")
            << 18 << 37 << 6 << 12.0 << 0 << 1.0 << 1.0 << 0.0 << 2 << false << 0.0;
        QTest::newRow("from the nearest trace past the crossover")
            << 10 << 22 << 8 << 14.0 << 0 << 1.0 << 1.0 << 0.0 << 2 << false << 0.0;
        QTest::newRow("at the start of the last refractor, hills")
            << 38 << 23 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 1 << false << 0.0;
        QTest::newRow("from the nearest trace, hills")
            << 19 << 40 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << false << 0.0;
        QTest::newRow("at the start of the last refractor, jumps inside it")
            << 38 << 23 << 10 << 15.0 << 0 << 1.0 << 1.0 << 0.0 << 1 << false << 0.0;
        QTest::newRow("past the crossover, jumps inside it")
            << 38 << 111 << 9 << 20.0 << 0 << 1.0 << 1.0 << 0.0 << 2 << false << 0.0;
        QTest::newRow("noisy, spread by the noise")
            << 23 << 53 << 6 << 13.0 << 0 << 2.5 << 1.5 << 0.0 << 3 << false << 0.0;
        QTest::newRow("noisy, from the nearest trace")
            << 29 << 60 << 10 << 13.0 << 0 << 2.5 << 1.5 << 0.0 << 3 << false << 0.0;
        // Noise brings three of its picks under the threshold, one of them
        // at its end, and a neighbour stands just beyond the curve's noise.
        QTest::newRow("noisy, picks of the run under the threshold")
            << 29 << 119 << 8 << 10.0 << 0 << 2.5 << 1.5 << 0.0 << 1 << false << 0.0;
        QTest::newRow("from the nearest trace, hills, few picks beside")
            << 18 << 37 << 6 << 11.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << false << 0.0;
        // The two sides' direct arrivals tilt apart, so the run drifts off
        // the other side's line.
        QTest::newRow("from the nearest trace, hills, built-in curve")
            << 19 << 40 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << true << 0.0;
        // This side's direct arrival is slower than the other's: two of its
        // picks are left beyond the run, or none.
        QTest::newRow("from the nearest trace, hills, a slower direct arrival")
            << 29 << 60 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << true << 0.0;
        QTest::newRow("from the nearest trace, hills, no direct pick beyond")
            << 33 << 68 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << true << 0.0;
        // The sides' delays 4 ms apart: the step from the jump back.
        QTest::newRow("from the nearest trace, hills, delays apart")
            << 28 << 58 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << true << 0.0;
        // The curve bent to the run left a jump inside it, which took its
        // far part out first.
        QTest::newRow("from the nearest trace, hills, its far part taken first")
            << 33 << 68 << 8 << 14.0 << 0 << 0.5 << 0.0 << 2000.0 << 3 << true << 0.0;
        // Its far part lies past the crossover, taken out first.
        QTest::newRow("from the nearest trace, hills, across the crossover")
            << 23 << 48 << 8 << 14.0 << 0 << 0.5 << 0.0 << 2000.0 << 3 << true << 0.0;
        // This side's direct arrival is slower than the other's, which
        // cannot stand in for it: left without the run, the side's first
        // line is a refractor's.
        QTest::newRow("from the nearest trace, hills, the other side's direct arrival faster")
            << 8 << 18 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 1 << true << 0.0;
        // The other side holds one pick, or three, too few to fit: the time
        // at the source and those picks show the direct arrival.
        QTest::newRow("from the nearest trace, hills, one pick on the other side")
            << 1 << 4 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 2 << true << 0.0;
        QTest::newRow("from the nearest trace, hills, three picks on the other side")
            << 2 << 6 << 8 << 14.0 << 0 << 1.0 << 0.0 << 2000.0 << 3 << true << 0.0;
        // No run: a spike far out leaves the side off its curve, and its
        // direct arrival, tilted off the other side's, stands above the
        // refractor's first pick.
        QTest::newRow("no run, hills, a spike far out")
            << 29 << 0 << 0 << 0.0 << 100 << 1.0 << 1.0 << 2000.0 << 6 << true << 0.0;
        QTest::newRow("from the second trace on")
            << 11 << 14 << 8 << 15.0 << 0 << 1.0 << 1.0 << 0.0 << 2 << false << 0.0;
        QTest::newRow("across the source") << 37 << 68 << 10 << 15.0 << 0 << 1.0 << 1.0 << 0.0 << 4 << false << 0.0;
        // Beside the bend to slower ground: corrected for heights the run
        // asked for, the curve waves by about its step and hides it.
        QTest::newRow("beside the bend to slower ground")
            << 5 << 80 << 8 << 11.0 << 0 << 1.0 << 0.0 << 0.0 << 3 << false << 0.25;
        QTest::newRow("beside the bend to slower ground, nearer the source")
            << 3 << 70 << 8 << 11.0 << 0 << 1.0 << 0.0 << 0.0 << 2 << false << 0.25;
        // Over most of the short fast refractor before that bend: left out,
        // the run leaves that segment too few picks to keep.
        QTest::newRow("over the short refractor before the bend to slower ground")
            << 11 << 73 << 8 << 13.0 << 0 << 1.0 << 0.0 << 0.0 << 2 << false << 0.25;
        QTest::newRow("across the source, noisy")
            << 37 << 68 << 10 << 15.0 << 0 << 2.5 << 1.5 << 0.0 << 4 << false << 0.0;
    }
    void runsTheCurveBentTo()
    {
        QFETCH(int, shot);
        QFETCH(int, channel);
        QFETCH(int, count);
        QFETCH(double, ms);
        QFETCH(int, spike);
        QFETCH(double, noise);
        QFETCH(double, statics);
        QFETCH(double, hillVelocity);
        QFETCH(int, seed);
        QFETCH(bool, builtIn);
        QFETCH(double, lateral);
        FbGenerator::Options o;
        o.shots = 40;
        o.channels = 160;
        o.seed = quint64(seed);
        if (!builtIn) {
            o.groupInterval = 20;
            o.velocities = {700, 2000, 4000};
            o.crossovers = {120, 900};
        }
        o.noiseMs = noise;
        o.sourceStaticMs = statics;
        o.receiverStaticMs = statics;
        o.elevationVelocity = hillVelocity;
        o.lateralChange = lateral;
        const ShotFit clean = fitShot(FbGenerator::shotRecords(o, shot));
        if (count > 0)
            o.skipRuns.append({shot, channel, count, ms});
        if (spike > 0)
            o.spikes.append({shot, spike, -40.0});
        const QVector<FbRecord> records = FbGenerator::shotRecords(o, shot);
        QCOMPARE(records.size(), o.channels);
        const ShotFit fit = fitShot(records);
        for (int i = 0; i < records.size(); ++i) {
            const int c = records[i].channel;
            const PickVerdict &v = fit.picks[i];
            if (c == spike || !v.judged)
                continue;
            const QString where = QString("channel %1, residual %2").arg(c).arg(v.residual);
            if (c >= channel && c < channel + count) {
                QVERIFY2(v.outlier || v.run != 0, qPrintable("run pick missed at " + where));
                continue;
            }
            QVERIFY2(!v.outlier, qPrintable("good pick flagged at " + where));
            QVERIFY2(std::abs(v.model - clean.picks[i].model) <= 2.0, qPrintable("curve moved at " + where));
        }
    }

    // Noisy sides whose breakpoint search once moved back and forth
    // between two places forever: every fit ends, and ends with a curve.
    // The picks ("|offset| time;") are what was left of such sides of
    // generated lines with 14 ms of noise once picks that did not matter
    // were taken away.
    void fitEnds_data()
    {
        QTest::addColumn<QString>("picks");
        QTest::newRow("50 picks") << QString(
            "25 3.375;75 29.25;100 31.5;125 31.875;150 61.125;200 69.5;225 84.875;425 142.25;450 150.875;"
            "475 157.875;550 171.25;650 210.875;675 213.625;700 212.25;725 226.125;800 238.5;875 267;975 297;"
            "1000 303.25;1075 298.25;1100 319.625;1175 329.125;1200 328.125;1425 391.75;1575 410.625;"
            "1700 438.125;1725 444.5;1750 458.75;1800 468.75;1850 477;1875 477.5;1975 500.25;2000 517.375;"
            "2050 525.5;2150 550.625;2250 567.375;2325 570.875;2400 605.875;2425 612.125;2450 615.375;"
            "2500 618.25;2525 631.125;2650 654;2675 653.375;2800 682.75;2825 684.75;2875 691.5;2900 715.5;"
            "2950 727.75;3000 714.875;");
        QTest::newRow("90 picks") << QString(
            "25 4.625;50 28.25;75 22.75;100 31.75;125 30.125;175 62.75;200 63.875;225 77.75;250 92;"
            "275 94.625;325 91.75;350 115.5;375 123.875;400 127.25;425 142.75;450 136.875;475 153.25;"
            "525 167.375;575 160.5;625 175.75;650 191.875;675 209.25;725 219.25;750 234;775 220.125;800 246;"
            "825 238.5;925 262.25;1000 285.75;1025 305.75;1050 312.625;1100 303.5;1150 321.625;1175 330.75;"
            "1225 349.875;1300 343.5;1375 376.375;1400 383;1425 369.625;1450 381.25;1475 382.5;1575 410.875;"
            "1625 413.125;1675 449.875;1700 452.625;1725 449;1750 453.375;1775 449.25;1800 473;1825 470.75;"
            "1875 472.375;1900 477.125;1925 504.25;1950 497.5;2000 518.625;2025 528.25;2075 525;2100 532.375;"
            "2125 542.125;2150 538.5;2175 533.625;2200 565.75;2225 559.125;2250 554.625;2275 556.625;"
            "2325 570.875;2350 596.875;2375 582.125;2425 588.125;2450 612;2475 600.25;2500 613.75;"
            "2525 614.875;2550 616.5;2575 645.5;2600 644.75;2650 638.75;2675 663.5;2700 649.75;2725 673.5;"
            "2750 670.875;2775 673.125;2800 670.75;2825 692.75;2850 696.25;2875 706.875;2900 707.375;"
            "2925 701.75;2950 726.625;2975 723.125;");
    }
    void fitEnds()
    {
        QFETCH(QString, picks);
        std::vector<double> h, t;
        for (const QString &pick : picks.split(';', Qt::SkipEmptyParts)) {
            h.push_back(pick.section(' ', 0, 0).toDouble());
            t.push_back(pick.section(' ', 1, 1).toDouble());
        }
        FirstBreakFitter fitter;
        QVERIFY(fitter.fit(h.data(), t.data(), int(h.size()), 8.0));
        std::vector<double> model(h.size());
        fitter.modelTimes(model.data());
        for (size_t i = 0; i < h.size(); ++i)
            QVERIFY2(std::isfinite(model[i]), qPrintable(QString("pick at %1 m").arg(h[i])));
    }

    // The pass fits shot after shot with one fitter, which keeps what it
    // learnt within a side; none of it may leak into the next side, or a
    // shot judged on its own would differ from the pass's verdict. The
    // fitter orders a side's picks by |offset| itself, taking a short cut
    // when they come sorted either way: records in any order give each
    // pick the same model time.
    void reusedFitterMatchesFresh_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("sourceChannel");
        QTest::addColumn<int>("wrongRun");    // picks late by 20 ms side by side, from channel 10
        QTest::addColumn<PickOrder>("order"); // of the records given to the reused fitter
        const PickOrder file = PickOrder::FileOrder;
        QTest::newRow("split spread, two layers") << Curve::TwoLayers << 240 << 120 << 0 << file;
        QTest::newRow("split spread, three layers") << Curve::ThreeLayers << 240 << 120 << 0 << file;
        QTest::newRow("end-on, a run of wrong picks") << Curve::ThreeLayers << 120 << -1 << 4 << file;
        QTest::newRow("short sides") << Curve::TwoLayers << 15 << 7 << 0 << file;
        QTest::newRow("reversed, three layers") << Curve::ThreeLayers << 240 << 120 << 4 << PickOrder::Reversed;
        QTest::newRow("shuffled, three layers") << Curve::ThreeLayers << 240 << 120 << 4 << PickOrder::Shuffled;
        QTest::newRow("shuffled, two layers") << Curve::TwoLayers << 240 << 120 << 0 << PickOrder::Shuffled;
    }
    void reusedFitterMatchesFresh()
    {
        QFETCH(Curve, curve);
        QFETCH(int, channels);
        QFETCH(int, sourceChannel);
        QFETCH(int, wrongRun);
        QFETCH(PickOrder, order);

        // The shot before has the same spread, and so the same tail starts
        // to try, but other times.
        const Curve other = curve == Curve::TwoLayers ? Curve::ThreeLayers : Curve::TwoLayers;
        const QVector<FbRecord> before = shotOnLine(1, sourceChannel, 0, channels, other);
        QVector<FbRecord> shot = shotOnLine(2, sourceChannel, 0, channels, curve);
        for (int c = 10; c < 10 + wrongRun; ++c)
            shot[c].fb_time += 20.0f;
        QVector<int> at(channels); // where record c is in the reused fitter's input
        QVector<FbRecord> input(channels);
        for (int c = 0; c < channels; ++c) {
            at[c] = order == PickOrder::FileOrder  ? c
                    : order == PickOrder::Reversed ? channels - 1 - c
                                                   : c * 37 % channels;
            input[at[c]] = shot[c];
        }

        ShotFitter reused;
        ShotFit fit;
        reused.fit(before.constData(), before.size(), Settings(), &fit);
        reused.fit(input.constData(), input.size(), Settings(), &fit);
        const ShotFit fresh = fitShot(shot);
        for (int side = Negative; side <= Positive; ++side) {
            const SideModel &a = fit.sides[side], &b = fresh.sides[side];
            QCOMPARE(a.segments, b.segments);
            for (int k = 0; k <= a.segments; ++k) {
                QVERIFY2(a.knotOffset[k] == b.knotOffset[k] && a.knotTime[k] == b.knotTime[k],
                         qPrintable(QString("side %1 knot %2: reused (%3, %4), fresh (%5, %6)")
                                        .arg(side)
                                        .arg(k)
                                        .arg(a.knotOffset[k])
                                        .arg(a.knotTime[k])
                                        .arg(b.knotOffset[k])
                                        .arg(b.knotTime[k])));
            }
        }
        for (int c = 0; c < channels; ++c) {
            const float a = fit.picks[at[c]].model, b = fresh.picks[c].model;
            QVERIFY2(a == b || (std::isnan(a) && std::isnan(b)),
                     qPrintable(QString("channel %1: model time %2 reused, %3 fresh").arg(c).arg(a).arg(b)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPickQc)
#include "tst_pickqc.moc"
