// fbtool qc, plot and map run as programs on generated files: the faults
// that gen plants are found where they were planted and nowhere else, the
// CSV tables hold what the file holds, and the images show the picks.

#include <fbfile/fbcolumns.h>
#include <fbfile/numbertext.h>
#include "fbtoolrun.h"
#include <fbqc/qccsv.h>
#include <fbfile/shotrecords.h>
#include <fbview/statuscolors.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

using FbTest::fbtool;
using FbTest::Run;

const QString PairsHeader =
    QStringLiteral("shot_a,ffid_a,shot_b,ffid_b,time_ab,time_ba,difference,flagged,explained_by");
const QString ProblemsHeader = QStringLiteral("kind,shot,ffid,record,other_shot,field,value,count,detail");
const QString ShotsHeader = QStringLiteral("shot,ffid,picks,outliers,rms_residual,velocity_negative_side,"
                                           "velocity_positive_side,intercept_negative_side,"
                                           "intercept_positive_side,not_picked,timing_error,timing_pairs");
const QString OutliersHeader = QStringLiteral("shot,ffid,record,fb_no,channel,offset,fb_time,model_time,residual");
struct Spike
{
    int row;
    int channel;
    double ms;
}; // row: 1-based shot position
struct Shift
{
    int row;
    double ms;
};
Q_DECLARE_METATYPE(QVector<Spike>)
Q_DECLARE_METATYPE(QVector<Shift>)

class TestQcCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_small; // 20 shots x 48, a 40 ms spike at shot 10, channel 30

    // The rows of a CSV table below its header, which must be `header`.
    static QVector<QStringList> table(const QString &fileName, const QString &header)
    {
        const QStringList lines =
            QString::fromUtf8(FbTest::contents(fileName)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.value(0) != header) {
            qWarning("%s starts with '%s'", qPrintable(fileName), qPrintable(lines.value(0)));
            return {};
        }
        QVector<QStringList> rows;
        for (int k = 1; k < lines.size(); ++k)
            rows.append(lines.at(k).split(QLatin1Char(',')));
        return rows;
    }

    // Shot `row` (1-based) of a generated file with `channels` picks per shot.
    static QVector<FbRecord> shot(const QString &fileName, int row, int channels)
    {
        return readShotRecords(fileName, (row - 1) * channels, row * channels - 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_small = m_dir.filePath(QStringLiteral("small.fb"));
        QCOMPARE(fbtool({"gen", m_small, "--shots", "20", "--channels", "48", "--spike", "10:30:40"}).exitCode, 0);
    }

    // 60 shots of 96 channels. Every spike must be an outlier at its pick
    // with a residual near its size; other outliers at most 0.5% of the
    // picks; every shifted shot in a flagged pair, none of its picks an
    // outlier; and no flagged pair without a planted fault in it.
    void plantedFaults_data()
    {
        QTest::addColumn<QVector<Spike>>("spikes");
        QTest::addColumn<QVector<Shift>>("shifts");
        QTest::addColumn<int>("exitCode");
        QVector<Spike> cycleSkips;
        for (int k = 0; k < 30; ++k)
            cycleSkips.append({2 + 2 * k, 40 + 2 * (k % 8), 12.0 + 3 * k});
        QTest::newRow("clean") << QVector<Spike>() << QVector<Shift>() << 0;
        QTest::newRow("30 late picks, 12 to 99 ms") << cycleSkips << QVector<Shift>() << 1;
        QTest::newRow("early pick at a far offset") << QVector<Spike>{{10, 90, -20.0}} << QVector<Shift>() << 1;
        QTest::newRow("shot 7 ms late") << QVector<Spike>() << QVector<Shift>{{30, 7.0}} << 1;
        QTest::newRow("two shots early and late") << QVector<Spike>() << QVector<Shift>{{5, -12.0}, {44, 9.0}} << 1;
    }
    void plantedFaults()
    {
        QFETCH(QVector<Spike>, spikes);
        QFETCH(QVector<Shift>, shifts);
        QFETCH(int, exitCode);
        const int shots = 60, channels = 96;
        const QString file = m_dir.filePath(QStringLiteral("planted.fb"));
        const QString csv = m_dir.filePath(QStringLiteral("planted"));
        QStringList gen{"gen", file, "--shots", QString::number(shots), "--channels", QString::number(channels)};
        QSet<int> faulty; // ffids of shots with a planted fault
        for (const Spike &s : spikes) {
            gen << "--spike" << QStringLiteral("%1:%2:%3").arg(s.row).arg(s.channel).arg(s.ms);
            faulty.insert(1000 + s.row);
        }
        for (const Shift &s : shifts) {
            gen << "--shift" << QStringLiteral("%1:%2").arg(s.row).arg(s.ms);
            faulty.insert(1000 + s.row);
        }
        QCOMPARE(fbtool(gen).exitCode, 0);
        const Run qc = fbtool({"qc", file, "--csv", csv});
        QCOMPARE(qc.exitCode, exitCode);

        const auto outliers = table(csv + "/outliers.csv", OutliersHeader);
        int unplanted = outliers.size();
        for (const Spike &s : spikes) {
            const auto at = std::find_if(outliers.begin(), outliers.end(), [&s](const QStringList &o) {
                return o.at(0).toInt() == s.row && o.at(4).toInt() == s.channel;
            });
            QVERIFY2(at != outliers.end(),
                     qPrintable(QStringLiteral("spike at shot %1, channel %2 not found").arg(s.row).arg(s.channel)));
            QVERIFY2(std::abs(at->at(8).toDouble() - s.ms) < 3.0,
                     qPrintable(QStringLiteral("spike of %1 ms has residual %2").arg(s.ms).arg(at->at(8))));
            --unplanted;
        }
        QVERIFY2(unplanted <= shots * channels / 200, qPrintable(QStringLiteral("%1 false outliers").arg(unplanted)));

        const auto pairs = table(csv + "/reciprocity.csv", PairsHeader);
        QVERIFY2(!pairs.isEmpty(), "no reciprocal pair compared");
        QSet<int> flaggedWithEarlier, flaggedWithLater; // ffids flagged with a shot before, after them
        for (const QStringList &p : pairs) {
            if (p.at(7) != QLatin1String("1"))
                continue;
            const int a = p.at(1).toInt(), b = p.at(3).toInt();
            QVERIFY2(faulty.contains(a) || faulty.contains(b),
                     qPrintable(QStringLiteral("pair %1/%2 flagged without a planted fault").arg(a).arg(b)));
            flaggedWithLater << a;
            flaggedWithEarlier << b;
        }
        // A late shot is named with its delay, and explains its flagged pairs.
        const auto problems = table(csv + "/problems.csv", ProblemsHeader);
        for (const Shift &s : shifts) {
            QVERIFY2(flaggedWithEarlier.contains(1000 + s.row) && flaggedWithLater.contains(1000 + s.row),
                     qPrintable(QStringLiteral("shifted shot %1 is not flagged on both sides").arg(s.row)));
            for (const QStringList &o : outliers)
                QVERIFY2(o.at(0).toInt() != s.row,
                         qPrintable(QStringLiteral("shifted shot %1 has outlier channel %2").arg(s.row).arg(o.at(4))));
            const auto late = std::find_if(problems.begin(), problems.end(), [&s](const QStringList &p) {
                return p.at(0) == QLatin1String("timing-error") && p.at(1).toInt() == s.row;
            });
            QVERIFY2(late != problems.end() && std::abs(late->at(6).toDouble() - s.ms) < 1.0,
                     qPrintable(QStringLiteral("shot %1's timing error of %2 ms not named").arg(s.row).arg(s.ms)));
            for (const QStringList &p : pairs) {
                if (p.at(7) == QLatin1String("1") && (p.at(0).toInt() == s.row || p.at(2).toInt() == s.row))
                    QCOMPARE(p.at(8).toInt(), s.row);
            }
        }
        int timingErrors = 0;
        for (const QStringList &p : problems)
            timingErrors += p.at(0) == QLatin1String("timing-error") ? 1 : 0;
        QCOMPARE(timingErrors, shifts.size());
    }

    // The tables of the small file: headers, and rows checked field by
    // field against the records in the file.
    void csvTables()
    {
        const QString csv = m_dir.filePath(QStringLiteral("tables"));
        QCOMPARE(fbtool({"qc", m_small, "--csv", csv}).exitCode, 1);

        const auto outliers = table(csv + "/outliers.csv", OutliersHeader);
        QCOMPARE(outliers.size(), 1);
        const QStringList o = outliers.first();
        const FbRecord spiked = shot(m_small, 10, 48).at(29);
        QCOMPARE(o.size(), 9);
        QCOMPARE(o.at(0), QStringLiteral("10")); // shot position
        QCOMPARE(o.at(1), QStringLiteral("1010"));
        QCOMPARE(o.at(2), QStringLiteral("462")); // 9 shots of 48, then channel 30
        QCOMPARE(o.at(3).toInt(), spiked.fb_no);
        QCOMPARE(o.at(4), QStringLiteral("30"));
        QCOMPARE(o.at(5).toInt(), spiked.offset);
        QCOMPARE(o.at(6).toFloat(), spiked.fb_time);
        QVERIFY2(std::abs(o.at(6).toDouble() - 40 - o.at(7).toDouble()) < 2.5, "model_time is not the unspiked time");
        QVERIFY2(std::abs(o.at(6).toDouble() - o.at(7).toDouble() - o.at(8).toDouble()) < 0.002,
                 "residual is not fb_time - model_time");

        const auto shots = table(csv + "/shots.csv", ShotsHeader);
        QCOMPARE(shots.size(), 20);
        // The first shot is end-on: nothing to fit behind its source.
        QCOMPARE(shots.at(0).mid(0, 4), (QStringList{"1", "1001", "48", "0"}));
        QCOMPARE(shots.at(0).at(5), QString());
        QCOMPARE(shots.at(0).at(7), QString());
        const QStringList s = shots.at(9);
        QCOMPARE(s.mid(0, 4), (QStringList{"10", "1010", "48", "1"}));
        QVERIFY2(s.at(4).toDouble() > 0 && s.at(4).toDouble() < 1.5, qPrintable("rms residual " + s.at(4)));
        // Spreads reach 600 m: the farthest segment is the 3400 m/s refractor with a 5 ms intercept.
        for (int side : {5, 6})
            QVERIFY2(std::abs(s.at(side).toDouble() / 3400 - 1) < 0.05, qPrintable("velocity " + s.at(side)));
        for (int side : {7, 8})
            QVERIFY2(std::abs(s.at(side).toDouble() - 5) < 3, qPrintable("intercept " + s.at(side)));

        const auto pairs = table(csv + "/reciprocity.csv", PairsHeader);
        QVERIFY(!pairs.isEmpty());
        const QVector<FbRecord> a = shot(m_small, 1, 48), b = shot(m_small, 2, 48);
        const auto timeAt = [](const QVector<FbRecord> &records, qint32 station) {
            for (const FbRecord &r : records)
                if (r.g_stat == station)
                    return r.fb_time;
            return -1.0f;
        };
        const auto p = std::find_if(pairs.begin(), pairs.end(), [](const QStringList &row) {
            return row.at(1) == QLatin1String("1001") && row.at(3) == QLatin1String("1002");
        });
        QVERIFY2(p != pairs.end(), "shots 1 and 2 not compared");
        QCOMPARE(p->mid(0, 4), (QStringList{"1", "1001", "2", "1002"}));
        QCOMPARE(p->at(4).toFloat(), timeAt(a, b.first().s_stat));
        QCOMPARE(p->at(5).toFloat(), timeAt(b, a.first().s_stat));
        QVERIFY(std::abs(p->at(6).toDouble() - (p->at(4).toDouble() - p->at(5).toDouble())) < 0.002);
        for (const QStringList &row : pairs) {
            QVERIFY2(row.at(0).toInt() < row.at(2).toInt(), qPrintable("pair out of file order: " + row.join(',')));
            QCOMPARE(row.at(7) == QLatin1String("1"), std::abs(row.at(6).toDouble()) > 5.0);
        }
        // Nothing else in the small file: the other tables hold only their headers.
        QVERIFY(table(csv + "/repeats.csv", "shot_a,ffid_a,shot_b,ffid_b,difference,receivers,flagged,explained_by")
                    .isEmpty());
        QVERIFY(table(csv + "/problems.csv", ProblemsHeader).isEmpty());
    }

    // Clean lines shot in different ways are clean. Offsets and elevations
    // in a finer unit than the coordinates are found and said; velocities
    // come out in m/s in whatever units the file is; offsets that agree with
    // no unit (here 3 times the distance) are a problem of their own. And
    // shots.csv holds a timing error for every shot, however it was judged:
    // by its pairs, or by its time at the source where it is in too few
    // pairs (one or two a shot) or none (end-on, or sources off the line,
    // which share no receiver's place and are compared with no one).
    void cleanLines_data()
    {
        QTest::addColumn<QStringList>("gen");
        QTest::addColumn<QStringList>("qc");
        QTest::addColumn<QString>("line");     // said in the report; empty: none checked
        QTest::addColumn<int>("offsetScale");  // 0: leave the offsets as made
        QTest::addColumn<bool>("velocity");    // the refractor beyond 900 m checked
        QTest::addColumn<bool>("stationless"); // line and station numbers zeroed, as picks from bare traces have
        const QStringList noiseless{"--shots", "20", "--channels", "48", "--noise", "0"};
        QTest::newRow("one or two pairs a shot")
            << QStringList{"--shots", "40", "--channels", "12", "--shot-interval", "4"} << QStringList() << QString()
            << 0 << false << false;
        QTest::newRow("end-on") << QStringList{"--shots", "40", "--channels", "48", "--spread", "end-on"}
                                << QStringList() << QString() << 0 << false << false;
        QTest::newRow("split") << QStringList{"--shots", "40", "--channels", "48"} << QStringList() << QString() << 0
                               << false << false;
        QTest::newRow("sources 5-50 m off the line")
            << QStringList{"--shots", "40", "--channels", "48", "--source-crossline", "5,50"} << QStringList()
            << QString() << 0 << false << false;
        QTest::newRow("cm beside m")
            << noiseless + QStringList{"--offset-factor", "100"} << QStringList()
            << "Units: coordinates in m, offsets and elevations in 1/100 of the coordinates' unit, times in ms" << 0
            << true << false;
        QTest::newRow("ft, declared")
            << noiseless + QStringList{"--feet"} << QStringList{"--length-unit", "ft"}
            << "Units: coordinates in ft, offsets and elevations in the same unit, times in ms" << 0 << true << false;
        QTest::newRow("1/10 ft, off the line")
            << noiseless + QStringList{"--feet", "--offset-factor", "10", "--source-crossline", "5,50"}
            << QStringList{"--length-unit", "ft"}
            << "Units: coordinates in ft, offsets and elevations in 1/10 of the coordinates' unit, times in ms" << 0
            << true << false;
        // Steep hills under close stations: the times as picked fit closer
        // by bending with the ground, yet leave good picks off the curve.
        QTest::newRow("hills at 1,500 m/s, 10 m")
            << QStringList{"--shots",          "60", "--channels", "120", "--elevation-velocity", "1500",
                           "--group-interval", "10", "--seed",     "3"}
            << QStringList() << QString() << 0 << false << false;
        // Mid-line the direct arrival holds many picks and bends with no
        // height delay: it must not pull the hills' slowness off.
        QTest::newRow("hills at 1,500 m/s, 25 m")
            << QStringList{"--shots", "60", "--channels", "120", "--elevation-velocity", "1500", "--seed", "2"}
            << QStringList() << QString() << 0 << false << false;
        // On a patch the direct arrival's picks lie on receiver lines at
        // different heights: taken to the source's height they zigzag.
        QTest::newRow("hills at 2,000 m/s, 4 receiver lines")
            << QStringList{"--shots", "64", "--channels", "240", "--receiver-lines", "4", "--sources-per-line", "4"} +
                   QStringList{"--elevation-velocity", "2000", "--seed", "2"}
            << QStringList() << QString() << 0 << false << false;
        // Without station numbers the lines are told apart by position:
        // neighbouring sources on the patch are not one source twice, and
        // the hills beside the source's line are fitted as on a patch.
        QTest::newRow("hills at 1,500 m/s, 4 receiver lines, stations unset")
            << QStringList{"--shots", "40", "--channels", "240", "--receiver-lines", "4", "--shot-interval", "4"} +
                   QStringList{"--elevation-velocity", "1500", "--seed", "1"}
            << QStringList() << QString() << 0 << false << true;
        QTest::newRow("offsets 3 times the distance")
            << noiseless << QStringList()
            << "Offsets agree with no unit of the coordinates: of 940 offsets, 0% are 1 times the distance between "
               "source and receiver, the most of any of 1, 10, 100 and 1000"
            << 3 << false << false;
    }
    void cleanLines()
    {
        QFETCH(QStringList, gen);
        QFETCH(QStringList, qc);
        QFETCH(QString, line);
        QFETCH(int, offsetScale);
        QFETCH(bool, velocity);
        QFETCH(bool, stationless);
        const QString file = m_dir.filePath(QStringLiteral("clean.fb")), csv = m_dir.filePath(QStringLiteral("clean"));
        QCOMPARE(fbtool(QStringList{"gen", file} + gen).exitCode, 0);
        if (offsetScale > 0 || stationless) {
            QByteArray bytes = FbTest::contents(file);
            for (qint64 k = 0; k < FbLayout::recordCount(bytes.size()); ++k) {
                char *at = bytes.data() + FbLayout::recordPosition(qint32(k));
                FbRecord r = FbLayout::decodeRecord(at);
                r.offset *= qMax(offsetScale, 1);
                if (stationless)
                    r.s_line = r.s_stat = r.g_line = r.g_stat = 0;
                FbLayout::encodeRecord(r, at);
            }
            QVERIFY(FbTest::writeFile(file, bytes));
        }
        const Run run = fbtool(QStringList{"qc", file, "--csv", csv} + qc);
        QCOMPARE(run.exitCode, offsetScale > 0 ? 1 : 0);
        QVERIFY2(line.isEmpty() || run.out.split('\n').contains(line), qPrintable(run.out));
        if (offsetScale > 0)
            return;
        // Velocities read in the file's units are those of real ground.
        QVERIFY2(run.out.contains("Fitted velocities no ground has: 0\n"), qPrintable(run.out));
        const auto shots = table(csv + "/shots.csv", ShotsHeader);
        QCOMPARE(shots.size(), gen.at(gen.indexOf("--shots") + 1).toInt());
        for (const QStringList &row : shots)
            QVERIFY2(!row.at(10).isEmpty(), qPrintable("no timing error: " + row.join(',')));
        // The refractor beyond 900 m runs at 4600 m/s.
        if (velocity)
            QVERIFY2(std::abs(shots.at(0).at(6).toDouble() / 4600 - 1) < 0.05, qPrintable(shots.at(0).join(',')));
    }

    // The bytes the tables are made of read as QcCsv::decimal() for the same
    // value: rounding at the last place, signs, extremes, and a fixed random
    // sample of float bit patterns, most of them in the range of times in ms.
    void decimalBytes_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("decimals");
        using Limits = std::numeric_limits<float>;
        const struct
        {
            const char *name;
            float value;
            int decimals;
        } edges[] = {{"0.0625, exactly halfway, to 3", 0.0625f, 3},
                     {"-0.0625 to 3", -0.0625f, 3},
                     {"0.25, exactly halfway, to 1", 0.25f, 1},
                     {"2.5 to 0", 2.5f, 0},
                     {"8388607.5 to 0", 8388607.5f, 0},
                     {"0.0005 to 3", 0.0005f, 3},
                     {"0.0015 to 3", 0.0015f, 3},
                     {"2.5e-4 to 3", 2.5e-4f, 3},
                     {"-0.0005 to 3", -0.0005f, 3},
                     {"-0.0004 rounds to zero", -0.0004f, 3},
                     {"-0.04 to 1", -0.04f, 1},
                     {"9.9996 carries into the units", 9.9996f, 3},
                     {"999.96 to 1", 999.96f, 1},
                     {"1.99999 leaves no decimals", 1.99999f, 3},
                     {"100.5 to 1", 100.5f, 1},
                     {"0.1 to 9", 0.1f, 9},
                     {"-123.456 to 4", -123.456f, 4},
                     {"0", 0.0f, 3},
                     {"-0", -0.0f, 3},
                     {"smallest denormal", Limits::denorm_min(), 4},
                     {"largest denormal", Limits::min() * 0.999f, 4},
                     {"2^56 - 4", 72057589742960640.0f, 1},
                     {"2^56", 72057594037927936.0f, 3},
                     {"2^63", 9223372036854775808.0f, 3},
                     {"2^64", 18446744073709551616.0f, 1},
                     {"3e38", 3e38f, 3},
                     {"-FLT_MAX", -Limits::max(), 4},
                     {"NaN", Limits::quiet_NaN(), 3},
                     {"inf", Limits::infinity(), 3},
                     {"-inf", -Limits::infinity(), 1}};
        for (const auto &edge : edges)
            QTest::newRow(edge.name) << edge.value << edge.decimals;
        std::mt19937 random(20261206);
        for (int k = 0; k < 4000; ++k) {
            quint32 bits = random();
            if (k % 4 != 0) // exponent 2^-20 .. 2^20
                bits = (bits & 0x807fffffu) | quint32(107 + random() % 41) << 23;
            const int decimals = int(random() % 5);
            QTest::addRow("bits %08x to %d", bits, decimals) << NumberText::bitsFloat(bits) << decimals;
        }
    }
    void decimalBytes()
    {
        QFETCH(float, value);
        QFETCH(int, decimals);
        char bytes[QcCsv::MaxDecimalBytes];
        const char *end = QcCsv::writeDecimal(value, decimals, bytes);
        QCOMPARE(QString::fromLatin1(bytes, int(end - bytes)), QcCsv::decimal(double(value), decimals));
    }

    // Each image is written in the asked format and size; a plot shows each
    // status colour exactly when the shot has picks of that status, and an
    // SVG plot names the offset unit on its axis and in its velocities, an
    // SVG map the coordinates' unit on its axes.
    void images_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<QSize>("size");      // of a PNG
        QTest::addColumn<int>("plottedShot"); // whose status colours must show; 0: none
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("drawn"); // texts an SVG holds
        QTest::addColumn<bool>("hills");        // of a line whose picks follow the topography, not the small file
        QTest::newRow("plot by position")
            << QStringList{"plot", "--shot", "10", "--size", "640x480"} << "p.png" << QByteArray("\x89PNG")
            << QSize(640, 480) << 10 << "shot 10 > 1010" << QStringList() << false;
        QTest::newRow("plot by ffid, reduced")
            << QStringList{"plot", "--ffid", "1004", "--reduce", "3400"} << "p.png" << QByteArray("\x89PNG")
            << QSize(1200, 800) << 4 << "shot 4 > 1004" << QStringList() << false;
        QTest::newRow("plot as SVG, in feet")
            << QStringList{"plot", "--shot", "1", "--offset-unit", "ft"} << "p.svg" << QByteArray("<?xml") << QSize()
            << 0 << "48 picks" << QStringList{"Signed offset (ft)", " m/s", "Status 1"} << false;
        QTest::newRow("residuals as SVG")
            << QStringList{"plot", "--shot", "10", "--residuals"} << "r.svg" << QByteArray("<?xml") << QSize() << 0
            << "1 outlier" << QStringList{"Residual (ms)", "Signed offset (m)"} << false;
        QTest::newRow("plot as picked on hills")
            << QStringList{"plot", "--shot", "3", "--as-picked"} << "h.svg" << QByteArray("<?xml") << QSize() << 0
            << "shot 3 > 1003" << QStringList{"Time as picked (ms)"} << true;
        QTest::newRow("map by rms") << QStringList{"map", "--color", "rms", "--size", "900x900"} << "m.png"
                                    << QByteArray("\x89PNG") << QSize(900, 900) << 0 << "20 sources, 48 receivers"
                                    << QStringList() << false;
        QTest::newRow("map as PDF") << QStringList{"map"} << "m.pdf" << QByteArray("%PDF") << QSize() << 0
                                    << "20 sources" << QStringList() << false;
        QTest::newRow("map as SVG, in feet")
            << QStringList{"map", "--length-unit", "ft"} << "m.svg" << QByteArray("<?xml") << QSize() << 0
            << "20 sources" << QStringList{"Easting (ft)", "Northing (ft)"} << false;
    }
    void images()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, image);
        QFETCH(QByteArray, magic);
        QFETCH(QSize, size);
        QFETCH(int, plottedShot);
        QFETCH(QString, said);
        QFETCH(QStringList, drawn);
        QFETCH(bool, hills);
        const QString path = m_dir.filePath(image);
        QFile::remove(path);
        const QString input = m_dir.filePath(QStringLiteral("hills.fb"));
        if (hills)
            QCOMPARE(fbtool({"gen", input, "--shots", "5", "--channels", "120", "--group-interval", "10", "--seed", "2",
                             "--elevation-velocity", "1500"})
                         .exitCode,
                     0);
        args.insert(1, hills ? input : m_small);
        const Run run = fbtool(args + QStringList{"-o", path});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(said), qPrintable(run.out));
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        const QByteArray bytes = FbTest::contents(path);
        QCOMPARE(bytes.left(magic.size()), magic);
        const QString text = QString::fromUtf8(bytes);
        for (const QString &piece : drawn)
            QVERIFY2(text.contains(piece), qPrintable(piece));
        if (!size.isValid())
            return;
        const QImage picture(path);
        QCOMPARE(picture.size(), size);
        if (plottedShot == 0)
            return;
        // The viewer's colours made opaque, with a little room for rounding.
        const struct
        {
            FbColumns::PickClass pickClass;
            QColor colour;
        } looks[] = {{FbColumns::PickClass::Status0, StatusColors::mark(FbColumns::PickClass::Status0)},
                     {FbColumns::PickClass::Status1, StatusColors::mark(FbColumns::PickClass::Status1)},
                     {FbColumns::PickClass::Other, StatusColors::mark(FbColumns::PickClass::Other)}};
        for (const auto &look : looks) {
            int picks = 0, pixels = 0;
            for (const FbRecord &r : shot(m_small, plottedShot, 48))
                picks += FbColumns::pickClass(r.fb_status) == look.pickClass ? 1 : 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor c = picture.pixelColor(x, y);
                    pixels += std::abs(c.red() - look.colour.red()) + std::abs(c.green() - look.colour.green()) +
                                          std::abs(c.blue() - look.colour.blue()) <
                                      12
                                  ? 1
                                  : 0;
                }
            QVERIFY2(
                (pixels >= 10 * picks) && (picks > 0 || pixels == 0),
                qPrintable(
                    QStringLiteral("%1 pixels of %2 for %3 picks").arg(pixels).arg(look.colour.name()).arg(picks)));
        }
    }

    // A count of one takes the singular.
    void singularCounts_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("part"); // of standard output
        const QString one = m_dir.filePath("one.fb"), png = m_dir.filePath("one.png");
        QTest::newRow("gen") << QStringList{"gen", one, "--shots", "1", "--channels", "1"}
                             << ": 1 record, 1 shot of 1 channel, ";
        QTest::newRow("qc") << QStringList{"qc", one} << "Records: 1 in 1 shot\n";
        QTest::newRow("map") << QStringList{"map", one, "-o", png} << ": 1 source, 1 receiver\n";
        QTest::newRow("map --view stations")
            << QStringList{"map", one, "--view", "stations", "-o", png} << ": 1 shot, 0 compared pairs\n";
        const QString csv = m_dir.filePath("one.csv"), sgt = m_dir.filePath("one.sgt");
        QTest::newRow("export csv") << QStringList{"export", one, "-o", csv} << "Wrote 1 record of ";
        QTest::newRow("export sgt") << QStringList{"export", one, "-o", sgt} << "Wrote 1 pick between 2 sensors of ";
        QTest::newRow("import") << QStringList{"import", sgt, "-o", m_dir.filePath("back.fb")}
                                << "Wrote 1 record in 1 shot of ";
    }
    void singularCounts()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, part);
        const Run run = fbtool(args);
        QVERIFY2(run.exitCode == 0 || run.exitCode == 1, qPrintable(run.err));
        QVERIFY2(run.out.contains(part), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestQcCli)
#include "tst_qccli.moc"
