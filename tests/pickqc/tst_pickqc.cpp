// Pick QC: the per-shot first-break fit with its outliers and sides.

#include "fbcolumns.h"
#include "fbtestfile.h"
#include "firstbreakfit.h"
#include "pickqc.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace PickQc;

namespace {

enum class Curve { TwoLayers, ThreeLayers };
// Where a shot's source sits: on a receiver station (but off the line), or
// halfway between two with a station number no receiver carries.
enum class Source { OnStation, BetweenStations };
// The order in which a shot's records reach the fitter.
enum class PickOrder { FileOrder, Reversed, Shuffled };

constexpr double Spacing = 25.0;

double firstBreak(Curve curve, double h)
{
    const double t = std::min(h / 1.7, 61.0 + h / 3.4);
    return curve == Curve::ThreeLayers ? std::min(t, 180.0 + h / 6.0) : t;
}

// Deterministic noise in [-1, 1) ms.
double noise(quint32 a, quint32 b)
{
    quint32 x = a * 2654435761u ^ (b + 0x9E3779B9u) * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return (x % 2000) / 1000.0 - 1.0;
}

// One shot on a straight line at bearing 3-4-5: receivers at stations
// first .. first + channels - 1, the source at station source.
QVector<FbRecord> shotOnLine(int shot, double source, int first, int channels, Curve curve,
                             bool absoluteOffsets = false)
{
    QVector<FbRecord> records;
    for (int c = 0; c < channels; ++c) {
        const int station = first + c;
        FbRecord r;
        r.ffid = 100 + shot;
        r.channel = c + 1;
        r.fb_no = shot * 1000 + c;
        const double offset = (station - source) * Spacing;
        r.offset = qRound(absoluteOffsets ? std::abs(offset) : offset);
        // A source on a station stands 30 m off the line, too far to be
        // bracketed: only its station can match.
        const bool onStation = source == std::floor(source);
        const double aside = onStation ? 30.0 : 0.0;
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

} // namespace

Q_DECLARE_METATYPE(Curve)
Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(PickOrder)

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
        QTest::addColumn<QVector<int>>("nonFinite");  // channels whose time is NaN or infinite
        QTest::addColumn<bool>("negativeJudged");
        QTest::addColumn<bool>("positiveJudged");
        const QVector<int> spikes{3, 17, 40, 66, 90, 118, 131, 150, 177, 201, 222, 239};
        QTest::newRow("split spread, two layers") << Curve::TwoLayers << 240 << 120 << false << spikes
                                                  << QVector<int>() << true << true;
        QTest::newRow("split spread, three layers") << Curve::ThreeLayers << 240 << 120 << false << spikes
                                                    << QVector<int>() << true << true;
        QTest::newRow("offsets >= 0: sides by position") << Curve::ThreeLayers << 240 << 100 << true << spikes
                                                         << QVector<int>() << true << true;
        QTest::newRow("end-on spread: one side") << Curve::TwoLayers << 120 << -1 << true << QVector<int>{5, 60}
                                                 << QVector<int>() << false << true;
        QTest::newRow("four picks behind the source: not judged")
            << Curve::TwoLayers << 100 << 4 << false << QVector<int>{50} << QVector<int>() << false << true;
        QTest::newRow("five picks behind the source: judged")
            << Curve::TwoLayers << 100 << 5 << false << QVector<int>{50} << QVector<int>() << true << true;
        QTest::newRow("non-finite times leave four: not judged")
            << Curve::TwoLayers << 100 << 6 << false << QVector<int>{70} << QVector<int>{1, 4} << false << true;
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
            const bool judged = fit.sides[side].judged && !nonFinite.contains(c);
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
        QVERIFY2(falseFlags <= judgedGood / 200,
                 qPrintable(QString("%1 false flags among %2 good picks").arg(falseFlags).arg(judgedGood)));
        const int nonFiniteBehind = int(std::count_if(nonFinite.begin(), nonFinite.end(),
                                                      [=](int c) { return c < sourceChannel; }));
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

    // A fifth of the picks wrong by 10 to 100 ms either way moves the model
    // at the good picks by at most 1 ms from the model of the clean shot.
    void wrongPicksDoNotMoveModel_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<int>("every");   // every n-th pick is wrong ...
        QTest::addColumn<int>("phase");   // ... starting here
        QTest::addColumn<int>("shot");    // seeds the noise
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
        for (int c = phase; c < wrong.size(); c += every)
            wrong[c].fb_time += float((c % 4 < 2 ? 1 : -1) * (10.0 + 90.0 * (noise(c, shot) + 1.0) / 2.0));
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
        QTest::addColumn<int>("wrongRun");     // picks late by 20 ms side by side, from channel 10
        QTest::addColumn<PickOrder>("order");  // of the records given to the reused fitter
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
        QVector<int> at(channels);             // where record c is in the reused fitter's input
        QVector<FbRecord> input(channels);
        for (int c = 0; c < channels; ++c) {
            at[c] = order == PickOrder::FileOrder ? c
                    : order == PickOrder::Reversed ? channels - 1 - c : c * 37 % channels;
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
                         qPrintable(QString("side %1 knot %2: reused (%3, %4), fresh (%5, %6)").arg(side).arg(k)
                                        .arg(a.knotOffset[k]).arg(a.knotTime[k]).arg(b.knotOffset[k])
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
