// The QC pass over whole files: reciprocity, repeats and shot timing
// errors, the file statistics and checks that check and qc share, results
// that do not depend on the number of threads, and files that are hostile
// or huge.

#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include <fbqc/pickqc.h>
#include <fbqc/positionkey.h>
#include <fbqc/receiverstatics.h>
#include <fbqc/reciprocity.h>
#include <fbqc/shotjudgement.h>
#include "reportdiff.h"
#include "surveyline.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace FbFile;

using namespace FbQc;
using namespace SurveyLine;

namespace {

using FbTest::findings;

Report judge(const QString &fileName, Settings settings = Settings())
{
    Analyzer analyzer(fileName, settings);
    Report report;
    if (!analyzer.run(&report))
        qWarning("%s", qPrintable(analyzer.errorString()));
    return report;
}

} // namespace

Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(FbGenerator::Options)

class TestQcPass : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // A survey line of shots: every pair whose sources sit in each other's
    // spread is compared, at the receiver on the other's station or
    // interpolated between two, across one missing station but not two. A
    // shot shifted by 7 ms is named with its delay and its pairs are filed
    // under it, its partners not blamed; a planted spike is an outlier,
    // exactly as fitShot() judges the same records. A source shot twice is
    // a repeat, never a reciprocal pair. The file is large enough for a
    // shot to straddle two reads. A line shot backwards, its sources known
    // by station only, keeps its pairs. Partners whose records are no
    // longer held (no memory for recent shots, or only for the batch at
    // hand) are read again and give the same pairs.
    void reciprocity_data()
    {
        QTest::addColumn<Source>("source");
        QTest::addColumn<int>("shiftedShot");  // -1: none
        QTest::addColumn<int>("deadStations"); // from station 340 on, in every shot
        QTest::addColumn<QVector<int>>("unpaired");
        // Shot backwards along the line, sources placed by station only.
        QTest::addColumn<bool>("reversed");
        QTest::addColumn<int>("reshot"); // shot that repeats the source before it; -1: none
        QTest::newRow("on stations") << Source::OnStation << -1 << 0 << QVector<int>() << false << -1;
        QTest::newRow("on stations, one shot 7 ms late among 41")
            << Source::OnStation << 9 << 0 << QVector<int>() << false << -1;
        QTest::newRow("on stations, shot backwards") << Source::OnStation << 9 << 0 << QVector<int>() << true << -1;
        QTest::newRow("between stations, one shot 7 ms late")
            << Source::BetweenStations << 4 << 0 << QVector<int>() << false << -1;
        QTest::newRow("between stations, one missing station")
            << Source::BetweenStations << -1 << 1 << QVector<int>() << false << -1;
        QTest::newRow("between stations, two missing stations")
            << Source::BetweenStations << -1 << 2 << QVector<int>{10} << false << -1;
        QTest::newRow("a source shot twice into two spreads")
            << Source::OnStation << -1 << 0 << QVector<int>() << false << 12;
    }
    void reciprocity()
    {
        QFETCH(Source, source);
        QFETCH(int, shiftedShot);
        QFETCH(int, deadStations);
        QFETCH(QVector<int>, unpaired);
        QFETCH(bool, reversed);
        QFETCH(int, reshot);
        constexpr int shots = 42, channels = 560, step = 4;
        QVector<FbRecord> records;
        for (int s = 0; s < shots; ++s) {
            const int position = reversed ? shots - 1 - s : s;
            const int station = 300 + step * (s == reshot ? position - 1 : position);
            const double at = station + (source == Source::BetweenStations ? 0.5 : 0.0);
            // A re-shot records into a spread rolled on by two stations.
            const int first = 300 + step * position - channels / 2 + (s == reshot ? 2 : 0);
            QVector<FbRecord> shot = shotOnLine(s, at, first, channels, Curve::ThreeLayers);
            for (FbRecord &r : shot) {
                r.fb_time += s == shiftedShot ? 7.0f : 0.0f;
                r.source_x = reversed ? qQNaN() : r.source_x;
            }
            shot.erase(
                std::remove_if(shot.begin(), shot.end(),
                               [=](const FbRecord &r) { return r.g_stat >= 340 && r.g_stat < 340 + deadStations; }),
                shot.end());
            if (s == 6)
                shot[100].fb_time += 30.0f;
            records += shot;
        }
        const QString fileName = writeFile(m_dir, "line.fb", records);
        const Report report = judge(fileName);
        for (const qint64 recentBytes : {qint64(0), qint64(1)}) {
            Settings settings;
            settings.recentBytes = recentBytes;
            const Report read = judge(fileName, settings);
            QCOMPARE(read.pairs().size(), report.pairs().size());
            for (int k = 0; k < read.pairs().size(); ++k) {
                const ReciprocalPair &a = report.pairs()[k], &b = read.pairs()[k];
                QVERIFY2(
                    a.shotA == b.shotA && a.shotB == b.shotB && a.timeAB == b.timeAB && a.timeBA == b.timeBA,
                    qPrintable(QString("pair %1 differs when read again with %2 bytes held").arg(k).arg(recentBytes)));
            }
            QCOMPARE(read.repeats().size(), report.repeats().size());
        }

        const int paired = shots - unpaired.size();
        QCOMPARE(report.pairs().size(), paired * (paired - 1) / 2 - (reshot >= 0 ? 1 : 0));
        QCOMPARE(report.repeats().size(), reshot >= 0 ? 1 : 0);
        if (reshot >= 0) {
            const RepeatPair &r = report.repeats().first();
            QCOMPARE(std::make_pair(r.shotA, r.shotB), std::make_pair(reshot - 1, reshot));
            QVERIFY2(r.receivers >= 4 && std::abs(r.difference) < 1.5,
                     qPrintable(QString("repeat: %1 ms at %2 receivers").arg(r.difference).arg(r.receivers)));
        }
        for (int k = 1; k < report.pairs().size(); ++k) {
            const ReciprocalPair &a = report.pairs()[k - 1], &b = report.pairs()[k];
            QVERIFY2(
                std::make_pair(a.shotA, a.shotB) < std::make_pair(b.shotA, b.shotB),
                qPrintable(
                    QString("pair %1-%2 listed before %3-%4").arg(a.shotA).arg(a.shotB).arg(b.shotA).arg(b.shotB)));
        }
        for (const ReciprocalPair &p : report.pairs()) {
            const bool shifted = p.shotA == shiftedShot || p.shotB == shiftedShot;
            const QString pair = QString("pair %1-%2, difference %3").arg(p.shotA).arg(p.shotB).arg(p.difference());
            QVERIFY2(!unpaired.contains(p.shotA) && !unpaired.contains(p.shotB), qPrintable(pair));
            QVERIFY2(report.flagged(p) == shifted, qPrintable(pair));
            const auto position = [reshot](int shot) { return shot - (shot == reshot ? 1 : 0); };
            const int stations = step * (position(p.shotB) - position(p.shotA));
            const double expected = firstBreak(Curve::ThreeLayers, stations * Spacing);
            const double shift = p.shotA == shiftedShot ? 7.0 : 0.0;
            // Two noisy picks, interpolated across a kink of the curve.
            QVERIFY2(std::abs(p.timeAB - shift - expected) <= 2.0, qPrintable(pair + " time_ab off"));
        }
        // The late shot is named with its delay; every flagged pair is its.
        const QVector<Finding> late = findings(report, Kind::TimingError);
        QCOMPARE(late.size(), shiftedShot >= 0 ? 1 : 0);
        if (shiftedShot >= 0) {
            QCOMPARE(late.first().shot, shiftedShot);
            QVERIFY2(std::abs(late.first().value - 7.0f) < 0.5f,
                     qPrintable(QString("delay %1").arg(late.first().value)));
            QCOMPARE(late.first().count, qint64(shots - 1));
        }
        for (const Finding &f : findings(report, Kind::Reciprocity)) {
            QCOMPARE(f.shot, shiftedShot);
            QVERIFY(f.flags & Explained);
        }
        for (int s = 0; s < shots; ++s) {
            const ShotIndexEntry &e = report.index()[s];
            const ShotFit fit = fitShot(records.mid(e.firstRecord, e.lastRecord - e.firstRecord + 1));
            QCOMPARE(report.shots()[s].outliers, s == 6 ? 1 : 0);
            QCOMPARE(report.shots()[s].outliers, fit.outliers());
        }
        const QVector<Finding> outliers = findings(report, Kind::Outlier);
        QCOMPARE(outliers.size(), 1);
        // The outlier's other fields are checked against the file by the qc command's test.
        QCOMPARE(outliers[0].shot, 6);
        QCOMPARE(outliers[0].record, report.index()[6].firstRecord + 100);
        QVERIFY2(std::abs(outliers[0].value - 30.0f) < 2.0f, qPrintable(QString("residual %1").arg(outliers[0].value)));
    }

    // One pass counts the statuses and the picks that are none, calls out
    // a varying source value against the shot's most common one, a
    // repeated ffid and every non-finite value; progress rises to 100. The
    // check (no judging) finds the same.
    void fileStatistics()
    {
        QVector<FbRecord> records;
        for (int s = 0; s < 5; ++s)
            records += shotOnLine(s, 30 + 2 * s, 0, 60, Curve::TwoLayers);
        const int shot1 = 60, shot2 = 120;
        records[shot1].s_elev = 5;
        records[shot1 + 1].s_elev = 5;
        records[shot2 + 3].fb_time = qQNaN();
        records[shot2 + 4].group_x = qInf();
        records[shot2 + 5].fb_time = 0.0f; // not picked
        for (int k = 240; k < 300; ++k)
            records[k].ffid = 100;
        // Two shots too small to judge, the second with a varying source.
        for (int s = 0; s < 2; ++s) {
            QVector<FbRecord> small = shotOnLine(5 + s, 40 + 2 * s, 0, 3, Curve::TwoLayers);
            for (FbRecord &r : small) {
                r.ffid = 500 + s;
                r.fb_status = 2;
            }
            small[2].s_elev += s;
            records += small;
        }
        const QString fileName = writeFile(m_dir, "stats.fb", records);

        Analyzer analyzer(fileName);
        Report report;
        QVector<int> progress;
        QVERIFY(analyzer.run(&report, Progress([&progress](int p) { progress.append(p); })));
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QCOMPARE(progress.last(), 100);

        QCOMPARE(report.index().size(), 7);
        QCOMPARE(report.status0, qint64(5 * 20));
        QCOMPARE(report.status1, qint64(5 * 40));
        QCOMPARE(report.statusOther, qint64(6));
        QCOMPARE(report.notPicked, qint64(1));
        for (int s = 5; s < 7; ++s) {
            const ShotSummary small = report.shots()[s];
            QCOMPARE(small.picks, 3);
            QCOMPARE(small.notJudged, 3);
            QCOMPARE(small.outliers, 0);
            QVERIFY2(std::isnan(small.rmsResidual) && std::isnan(small.velocity[Negative]) &&
                         std::isnan(small.intercept[Positive]),
                     "a shot too small to judge has a fit");
            QCOMPARE(small.varyingColumns, s == 6 ? 1u << FbColumns::SElev : 0u);
        }
        QCOMPARE(report.shots()[1].varyingColumns, 1u << FbColumns::SElev);
        QCOMPARE(report.shots()[2].nonFinite, 2);
        QCOMPARE(report.shots()[2].notPicked, 1);
        QCOMPARE(report.shots()[2].notJudged, 2);
        QCOMPARE(report.notJudged, qint64(2 + 2 * 3));
        QVERIFY(!report.clean());

        Settings checkOnly;
        checkOnly.judgePicks = false;
        const Report check = judge(fileName, checkOnly);
        for (const Report *r : {static_cast<const Report *>(&report), &check}) {
            const QVector<Finding> varying = findings(*r, Kind::VaryingSource);
            QCOMPARE(varying.size(), 2);
            QCOMPARE(varying[0].shot, 1);
            QCOMPARE(int(varying[0].column), int(FbColumns::SElev));
            QCOMPARE(varying[0].count, qint64(2));
            const QVector<Finding> repeated = findings(*r, Kind::RepeatedFfid);
            QCOMPARE(repeated.size(), 1);
            QCOMPARE(repeated[0].shot, 4);
            QCOMPARE(repeated[0].otherShot, 0);
            const QVector<Finding> bad = findings(*r, Kind::NonFinite);
            QCOMPARE(bad.size(), 2);
            const int columns[] = {FbColumns::FbTime, FbColumns::GroupX};
            for (int k = 0; k < 2; ++k) {
                QCOMPARE(bad[k].shot, 2);
                QCOMPARE(bad[k].record, shot2 + 3 + k);
                QCOMPARE(int(bad[k].column), columns[k]);
            }
            QCOMPARE(r->count(Kind::NotFbFile), qint64(0));
        }
        QCOMPARE(check.index(), report.index());
        QCOMPARE(check.status0 + check.status1 + check.statusOther, qint64(records.size()));
        QCOMPARE(check.notPicked, report.notPicked);
        QCOMPARE(check.count(Kind::Outlier) + check.pairs().size(), qint64(0));
    }

    // The same file judged with 1, 2 and 7 threads, and with findings
    // spilled to disk past a small budget, gives the same report, receivers
    // and per-receiver residuals and statics; a receiver 3 ms late in every
    // shot stands out in its mean residual.
    void sameForEveryThreadCount()
    {
        QVector<FbRecord> records;
        for (int s = 0; s < 60; ++s) {
            QVector<FbRecord> shot = shotOnLine(s, 200 + 2 * s, 150 + 2 * s, 96, Curve::ThreeLayers);
            for (FbRecord &r : shot) {
                r.fb_time += s == 17 ? 9.0f : s == 40 ? -12.0f : 0.0f;
                r.fb_time += r.g_stat == 230 ? 3.0f : 0.0f;
                r.ffid = s == 33 ? 105 : r.ffid;
            }
            shot[(s * 7) % 96].fb_time += 25.0f;
            records += shot;
        }
        const QString fileName = writeFile(m_dir, "threads.fb", records);
        Settings one;
        one.threads = 1;
        one.collectReceivers = true;
        const Report first = judge(fileName, one);
        const QVector<ReceiverStatic> &statics = first.receiverStatics();
        for (const StationResidual &station : first.stations()) {
            const double expected = station.stat == 230 ? 3.0 : 0.0;
            QVERIFY2(std::abs(station.meanResidual - expected) < 1.0,
                     qPrintable(QString("station %1: mean %2 ms").arg(station.stat).arg(station.meanResidual)));
            const quint64 key = positionKey(station.x, station.y);
            const auto it = std::lower_bound(statics.cbegin(), statics.cend(), key,
                                             [](const ReceiverStatic &s, quint64 k) { return s.key < k; });
            QVERIFY(it != statics.cend() && it->key == key);
            QVERIFY2(std::abs(it->meanMs() - expected) < 1.0,
                     qPrintable(QString("station %1: static %2 ms").arg(station.stat).arg(it->meanMs())));
        }
        QVERIFY(first.stations().size() > 200 && first.stations().size() <= first.receivers().size());
        QVERIFY(first.count(Kind::Outlier) >= 50);
        // Shot 15 fires at station 230: its pairs set its picks against that
        // receiver's, 3 ms late, and name it 3 ms early, beside shots 17 and 40.
        QCOMPARE(first.count(Kind::TimingError), qint64(3));
        QCOMPARE(first.count(Kind::RepeatedFfid), qint64(1));
        for (int threads : {2, 7}) {
            Settings settings;
            settings.threads = threads;
            settings.collectReceivers = true;
            const Report other = judge(fileName, settings);
            QCOMPARE(other.index(), first.index());
            const QString differs = FbTest::reportDifference(other, first) +
                                    FbTest::vectorDifference("receivers", other.receivers(), first.receivers()) +
                                    FbTest::vectorDifference("stations", other.stations(), first.stations());
            QVERIFY2(differs.isEmpty(), qPrintable(QString("%1 with %2 threads").arg(differs).arg(threads)));
        }
        // Findings past the memory budget are read back from disk alike.
        const QVector<Finding> outliers = findings(first, Kind::Outlier);
        FindingList list;
        list.setMemoryBudget(1);
        for (const Finding &f : outliers)
            QVERIFY(list.append(f));
        for (int pass = 0; pass < 2; ++pass) {
            const QString differs = FbTest::listDifference("read back", list, first.findings(Kind::Outlier));
            QVERIFY2(differs.isEmpty(), qPrintable(differs));
        }
        for (int i = outliers.size() - 1; i >= 0; --i) {
            const Finding f = list.at(i);
            QVERIFY(std::memcmp(&f, &outliers[i], sizeof f) == 0);
        }
    }

    // A list ordered by shot, some of it on disk, with one shot's findings
    // replaced: the rest stays in order around the new ones, wherever the
    // shot lies among the list's pieces, and a copy taken before keeps what
    // it had. Shot 2's 3,000 findings lie across pieces.
    void findingListReplaceShot_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("replacements");
        QTest::newRow("a shot across pieces, all in memory") << qint64(1) << 2 << 5;
        QTest::newRow("a shot across pieces, on disk") << qint64(0) << 2 << 5;
        QTest::newRow("a shot emptied, on disk") << qint64(0) << 3 << 0;
        QTest::newRow("a shot grown past a piece") << qint64(0) << 1 << 9000;
        QTest::newRow("a shot the list lacks, inside it") << qint64(0) << 4 << 3;
        QTest::newRow("the first shot, before all") << qint64(0) << -1 << 2;
        QTest::newRow("a shot after all") << qint64(0) << 9 << 2;
    }
    void findingListReplaceShot()
    {
        QFETCH(qint64, budget);
        QFETCH(int, shot);
        QFETCH(int, replacements);
        // Shots 0..7 but 4; shot 2 has 3,000 findings, the others 1,500.
        std::vector<Finding> want;
        FindingList list;
        list.setMemoryBudget(budget == 0 ? 1 : qint64(1) << 20);
        for (qint32 s = 0; s < 8; ++s) {
            for (int k = 0; s != 4 && k < (s == 2 ? 3000 : 1500); ++k) {
                Finding f;
                f.shot = s;
                f.record = 10000 * s + k;
                want.push_back(f);
                QVERIFY(list.append(f));
            }
        }
        const FindingList copy = list;
        const std::vector<Finding> before = want;
        std::vector<Finding> replacement(static_cast<size_t>(replacements));
        for (int k = 0; k < replacements; ++k)
            replacement[size_t(k)].shot = shot, replacement[size_t(k)].record = -1 - k;
        QVERIFY(list.replaceShot(shot, replacement));
        const auto at = std::find_if(want.begin(), want.end(), [&](const Finding &f) { return f.shot >= shot; });
        const auto place = at - want.begin();
        want.erase(at, std::find_if(at, want.end(), [&](const Finding &f) { return f.shot != shot; }));
        want.insert(want.begin() + place, replacement.begin(), replacement.end());

        const auto holds = [](const FindingList &got, const std::vector<Finding> &expected) {
            QCOMPARE(got.size(), qint64(expected.size()));
            FindingList::Reader reader(got);
            for (size_t k = 0; k < expected.size(); ++k) {
                const Finding *f = reader.next();
                QVERIFY2(f && f->shot == expected[k].shot && f->record == expected[k].record,
                         qPrintable(QString::number(k)));
                QCOMPARE(got.at(qint64(k)).record, expected[k].record);
            }
            QVERIFY(!reader.next());
        };
        holds(list, want);
        holds(copy, before);
        QCOMPARE(list.countOfShot(shot), qint64(replacements));
        QCOMPARE(list.countOfShot(2), qint64(shot == 2 ? replacements : 3000));
    }

    // A shot's time at a point of its spread: where the point and the
    // receivers have coordinates they decide (a point off the line has no
    // time, a station number on another receiver does not count), a missing
    // receiver is bridged along the fitted curve (also at the crossover,
    // where a straight line cuts the corner), and stations serve only a
    // point without coordinates. A pick a cycle off its neighbours is read
    // where they lie; one a few ms off (its station's static) stands.
    // Receivers every 10 m from the source at 0, times of a 600 m/s direct
    // arrival and a 4000 m/s refractor (crossover at 70.6 m), the pick at
    // 400 m 12 ms late, the one at 500 m 3 ms; the one at 70 m is missing.
    // Behind the source a short end misses it too: too few picks for a
    // curve of its own, or one direct pick before the gap, which its own
    // curve cannot bend at.
    void spreadTimeAt_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("station");
        QTest::addColumn<double>("expected");     // NaN: no time
        QTest::addColumn<QVector<int>>("behind"); // receivers behind the source, in 10 m
        const QVector<int> four{5, 6, 8, 9}, fromSixty{6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
        const auto truth = [](double h) { return std::min(h / 0.6, 100.0 + h / 4.0); };
        QTest::newRow("missing receiver at the crossover") << 70.0 << 0.0 << 1007 << truth(70) << four;
        QTest::newRow("missing receiver, a hair off the line") << 70.0 << 1.0 << 1007 << truth(70) << four;
        QTest::newRow("missing receiver at the crossover, on the short end")
            << -70.0 << 0.0 << 993 << truth(70) << four;
        QTest::newRow("missing receiver at the crossover, one direct pick behind")
            << -70.0 << 0.0 << 993 << truth(70) << fromSixty;
        QTest::newRow("on a receiver, another's station") << 100.0 << 0.0 << 1030 << truth(100) << four;
        QTest::newRow("on a receiver picked a cycle late") << 400.0 << 0.0 << 1040 << truth(400) << four;
        QTest::newRow("on a receiver with a static") << 500.0 << 0.0 << 1050 << truth(500) + 3.0 << four;
        QTest::newRow("between receivers, 4 m off the line") << 95.0 << 4.0 << 1009 << qQNaN() << four;
        QTest::newRow("30 m off the line at a station") << 100.0 << 30.0 << 1010 << qQNaN() << four;
        QTest::newRow("no coordinates: by station") << qQNaN() << qQNaN() << 1030 << truth(300) << four;
    }
    void spreadTimeAt()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(int, station);
        QFETCH(double, expected);
        QFETCH(QVector<int>, behind);
        QVector<FbRecord> records;
        const auto receiver = [&records](int k) {
            FbRecord r;
            r.ffid = 1;
            r.channel = k + 10;
            r.offset = 10 * k;
            r.group_x = float(10 * k);
            r.s_line = r.g_line = 1;
            r.s_stat = 1000;
            r.g_stat = 1000 + k;
            r.fb_time = float(std::min(10.0 * std::abs(k) / 0.6, 100.0 + 10.0 * std::abs(k) / 4.0));
            r.fb_time += k == 40 ? 12.0f : k == 50 ? 3.0f : 0.0f;
            r.fb_status = 1;
            records.append(r);
        };
        for (int k : behind)
            receiver(-k);
        for (int k = 1; k <= 60; ++k) {
            if (k != 7)
                receiver(k);
        }
        const ShotFit fit = fitShot(records);
        SpreadView view;
        view.build(records.constData(), records.size());
        view.setFit(&fit);
        const double t = view.timeAt(1, station, x, y);
        if (std::isnan(expected))
            QVERIFY2(std::isnan(t), qPrintable(QString::number(t)));
        else
            QVERIFY2(std::abs(t - expected) < 0.5, qPrintable(QString("%1 for %2").arg(t).arg(expected)));
    }

    // A source stands where its offsets put it when the survey places it
    // within a receiver spacing of its offset-0 receiver (a metre of survey
    // error on 2 m stations); elsewhere its surveyed position holds: a
    // source off the line shares no receiver, and one a few stations from
    // its offset-0 receiver is a fault of its own. Receivers every 2 m
    // along x; the source's surveyed position given.
    void sourcePosition_data()
    {
        QTest::addColumn<double>("sourceX");
        QTest::addColumn<double>("sourceY");
        QTest::addColumn<bool>("zeroOffset"); // a receiver at x = 20 has offset 0
        QTest::addColumn<double>("expectedX");
        QTest::addColumn<double>("expectedY");
        QTest::newRow("1.4 m off its receiver on 2 m stations") << 21.0 << 1.0 << true << 20.0 << 0.0;
        QTest::newRow("6 m off its offset-0 receiver") << 26.0 << 0.0 << true << 26.0 << 0.0;
        QTest::newRow("off the line, no offset 0") << 20.0 << 1.0 << false << 20.0 << 1.0;
    }
    void sourcePosition()
    {
        QFETCH(double, sourceX);
        QFETCH(double, sourceY);
        QFETCH(bool, zeroOffset);
        QFETCH(double, expectedX);
        QFETCH(double, expectedY);
        QVector<FbRecord> records;
        for (int k = 0; k < 21; ++k) {
            FbRecord r;
            r.group_x = float(2 * k);
            r.offset = 2 * k - 20 + (zeroOffset ? 0 : 1);
            r.source_x = float(sourceX);
            r.source_y = float(sourceY);
            records.append(r);
        }
        const QPointF at = FbQc::sourcePosition(records.constData(), records.size());
        QCOMPARE(at, QPointF(expectedX, expectedY));
    }

    // The receivers of a line every 10 m (x = 60 missing), each late in
    // its 4 picks by 1 ms + 0.5 ms per station, times scale, the picks
    // scattering about that by scatter ms.
    static QVector<ReceiverStatic> lineStatics(double scale = 1.0, double scatter = 0.0)
    {
        QVector<ReceiverStatic> sums;
        for (int k = 0; k <= 10; ++k) {
            const double ms = scale * (1.0 + 0.5 * k);
            if (k != 6)
                sums.append({positionKey(float(10 * k), 0.0f), 4 * qint64(ms * ReceiverStatic::PerMs), 4,
                             qint64((4 * ms * ms + 3 * scatter * scatter) * ReceiverStatic::PerMs)});
        }
        std::sort(sums.begin(), sums.end(),
                  [](const ReceiverStatic &a, const ReceiverStatic &b) { return a.key < b.key; });
        return sums;
    }

    // The ground on that line: under a source from the receivers about it,
    // and under a side's refractor the mean static of the receivers within
    // the span's distances from the source on its side only, whether or not
    // the shot picked them. Means their picks' scatter may explain are
    // drawn toward no static by that share: the line's means spread by
    // 14.625 ms² about none, 4 picks scattering by 4 ms make 4 ms² of it
    // (all of it where the means are a tenth).
    void groundStatics_data()
    {
        QTest::addColumn<double>("scale"); // of the line's statics
        QTest::addColumn<double>("scatter");
        QTest::addColumn<double>("x"); // the source
        QTest::addColumn<double>("y");
        QTest::addColumn<float>("nearest"); // NaN: no span
        QTest::addColumn<float>("farthest");
        QTest::addColumn<float>("sideX"); // the span's mean position; NaN: the ground under the source
        QTest::addColumn<double>("ms");
        const float none = float(NaN);
        QTest::newRow("source on a receiver") << 1.0 << 0.0 << 30.0 << 0.0 << none << none << none << 2.5;
        QTest::newRow("source between two") << 1.0 << 0.0 << 35.0 << 0.0 << none << none << none << 2.75;
        QTest::newRow("source off the line beside one") << 1.0 << 0.0 << 30.0 << 15.0 << none << none << none << 2.5;
        QTest::newRow("source across a missing one") << 1.0 << 0.0 << 60.0 << 0.0 << none << none << none << 4.0;
        QTest::newRow("source just past the end") << 1.0 << 0.0 << -4.0 << 0.0 << none << none << none << 1.0;
        QTest::newRow("source a spacing past the end") << 1.0 << 0.0 << -10.0 << 0.0 << none << none << none << 0.0;
        QTest::newRow("source far off the line") << 1.0 << 0.0 << 30.0 << 45.0 << none << none << none << 0.0;
        QTest::newRow("refractor ahead, across a missing one")
            << 1.0 << 0.0 << 20.0 << 0.0 << 20.0f << 40.0f << 45.0f << 3.25;
        QTest::newRow("refractor behind") << 1.0 << 0.0 << 50.0 << 0.0 << 20.0f << 40.0f << 20.0f << 2.0;
        QTest::newRow("refractor ahead, off the line") << 1.0 << 0.0 << 20.0 << 15.0 << 25.0f << 33.6f << 45.0f << 3.25;
        QTest::newRow("the direct arrival's side") << 1.0 << 0.0 << 20.0 << 0.0 << none << none << 45.0f << 0.0;
        QTest::newRow("source on a receiver, picks scattering")
            << 1.0 << 4.0 << 30.0 << 0.0 << none << none << none << 2.5 * 10.625 / 14.625;
        QTest::newRow("refractor ahead, means within their picks' scatter")
            << 0.1 << 4.0 << 20.0 << 0.0 << 20.0f << 40.0f << 45.0f << 0.0;
        QTest::newRow("refractor past the last receiver")
            << 1.0 << 0.0 << 100.0 << 0.0 << 20.0f << 40.0f << 130.0f << 0.0;
    }
    void groundStatics()
    {
        QFETCH(double, scale);
        QFETCH(double, scatter);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(float, nearest);
        QFETCH(float, farthest);
        QFETCH(float, sideX);
        QFETCH(double, ms);
        const GroundStatics ground(lineStatics(scale, scatter));
        QCOMPARE(ground.spacing(), 10.0);
        InterceptSpan span;
        span.nearest = nearest, span.farthest = farthest, span.x = sideX;
        const double found = std::isnan(sideX) ? ground.at(x, y) : ground.underSpan(x, y, span);
        QVERIFY2(std::abs(found - ms) < 1e-6, qPrintable(QString::number(found)));
    }

    // The near surface under a source: on a station that station's static,
    // between two the ground between theirs, which changes gradually. Each
    // pick less its twin's without statics is the static under the source
    // plus the receiver's. A source on a station reads it at offset 0, whose
    // pick comes up beside the hole and crosses that ground once: it must be
    // the static the station shows as a receiver in the other shots. One
    // between two reads it once at each neighbour, half each. A receiver's
    // static left from one shot must be the one left from the next.
    void staticUnderASource_data()
    {
        QTest::addColumn<bool>("between");
        QTest::newRow("on stations") << false;
        QTest::newRow("between stations") << true;
    }
    void staticUnderASource()
    {
        QFETCH(bool, between);
        FbGenerator::Options bare;
        bare.shots = 30;
        bare.channels = 48;
        bare.shotInterval = 1;
        bare.noiseMs = 0.0;
        bare.velocities = {600, 2000};
        bare.crossovers = {80};
        bare.sourceBetweenStations = between;
        FbGenerator::Options statics = bare;
        statics.stationStaticMs = 3.0;
        QHash<qint32, double> before; // g_stat -> ms, from the shot before
        for (int shot = 0; shot < bare.shots; ++shot) {
            const QVector<FbRecord> a = FbGenerator::shotRecords(statics, shot),
                                    b = FbGenerator::shotRecords(bare, shot);
            QHash<qint32, double> receiver;
            for (int i = 0; i < a.size(); ++i)
                receiver.insert(a[i].g_stat, a[i].fb_time - b[i].fb_time);
            const qint32 s = a[0].s_stat;
            const double source = between ? (receiver.value(s) + receiver.value(s + 1)) / 4.0 : receiver.value(s);
            for (auto it = receiver.begin(); it != receiver.end(); ++it) {
                if (between || it.key() != s)
                    *it -= source;
                // Times are rounded to 1/8 ms: each shot's reading is within 3/16 ms.
                QVERIFY2(!before.contains(it.key()) || std::abs(*it - before.value(it.key())) <= 0.375,
                         qPrintable(QString("shot %1, station %2: %3 ms, %4 before")
                                        .arg(shot)
                                        .arg(it.key())
                                        .arg(*it)
                                        .arg(before.value(it.key()))));
            }
            before = receiver;
        }
    }

    // A late shot is named with its delay however the survey was shot: by
    // its pairs on a split spread, by its time at the source against its
    // neighbours' on an end-on spread, whose shots compare no pair, also
    // beside a run of late neighbours, among shots picked on later arrivals
    // in places or with its own far picks partly a lobe late; the clean
    // twin names none. Every
    // flagged pair is a late shot's. On a 3-D patch of receiver lines side by
    // side and source lines across them, the receiver spacing is that along
    // a line, not the gap to the next line's receivers: sources on
    // neighbouring lines are no repeat and a source between lines pairs with
    // no one through two lines' receivers, while a source fired twice is
    // still a repeat and every pair of a late shot is flagged. A clean line
    // of stations 2 m apart over three layers, whose sources are surveyed a
    // metre or so off the receivers they stand on, flags no pair.
    void lateShotOnEveryGeometry_data()
    {
        // Its shifts are the late shots, all late by one delay; a repeated
        // position is the one repeat.
        QTest::addColumn<FbGenerator::Options>("survey");
        QTest::addColumn<bool>("bySourceDelay");
        // How far an estimate may be off: on an end-on line the static under
        // a source is known only as well as its receivers show it.
        QTest::addColumn<double>("within");
        // How far a shot on time may be estimated off: a refractor's line
        // read at offset 0 carries each fit's slope error over the whole
        // distance, more so the further the source stands off the line.
        QTest::addColumn<double>("onTime");
        QTest::addColumn<int>("deeper"); // the shot whose far picks reach a faster layer; -1: none
        // The shot picked on noise and later arrivals, its fit's picks mostly
        // outliers; -1: none.
        QTest::addColumn<int>("onNoise");
        QTest::addColumn<int>("minPairs");
        QTest::addColumn<bool>("everyLatePairFlagged");
        // The shot on time picked later the farther out; -1: none.
        QTest::addColumn<int>("drifting");
        // The shots before this one are a source line of their own, each
        // picked late by its own 0-4 ms; 0: none.
        QTest::addColumn<int>("roughLine");
        // Statuses as a picker writes them: every pick confident but the
        // one at a source whose trace starts after its first break, which
        // is doubtful and read this many ms into the record; 0: the
        // generator's mix, and such a pick 15 ms late; below 0: every pick at
        // a source doubtful as picked, the others confident.
        QTest::addColumn<double>("cutOffPick");
        const auto line = [](FbGenerator::Spread spread, double late, const QVector<int> &shots) {
            FbGenerator::Options o;
            o.shots = 40;
            o.channels = 48;
            o.spread = spread;
            o.velocities = {600, 2000, 4000};
            o.crossovers = {80, 500};
            o.stationStaticMs = 1.5;
            o.triggerDelayMs = 3.0;
            o.sourceDelayMs = 0.5;
            for (int shot : shots)
                o.shifts.append({shot, late});
            return o;
        };
        const auto split = FbGenerator::Spread::Split, endOn = FbGenerator::Spread::EndOn;
        QTest::newRow("split, 10 ms late")
            << line(split, 10, {19}) << false << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        QTest::newRow("end-on, 10 ms late")
            << line(endOn, 10, {19}) << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Below the tolerance, told by many pairs or neighbours that agree.
        QTest::newRow("split, 3.5 ms late")
            << line(split, 3.5, {19}) << false << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        QTest::newRow("end-on, 3.5 ms early")
            << line(endOn, -3.5, {19}) << true << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Two neighbours before it, six after.
        QTest::newRow("end-on, 3.5 ms late, third from the start")
            << line(endOn, 3.5, {2}) << true << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Its source's trace starts after the first break: the picker's
        // doubtful pick there reads it on time, its refractor does not.
        QTest::newRow("end-on, 4 ms early, picked, its source trace cut off")
            << line(endOn, -4, {19}) << true << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 5.0;
        QTest::newRow("end-on, 12 ms early")
            << line(endOn, -12, {19}) << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        QTest::newRow("end-on, clean") << line(endOn, 0, {}) << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0
                                       << 0.0;
        // Its pairs say 1 ms near and 4.5 ms far: a bias, not a timing error.
        QTest::newRow("split, a shot picked later the farther out")
            << line(split, 0, {}) << false << 1.5 << 3.5 << -1 << -1 << 0 << false << 19 << 0 << 0.0;
        // The last shot's neighbours are half late: it is on time all the same.
        QTest::newRow("end-on, three late before the last")
            << line(endOn, 12, {36, 37, 38}) << true << 2.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Hills the picks follow: each shot's intercepts on the datum of its neighbours.
        FbGenerator::Options hills = line(endOn, 13, {19, 20});
        hills.elevationVelocity = 2500;
        QTest::newRow("end-on, hills, two late side by side")
            << hills << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Steep hills over slow ground: the direct arrival, kept as picked,
        // reaches hundreds of metres, and each shot's refractors are taken
        // to the height where it ends; one fit takes 0.76 ms/m off its
        // heights, its neighbours' 0.83. Their intercepts still compare on
        // the sources' heights, and the doubted times at the sources stand
        // aside.
        FbGenerator::Options steep;
        steep.shots = 40, steep.channels = 48, steep.seed = 6;
        steep.spread = endOn, steep.elevationVelocity = 1200;
        QTest::newRow("end-on, steep hills, slow ground, every source pick doubtful, clean")
            << steep << true << 1.5 << 3.0 << -1 << -1 << 0 << false << -1 << 0 << -1.0;
        // Hills under noisy picks: fits that took heights off and fits that
        // did not compare their times at the sources alone, and one such
        // reading a few ms off its neighbours' is within its own picks'
        // scatter.
        FbGenerator::Options noisyHills;
        noisyHills.shots = 40, noisyHills.channels = 48, noisyHills.seed = 1;
        noisyHills.spread = endOn, noisyHills.elevationVelocity = 1200, noisyHills.noiseMs = 2.0;
        QTest::newRow("end-on, hills, noisy picks, clean")
            << noisyHills << true << 1.5 << 5.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Buried sources on hills: each pair's refracted picks differ by its
        // sources' depths, which neither names a shot late nor flags a pair.
        FbGenerator::Options buried = line(split, 12, {8, 19, 30});
        buried.elevationVelocity = 1000;
        QTest::newRow("split, hills, late shots")
            << buried << false << 0.8 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Sources off the line: a short side's farthest intercept is its
        // direct arrival's on one shot and a refractor's on the next.
        FbGenerator::Options offLine = line(split, 12, {18, 19});
        offLine.velocities.clear(), offLine.crossovers.clear();
        offLine.channels = 96;
        offLine.sourceCrosslineMin = 5, offLine.sourceCrosslineMax = 50;
        QTest::newRow("split, off the line, two late side by side")
            << offLine << true << 1.5 << 1.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Intercepts falling shot by shot over a dipping refractor: at the
        // line's ends the neighbours all lie on one side of the trend.
        FbGenerator::Options dipping = line(endOn, 11, {1, 2, 37}), dippingClean = line(endOn, 0, {});
        dipping.dipDegrees = dippingClean.dipDegrees = -1.5;
        QTest::newRow("end-on, dipping, late at both ends")
            << dipping << true << 2.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Ground under the sources as uneven as the timing errors are
        // small: each shot's and neighbour's measures lose the static its
        // receivers show in the other shots.
        FbGenerator::Options statics = line(endOn, 6, {12, 27});
        statics.stationStaticMs = 4.0;
        QTest::newRow("end-on, statics under the sources")
            << statics << true << 1.5 << 3.5 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Near picks off by 0-3 ms shot by shot, as on clipped near traces:
        // the time at the source scatters, the refractor's line does not.
        FbGenerator::Options nearOff = line(endOn, 10, {20});
        for (int shot = 0; shot < nearOff.shots; ++shot)
            nearOff.skipRuns.append({shot, 1, 4, 0.8 * (shot * 7 % 5)});
        QTest::newRow("end-on, near picks off shot by shot")
            << nearOff << true << 0.8 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Every third of the late shot's far picks a lobe late, within the
        // cut: its refractor's line is read through its picks on the first
        // break, not through the least-squares line they pull late.
        FbGenerator::Options leaning = line(endOn, 10, {20});
        for (int channel = 24; channel <= leaning.channels; channel += 3)
            leaning.skipRuns.append({20, channel, 1, 8.0});
        QTest::newRow("end-on, a late shot's far picks partly a lobe late")
            << leaning << true << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // One shot's far picks reach a faster layer below its neighbours'
        // deepest: its farthest intercept is of another refractor.
        QTest::newRow("end-on, one shot reaching deeper")
            << line(endOn, 10, {12}) << true << 1.5 << 2.0 << 20 << -1 << 0 << false << -1 << 0 << 0.0;
        // A source off the line beyond the crossover whose near pick is
        // rejected shows only the refractor on both sides: its intercept is
        // no time at the source to set against the neighbours'. The slow
        // ground so thin that the near receiver beside a source off the line
        // is its only direct pick.
        FbGenerator::Options thin = line(split, 0, {});
        thin.shots = 60, thin.channels = 120;
        thin.velocities = {600, 2400}, thin.crossovers.clear(), thin.thicknesses = {10};
        thin.sourceCrosslineMin = 2, thin.sourceCrosslineMax = 10;
        QTest::newRow("split, 2-10 m off the line, thin top layer, clean")
            << thin << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        QTest::newRow("end-on, dipping, clean")
            << dippingClean << true << 1.5 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Its times say nothing of its timing, nor of its neighbours'.
        QTest::newRow("end-on, a shot picked on noise")
            << line(endOn, 10, {22}) << true << 1.5 << 2.0 << -1 << 20 << 0 << false << -1 << 0 << 0.0;
        FbGenerator::Options patch;
        patch.shots = 48;
        patch.channels = 4 * 24;
        patch.receiverLines = 4;
        patch.lineSpacing = 100;
        patch.shotInterval = 4;
        patch.velocities = {600, 2000, 4000};
        patch.crossovers = {80, 500};
        FbGenerator::Options repeat = patch, wide = patch, between = patch, fine;
        repeat.repeatedPosition.append({2, 13});
        wide.lineSpacing = 200;
        wide.shifts.append({21, 8.0});
        between.sourcesPerLine = 7;
        QTest::newRow("patch lines 100 m apart, a source fired twice")
            << repeat << false << 1.5 << 2.0 << -1 << -1 << 340 << true << -1 << 0 << 0.0;
        QTest::newRow("patch lines 200 m apart, one shot 8 ms late")
            << wide << false << 1.5 << 2.0 << -1 << -1 << 340 << true << -1 << 0 << 0.0;
        QTest::newRow("patch, sources on and between the lines")
            << between << false << 1.5 << 2.0 << -1 << -1 << 200 << true << -1 << 0 << 0.0;
        fine.shots = 60;
        fine.channels = 48;
        fine.seed = 4;
        fine.groupInterval = 2;
        fine.velocities = {300, 1200, 2500};
        fine.crossovers = {9, 30};
        // Shots picked well beside shots picked poorly: each source line's
        // delays scatter by its own picking, which the other's neither hides
        // nor lends.
        QTest::newRow("split, two source lines, one picked poorly")
            << line(split, 3.5, {30}) << false << 1.0 << 3.5 << -1 << -1 << 0 << false << -1 << 20 << 0.0;
        // A short line of uneven sources, two shots far late: the one
        // below the tolerance stands out of the others' scatter, not of one
        // widened by its own delay and theirs.
        FbGenerator::Options uneven = line(split, 0, {});
        uneven.shots = 24, uneven.sourceDelayMs = 3.0, uneven.seed = 7;
        uneven.shifts = {{5, -4.0}, {9, 6.0}, {17, 13.0}};
        QTest::newRow("split, 24 uneven sources, one 4 ms early")
            << uneven << false << 1.0 << 2.5 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        // Two late shots side by side on a line whose other shots are
        // mostly picked on later arrivals within 500 m of their sources:
        // their pairs say anything, and what their median makes of their
        // delay would spoil their good pairs with the late shots.
        FbGenerator::Options noisy = line(split, 0, {});
        noisy.shots = 24, noisy.channels = 96;
        noisy.shifts = {{3, -7.4}, {4, 19.5}};
        for (int shot = 8; shot < noisy.shots; ++shot) {
            for (int channel = 29; channel < 69; channel += 4)
                noisy.skipRuns.append({shot, channel, 4, 15.0 + 7.0 * (channel * 5 % 9)});
        }
        QTest::newRow("split, two late among shots picked on later arrivals")
            << noisy << false << 1.0 << 2.0 << -1 << -1 << 0 << false << -1 << 0 << 0.0;
        QTest::newRow("line of 2 m stations")
            << fine << false << 1.5 << 2.0 << -1 << -1 << 101 << true << -1 << 0 << 0.0;
    }
    void lateShotOnEveryGeometry()
    {
        QFETCH(FbGenerator::Options, survey);
        QFETCH(bool, bySourceDelay);
        QFETCH(double, within);
        QFETCH(double, onTime);
        QFETCH(int, deeper);
        QFETCH(int, onNoise);
        QFETCH(int, minPairs);
        QFETCH(bool, everyLatePairFlagged);
        QFETCH(int, drifting);
        QFETCH(int, roughLine);
        QFETCH(double, cutOffPick);
        QVector<int> lateShots;
        QHash<int, double> late;
        for (const FbGenerator::ShotShift &shift : qAsConst(survey.shifts)) {
            lateShots << shift.shot;
            late.insert(shift.shot, shift.ms);
        }
        // Shots picked on later arrivals in places have no delay to tell,
        // and their pairs there are flagged.
        QSet<int> misPicked;
        for (const FbGenerator::SkipRun &run : qAsConst(survey.skipRuns)) {
            if (run.ms > 5.0)
                misPicked.insert(run.shot);
        }
        QVector<FbRecord> records;
        for (int shot = 0; shot < survey.shots; ++shot) {
            QVector<FbRecord> picks = FbGenerator::shotRecords(survey, shot);
            for (FbRecord &r : picks) {
                const double beyond = std::abs(r.offset) - 800.0;
                if (shot == deeper && beyond > 0.0 && r.fb_time > 0.0f)
                    r.fb_time -= float(beyond * (1000.0 / 4000.0 - 1000.0 / 6000.0));
                if (shot == drifting && r.fb_time > 0.0f)
                    r.fb_time += float(1.0 + 0.006 * std::abs(r.offset));
                if (shot < roughLine) {
                    r.s_line += 1;
                    r.fb_time += r.fb_time > 0.0f ? float(shot * 7 % 11) * 0.4f : 0.0f;
                }
                if (shot == onNoise && r.channel % 4 != 0)
                    r.fb_time = float(37 * r.channel % 300);
                // A shot triggered early starts its record after the first
                // break at its source: that trace is picked on a later arrival.
                if (cutOffPick != 0.0)
                    r.fb_status = cutOffPick < 0.0 && r.offset == 0 ? 1 : 0;
                if (r.fb_time <= 0.0f && survey.triggerDelayMs > 0.0)
                    r.fb_time = cutOffPick > 0.0 ? float(cutOffPick) : r.fb_time + 15.0f, r.fb_status = 1;
            }
            records += picks;
        }
        const Report report = judge(writeFile(m_dir, "geometry.fb", records));
        // Its estimate is of its timing, not of the layers it reached.
        if (deeper >= 0) {
            const TimingEstimate *t = report.timingOf(deeper);
            QVERIFY2(t && std::abs(t->delay) < within, qPrintable(QString("delay %1").arg(t ? t->delay : NaN)));
        }
        for (const TimingEstimate &t : report.timing()) {
            QVERIFY2(lateShots.contains(t.shot) || misPicked.contains(t.shot) || std::abs(t.delay) < onTime,
                     qPrintable(QString("shot %1 on time: delay %2").arg(t.shot).arg(t.delay)));
        }
        const QVector<Finding> named = findings(report, Kind::TimingError);
        QCOMPARE(named.size(), lateShots.size());
        for (int k = 0; k < named.size(); ++k) {
            QCOMPARE(named[k].shot, lateShots[k]);
            QCOMPARE(bool(named[k].flags & BySourceDelay), bySourceDelay);
            QVERIFY2(std::abs(named[k].value - late.value(named[k].shot)) < within,
                     qPrintable(QString("shot %1: delay %2").arg(named[k].shot).arg(named[k].value)));
        }
        // Every flagged pair is a late shot's, whatever its sources' depths.
        for (const Finding &f : findings(report, Kind::Reciprocity)) {
            if (misPicked.contains(f.shot) || misPicked.contains(f.otherShot))
                continue;
            QVERIFY2((f.flags & Explained) && lateShots.contains(f.shot),
                     qPrintable(QString("pair %1-%2: %3 against %4 ms, depths %5 and %6 ms")
                                    .arg(f.shot)
                                    .arg(f.otherShot)
                                    .arg(f.a)
                                    .arg(f.b)
                                    .arg(report.upholeMs(f.shot))
                                    .arg(report.upholeMs(f.otherShot))));
        }
        QVERIFY2(report.pairs().size() >= minPairs, qPrintable(QString("%1 pairs").arg(report.pairs().size())));
        for (const ReciprocalPair &p : report.pairs()) {
            const bool ofALateShot = lateShots.contains(p.shotA) || lateShots.contains(p.shotB);
            QVERIFY2(report.flagged(p) == (ofALateShot && everyLatePairFlagged) || !everyLatePairFlagged,
                     qPrintable(QString("pair %1-%2, difference %3").arg(p.shotA).arg(p.shotB).arg(p.difference())));
        }
        QCOMPARE(report.repeats().size(), survey.repeatedPosition.size());
        for (int k = 0; k < report.repeats().size(); ++k)
            QCOMPARE(std::make_pair(report.repeats()[k].shotA, report.repeats()[k].shotB),
                     std::make_pair(survey.repeatedPosition[k].source, survey.repeatedPosition[k].shot));
        // With no shot triggered early no trace is picked on a later
        // arrival, and no pick is an outlier.
        if (survey.triggerDelayMs == 0.0)
            QCOMPARE(findings(report, Kind::Outlier).size(), 0);
    }

    // A file whose times are in seconds, declared so, is judged as its twin
    // in ms: the same outliers, the late shot with its delay in ms, the same
    // flagged pairs, velocities in m/s; no outlier but the planted spikes.
    void declaredTimeUnit_data()
    {
        QTest::addColumn<double>("secondsPerTime");
        QTest::newRow("ms") << 0.001;
        QTest::newRow("s") << 1.0;
    }
    void declaredTimeUnit()
    {
        QFETCH(double, secondsPerTime);
        FbGenerator::Options o;
        o.shots = 40;
        o.channels = 48;
        o.spread = FbGenerator::Spread::Split;
        o.velocities = {600, 2000, 4000};
        o.crossovers = {80, 500};
        o.shifts.append({19, 10.0});
        o.spikes = {{7, 30, 25.0}, {22, 10, -20.0}};
        QVector<FbRecord> ms;
        for (int shot = 0; shot < o.shots; ++shot)
            ms += FbGenerator::shotRecords(o, shot);
        QVector<FbRecord> inUnit = ms;
        for (FbRecord &r : inUnit)
            r.fb_time = float(r.fb_time * (0.001 / secondsPerTime));
        Settings declared;
        declared.units.secondsPerTime = secondsPerTime;
        const Report twin = judge(writeFile(m_dir, "twin.fb", ms));
        const Report r = judge(writeFile(m_dir, "unit.fb", inUnit), declared);

        const QVector<Finding> outliers = findings(r, Kind::Outlier), twinOutliers = findings(twin, Kind::Outlier);
        QCOMPARE(twinOutliers.size(), 2);
        QCOMPARE(outliers.size(), twinOutliers.size());
        for (int k = 0; k < outliers.size(); ++k) {
            QCOMPARE(twinOutliers[k].shot, k == 0 ? 7 : 22);
            QCOMPARE(outliers[k].record, twinOutliers[k].record);
            QVERIFY(std::abs(outliers[k].value - twinOutliers[k].value) < 0.01);
        }
        const QVector<Finding> late = findings(r, Kind::TimingError);
        QCOMPARE(late.size(), 1);
        QCOMPARE(late[0].shot, 19);
        QVERIFY2(std::abs(late[0].value - findings(twin, Kind::TimingError).value(0).value) < 0.01,
                 qPrintable(QString::number(late[0].value)));
        const auto flagged = [](const Report &report) {
            return std::count_if(report.pairs().begin(), report.pairs().end(),
                                 [&report](const ReciprocalPair &p) { return report.flagged(p); });
        };
        QVERIFY(flagged(twin) > 0);
        QCOMPARE(flagged(r), flagged(twin));
        const ShotSummary shot = r.shots().at(0), twinShot = twin.shots().at(0);
        QVERIFY(std::abs(r.units.metresPerSecond(shot.velocity[Positive]) -
                         twin.units.metresPerSecond(twinShot.velocity[Positive])) < 1.0);
    }

    // Edited shots or new thresholds judged again without reading the file
    // give what a new pass over the edited file with those thresholds finds:
    // a late shot shifted back loses its timing error and its flagged pairs,
    // a rejected spike its outlier, and the counts follow. Below the
    // candidate floor the file must be read. Whatever the threshold, every
    // shot keeps the rms of the picks its curve fits, even one of 0 ms that
    // flags nearly every pick.
    void rejudgeMatchesANewPass_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<double>("outlierMs");
        QTest::addColumn<double>("reciprocityMs");
        QTest::addColumn<bool>("possible");
        QTest::newRow("both lower") << QString() << 3.0 << 3.0 << true;
        QTest::newRow("both higher") << QString() << 14.0 << 11.0 << true;
        QTest::newRow("at the floor") << QString() << CandidateFloorMs << 5.0 << true;
        QTest::newRow("below the floor") << QString() << 1.0 << 5.0 << false;
        QTest::newRow("at 0 ms") << QString() << 0.0 << 5.0 << false;
        QTest::newRow("the late shot shifted back") << "shift" << 8.0 << 5.0 << true;
        QTest::newRow("the spike rejected") << "reject" << 8.0 << 5.0 << true;
        QTest::newRow("the spike's time typed in") << "retime" << 8.0 << 5.0 << true;
        QTest::newRow("both, and a pick unpicked") << "all" << 8.0 << 5.0 << true;
    }
    void rejudgeMatchesANewPass()
    {
        QFETCH(QString, edit);
        QFETCH(double, outlierMs);
        QFETCH(double, reciprocityMs);
        QFETCH(bool, possible);
        constexpr int late = 17, spiked = 20, channels = 96;
        QVector<FbRecord> records;
        for (int s = 0; s < 40; ++s) {
            QVector<FbRecord> shot = shotOnLine(s, 200 + 2 * s, 150 + 2 * s, channels, Curve::ThreeLayers);
            for (FbRecord &r : shot)
                r.fb_time += s == late ? 9.0f : s == 30 ? 2.0f : 0.0f;
            shot[(s * 7) % channels].fb_time += float(2 + s % 12);
            records += shot;
        }
        const int spike = spiked * channels + 30;
        const float clean = records[spike].fb_time;
        records[spike].fb_time += 25.0f;
        QVector<FbRecord> edited = records;
        QVector<qint32> shots;
        if (edit == "shift" || edit == "all") {
            for (int k = late * channels; k < (late + 1) * channels; ++k)
                edited[k].fb_time -= 9.0f;
            shots << late;
        }
        if (edit == "reject" || edit == "all") {
            edited[spike].fb_status = 2;
            shots << spiked;
        }
        if (edit == "retime") {
            edited[spike].fb_time = clean;
            shots << spiked;
        }
        if (edit == "all")
            edited[spiked * channels + 60].fb_time = 0.0f;

        Report report = judge(writeFile(m_dir, "before.fb", records));
        QCOMPARE(report.count(Kind::TimingError), qint64(1));
        const qint64 before = report.count(Kind::Outlier);
        const auto of = [](const QVector<FbRecord> &all) {
            return [&all](qint32 shot) { return all.mid(shot * channels, channels); };
        };
        if (!shots.isEmpty())
            QVERIFY(rejudgeShots(&report, shots, of(records), of(edited)));
        Settings settings;
        settings.outlierMs = outlierMs;
        settings.reciprocityMs = reciprocityMs;
        const Report fresh = judge(writeFile(m_dir, "after.fb", edited), settings);
        for (int s = 0; s < fresh.shots().size(); ++s) {
            const float rms = fresh.shots().at(s).rmsResidual, was = report.shots().at(s).rmsResidual;
            QVERIFY2(std::isfinite(rms) == std::isfinite(was) && (rms > 0.0f) == (was > 0.0f),
                     qPrintable(QString("shot %1: rms %2 against %3 at 8 ms").arg(s).arg(rms).arg(was)));
        }
        QCOMPARE(rejudge(&report, outlierMs, reciprocityMs), possible);
        if (!possible) {
            QCOMPARE(report.count(Kind::Outlier), before);
            return;
        }
        QVERIFY(fresh.count(Kind::Outlier) != before || outlierMs == 8.0);
        const QString differs = FbTest::reportDifference(report, fresh);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    // A run that cannot read or is cancelled, before it starts or once it
    // has begun, says so and leaves the report empty; so does a file cut
    // short while it is read.
    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("cancelAt"); // progress value that cancels; -1: never
        QTest::addColumn<bool>("cut");     // the file is cut short once the pass has begun
        QVERIFY(FbTest::writeFile(m_dir.filePath("header.fb"), FbTest::fileBytes({})));
        // Shots far apart: no pair, so only the first pass can notice.
        QVector<FbRecord> line;
        for (int s = 0; s < 400; ++s)
            line += shotOnLine(s, 1000 * s + 400, 1000 * s + 100, 700, Curve::TwoLayers);
        const QString good = writeFile(m_dir, "long.fb", line);
        QTest::newRow("a folder") << m_dir.path() << -1 << false;
        QTest::newRow("missing") << m_dir.filePath("missing.fb") << -1 << false;
        QTest::newRow("no complete record") << m_dir.filePath("header.fb") << -1 << false;
        QTest::newRow("cancelled before the start") << good << 0 << false;
        QTest::newRow("cancelled during the pass") << good << 1 << false;
        QTest::newRow("cut short while read") << good << -1 << true;
    }
    void failures()
    {
        QFETCH(QString, path);
        QFETCH(int, cancelAt);
        QFETCH(bool, cut);
        std::atomic_bool cancel(cancelAt == 0);
        Analyzer analyzer(path);
        Report report;
        report.recordCount = 7;
        bool wasCut = false;
        const auto progress = [&](int percent) {
            if (cancelAt > 0 && percent >= cancelAt)
                cancel = true;
            if (cut && percent >= 5 && !wasCut)
                wasCut = QFile::resize(path, QFileInfo(path).size() / 2);
        };
        QVERIFY(!analyzer.run(&report, Progress(progress, &cancel)));
        QCOMPARE(analyzer.wasCancelled(), cancelAt >= 0);
        QVERIFY(!analyzer.errorString().isEmpty());
        QCOMPARE(report.recordCount, qint64(0));
        QVERIFY(report.index().isEmpty());
        QCOMPARE(wasCut, cut);
    }

    // Files that once hung, aborted or grew without bound: stations left
    // at 0 (every source on every receiver's station), one coordinate far
    // beyond any survey, every source at one point, one shot larger than
    // may be judged. Each is judged, with work bounded by its picks.
    void hostileInputs_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<int>("shots");
        QTest::newRow("stations all 0") << "stations" << 1500;
        QTest::newRow("one receiver at 3e13") << "far" << 200;
        QTest::newRow("every source and receiver at one point") << "point" << 1500;
        QTest::newRow("a shot too large to judge") << "giant" << 3;
    }
    void hostileInputs()
    {
        QFETCH(QString, trouble);
        QFETCH(int, shots);
        const int channels = trouble == "giant" ? 48 : 24;
        QVector<FbRecord> records;
        for (int s = 0; s < shots; ++s) {
            QVector<FbRecord> shot = shotOnLine(s, 100.5 + s, 88 + s, channels, Curve::TwoLayers);
            for (FbRecord &r : shot) {
                if (trouble == "stations" || trouble == "point")
                    r.s_line = r.s_stat = r.g_line = r.g_stat = 0;
                if (trouble == "point")
                    r.source_x = r.source_y = r.group_x = r.group_y = 0.0f;
            }
            if (trouble == "far" && s == 100)
                shot[10].group_x = shot[10].group_y = 3e13f;
            records += shot;
        }
        Settings settings;
        if (trouble == "giant")
            settings.maxJudgedPicks = 40;
        const Report report = judge(writeFile(m_dir, "hostile.fb", records), settings);
        QCOMPARE(report.index().size(), shots);
        QVERIFY2(report.pairs().size() + report.repeats().size() <= qint64(2 * records.size() + 16 * shots),
                 qPrintable(QString("%1 pairs for %2 picks").arg(report.pairs().size()).arg(records.size())));
        QCOMPARE(report.count(Kind::TooLarge), qint64(trouble == "giant" ? 3 : 0));
        if (trouble == "stations") {
            // Positions still pair the shots of a clean line, and none is flagged.
            QVERIFY(report.pairs().size() > shots);
            QCOMPARE(report.count(Kind::Reciprocity), qint64(0));
        }
        if (trouble == "giant")
            QCOMPARE(report.notJudged, qint64(records.size()));
    }
};

QTEST_GUILESS_MAIN(TestQcPass)
#include "tst_qcpass.moc"
