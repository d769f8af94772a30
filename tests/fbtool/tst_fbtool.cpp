// The fbtool command line, run as a program: files it generates read back
// as asked, check finds every fault it can plant, and every command fails
// cleanly on a file it cannot read. The generator's geometry is tested
// directly.

#include "fbgenerator.h"
#include "shotindex.h"
#include "shotrecords.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run fbtool(const QStringList &args)
{
    Run run;
    QProcess process;
    process.start(qEnvironmentVariable("FBTOOL"), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// "Key: value" lines of info and check.
QString field(const QString &text, const QString &key)
{
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1String(": ")))
            return line.mid(key.size() + 2);
    }
    return QString();
}

QVector<QStringList> csvRows(const QString &text)
{
    QVector<QStringList> rows;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows << line.split(QLatin1Char(','));
    return rows;
}

} // namespace

class TestFbTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void check_data();
    void check();
    void dump();
    void failures_data();
    void failures();
    void help_data();
    void help();
    void geometry();
    void sameSeedSameFile();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestFbTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString tool = qEnvironmentVariable("FBTOOL");
    QVERIFY2(!tool.isEmpty() && QFileInfo(tool).isExecutable(), "FBTOOL must name the fbtool program");
}

// gen, then info and shots agree with what was asked, and with the core's
// own reading of the file.
void TestFbTool::roundTrip_data()
{
    QTest::addColumn<int>("shots");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("indexedShots");
    QTest::addColumn<qint32>("firstFfid");
    QTest::addColumn<QString>("polarity");
    QTest::addColumn<bool>("countMatches");

    QTest::newRow("3 x 4") << 3 << 4 << QStringList() << 12 << 3 << 1001 << "positive (1)" << true;
    QTest::newRow("one pick") << 1 << 1 << QStringList() << 1 << 1 << 1001 << "positive (1)" << true;
    QTest::newRow("300 x 96, seed 7") << 300 << 96 << QStringList{"--seed", "7"} << 28800 << 300 << 1001
                                      << "positive (1)" << true;
    QTest::newRow("first ffid, negative polarity")
        << 5 << 6 << QStringList{"--first-ffid", "-3", "--polarity", "-1"} << 30 << 5 << -3 << "negative (-1)" << true;
    QTest::newRow("polarity 0") << 2 << 3 << QStringList{"--polarity", "0"} << 6 << 2 << 1001 << "negative (0)" << true;
    QTest::newRow("lying fb_count") << 4 << 5 << QStringList{"--declared-count", "21"} << 20 << 4 << 1001
                                    << "positive (1)" << false;
    QTest::newRow("partial last record") << 4 << 5 << QStringList{"--truncate", "50"} << 19 << 4 << 1001
                                         << "positive (1)" << false;
    QTest::newRow("last shot cut off") << 4 << 5 << QStringList{"--truncate", "420"} << 15 << 3 << 1001
                                       << "positive (1)" << false;
}

void TestFbTool::roundTrip()
{
    QFETCH(int, shots);
    QFETCH(int, channels);
    QFETCH(QStringList, options);
    QFETCH(int, records);
    QFETCH(int, indexedShots);
    QFETCH(qint32, firstFfid);
    QFETCH(QString, polarity);
    QFETCH(bool, countMatches);

    const QString file = path(QStringLiteral("round.fb"));
    const Run gen = fbtool(QStringList{"gen", file, "--shots", QString::number(shots), "--channels",
                                       QString::number(channels)} + options);
    QCOMPARE(gen.exitCode, 0);
    QCOMPARE(gen.err, QString());

    const Run info = fbtool({"info", file});
    QCOMPARE(info.exitCode, 0);
    QCOMPARE(field(info.out, "Records"), QString::number(records));
    QCOMPARE(field(info.out, "Shots"), QString::number(indexedShots));
    QCOMPARE(field(info.out, "Polarity"), polarity);
    QCOMPARE(field(info.out, "Declared count").contains(QLatin1String("MISMATCH")), !countMatches);

    // The header's offset range is the range of the offsets written.
    const QStringList offsets = field(info.out, "Offset range").split(QStringLiteral(" .. "));
    QCOMPARE(offsets.size(), 2);
    qint32 minOffset = std::numeric_limits<qint32>::max(), maxOffset = std::numeric_limits<qint32>::min();

    const Run table = fbtool({"shots", file, "--csv"});
    QCOMPARE(table.exitCode, 0);
    const QVector<QStringList> rows = csvRows(table.out);
    QCOMPARE(rows.size(), indexedShots + 1);
    QCOMPARE(rows.first().join(','), QStringLiteral("row,ffid,first,last,records"));

    ShotIndexScanner scanner(file);
    QVERIFY(scanner.open());
    const QVector<ShotIndexEntry> index = scanner.scan();
    QCOMPARE(index.size(), indexedShots);
    for (int row = 0; row < indexedShots; ++row) {
        const QStringList &cells = rows.at(row + 1);
        const ShotIndexEntry &e = index.at(row);
        QCOMPARE(cells, (QStringList{QString::number(row), QString::number(e.ffid), QString::number(e.firstRecord),
                                     QString::number(e.lastRecord), QString::number(e.lastRecord - e.firstRecord + 1)}));
        QCOMPARE(e.ffid, firstFfid + row);
        QCOMPARE(e.firstRecord, row * channels);
        QCOMPARE(e.lastRecord, qMin((row + 1) * channels, records) - 1);
        for (const FbRecord &r : readShotRecords(file, e.firstRecord, e.lastRecord)) {
            minOffset = qMin(minOffset, r.offset);
            maxOffset = qMax(maxOffset, r.offset);
        }
    }
    if (scanner.fileSize() == 16 + 84 * qint64(shots) * channels) {
        QCOMPARE(offsets.at(0).toInt(), minOffset);
        QCOMPARE(offsets.at(1).toInt(), maxOffset);
    }
}

// Every fault gen can plant, alone and together, is reported, and a clean
// file is called clean.
void TestFbTool::check_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");

    // 10 shots of 8 channels: shot row r holds records 8r..8r+7, its
    // middle record is 8r+4.
    QTest::newRow("clean") << QStringList() << 0
                           << QStringList{"Declared count: 80 (matches the file size)", "Varying source attributes: 0",
                                          "Repeated ffids: 0", "Non-finite floats: 0", "Result: clean"};
    QTest::newRow("varying s_elev") << QStringList{"--vary-source", "3"} << 1
                                    << QStringList{"Varying source attributes: 1",
                                                   "  shot row 3, ffid 1004 (records 24..31): s_elev differs in 4 of 8 records",
                                                   "Result: 1 problem found"};
    QTest::newRow("varying s_stat and source_y")
        << QStringList{"--vary-source", "9:s_stat", "--vary-source", "0:source_y"} << 1
        << QStringList{"Varying source attributes: 2",
                       "  shot row 0, ffid 1001 (records 0..7): source_y differs in 4 of 8 records",
                       "  shot row 9, ffid 1010 (records 72..79): s_stat differs in 4 of 8 records"};
    QTest::newRow("NaN group_x") << QStringList{"--nan", "2:group_x"} << 1
                                 << QStringList{"Varying source attributes: 0", "Non-finite floats: 1",
                                                "  record 20 (ffid 1003, channel 5): group_x = nan"};
    // A NaN source coordinate also makes the column vary: NaN equals nothing.
    QTest::newRow("NaN source_x") << QStringList{"--nan", "2"} << 1
                                  << QStringList{"  shot row 2, ffid 1003 (records 16..23): source_x differs in 1 of 8 records",
                                                 "  record 20 (ffid 1003, channel 5): source_x = nan",
                                                 "Result: 2 problems found"};
    QTest::newRow("infinite fb_time") << QStringList{"--inf", "4:fb_time"} << 1
                                      << QStringList{"Non-finite floats: 1",
                                                     "  record 36 (ffid 1005, channel 5): fb_time = inf"};
    QTest::newRow("ffid comes back") << QStringList{"--repeat-ffid", "6"} << 1
                                     << QStringList{"Repeated ffids: 1", "  ffid 1001: 2 runs, at shot rows 0 6",
                                                    "Shots: 10"};
    QTest::newRow("later ffid used early") << QStringList{"--repeat-ffid", "7:2"} << 1
                                           << QStringList{"  ffid 1008: 2 runs, at shot rows 2 7"};
    QTest::newRow("ffid comes back twice") << QStringList{"--repeat-ffid", "6", "--repeat-ffid", "8"} << 1
                                           << QStringList{"  ffid 1001: 3 runs, at shot rows 0 6 8"};
    QTest::newRow("truncated tail") << QStringList{"--truncate", "50"} << 1
                                    << QStringList{"Declared count: 80 MISMATCH: the file size gives 79 records",
                                                   "Partial record: 34 bytes after the last complete record"};
    QTest::newRow("lying fb_count") << QStringList{"--declared-count", "100"} << 1
                                    << QStringList{"Declared count: 100 MISMATCH: the file size gives 80 records",
                                                   "Result: 1 problem found"};
    QTest::newRow("everything") << QStringList{"--vary-source", "1:s_depth", "--nan-coordinate", "5:source_y", "--repeat-ffid", "4",
                                               "--truncate", "84", "--inf", "7:group_y"}
                                << 1
                                << QStringList{"  shot row 1, ffid 1002 (records 8..15): s_depth differs in 4 of 8 records",
                                               "  shot row 5, ffid 1006 (records 40..47): source_y differs in 1 of 8 records",
                                               "  ffid 1001: 2 runs, at shot rows 0 4",
                                               "  record 44 (ffid 1006, channel 5): source_y = nan",
                                               "  record 60 (ffid 1008, channel 5): group_y = inf",
                                               "Declared count: 80 MISMATCH: the file size gives 79 records",
                                               "Result: 4 problems found"};
}

void TestFbTool::check()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);

    const QString file = path(QStringLiteral("check.fb"));
    QCOMPARE(fbtool(QStringList{"gen", file, "--shots", "10", "--channels", "8"} + options).exitCode, 0);
    const Run run = fbtool({"check", file});
    QCOMPARE(run.exitCode, exitCode);
    const QStringList output = run.out.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        QVERIFY2(output.contains(line), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(line, run.out)));

    // Every complete record has one pick status.
    const QStringList counts = field(run.out, "Pick status").split(QStringLiteral(", "));
    QCOMPARE(counts.size(), 3);
    qint64 total = 0;
    for (const QString &count : counts)
        total += count.section(QStringLiteral(": "), 1).toLongLong();
    QCOMPARE(QString::number(total), field(run.out, "Records"));
}

void TestFbTool::dump()
{
    const QString file = path(QStringLiteral("dump.fb"));
    QCOMPARE(fbtool({"gen", file, "--shots", "6", "--channels", "5", "--repeat-ffid", "3", "--nan", "4"}).exitCode, 0);

    const Run byRow = fbtool({"dump", file, "--shot", "2", "--csv"});
    QCOMPARE(byRow.exitCode, 0);
    const QVector<QStringList> rows = csvRows(byRow.out);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows.first().join(','), QStringLiteral("fb_no,ffid,channel,fb_time,offset,g_elev,s_elev,s_depth,source_x,"
                                                    "source_y,group_x,group_y,s_line,s_stat,g_line,g_stat,fb_status"));
    const QVector<FbRecord> records = readShotRecords(file, 10, 14);
    for (int k = 0; k < 5; ++k) {
        const QStringList &cells = rows.at(k + 1);
        QCOMPARE(cells.size(), 17);
        QCOMPARE(cells.at(0), QString::number(records.at(k).fb_no));
        QCOMPARE(cells.at(1), QStringLiteral("1003"));
        QCOMPARE(cells.at(3), QString::number(double(records.at(k).fb_time), 'g', 6));
        QCOMPARE(cells.at(8), QString::number(double(records.at(k).source_x), 'f', 2));
        QCOMPARE(cells.at(16), QString::number(records.at(k).fb_status));
    }

    // The first shot of an ffid that comes back; a note says so.
    const Run byFfid = fbtool({"dump", file, "--ffid", "1001", "--csv"});
    QCOMPARE(byFfid.exitCode, 0);
    QCOMPARE(csvRows(byFfid.out).at(1).at(0), QStringLiteral("1"));
    QVERIFY(byFfid.err.contains(QLatin1String("row 0")));

    const Run nan = fbtool({"dump", file, "--ffid", "1005"});
    QCOMPARE(nan.exitCode, 0);
    QCOMPARE(nan.out.count(QLatin1String("nan")), 1);
    QCOMPARE(nan.out.split('\n', Qt::SkipEmptyParts).size(), 6);
}

// A file that cannot be read, or a command line that cannot be used: exit
// code 2, one line on stderr, nothing on stdout.
void TestFbTool::failures_data()
{
    QTest::addColumn<QStringList>("args");

    const QString missing = path(QStringLiteral("missing.fb"));
    QTest::newRow("info, missing file") << QStringList{"info", missing};
    QTest::newRow("shots, missing file") << QStringList{"shots", missing, "--csv"};
    QTest::newRow("dump, missing file") << QStringList{"dump", missing, "--shot", "0"};
    QTest::newRow("check, missing file") << QStringList{"check", missing};
    QTest::newRow("check, a directory") << QStringList{"check", m_dir.path()};
    QTest::newRow("info, a directory") << QStringList{"info", m_dir.path()};
    QTest::newRow("gen, folder missing") << QStringList{"gen", path("no/such/dir.fb"), "--shots", "1", "--channels", "1"};
    QTest::newRow("gen, no counts") << QStringList{"gen", path("x.fb")};
    QTest::newRow("gen, bad count") << QStringList{"gen", path("x.fb"), "--shots", "many", "--channels", "2"};
    QTest::newRow("gen, fault outside the file") << QStringList{"gen", path("x.fb"), "--shots", "2", "--channels", "2", "--nan", "2"};
    QTest::newRow("gen, fault on a trace field") << QStringList{"gen", path("x.fb"), "--shots", "2", "--channels", "2", "--vary-source", "0:offset"};
    QTest::newRow("gen, ffid repeat of a neighbour") << QStringList{"gen", path("x.fb"), "--shots", "9", "--channels", "2", "--repeat-ffid", "4:5"};
    QTest::newRow("gen, ffid repeat outside") << QStringList{"gen", path("x.fb"), "--shots", "9", "--channels", "2", "--repeat-ffid", "9:2"};
    QTest::newRow("dump, neither --shot nor --ffid") << QStringList{"dump", missing};
    QTest::newRow("no FILE") << QStringList{"info"};
    QTest::newRow("unknown option") << QStringList{"shots", missing, "--tsv"};
    QTest::newRow("unknown command") << QStringList{"list", missing};
    QTest::newRow("no command") << QStringList();
}

void TestFbTool::failures()
{
    QFETCH(QStringList, args);
    const Run run = fbtool(args);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith(QLatin1String("fbtool: ")) && run.err.count(QLatin1Char('\n')) == 1, qPrintable(run.err));
}

void TestFbTool::help_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("fbtool") << QStringList{"--help"} << "check";
    QTest::newRow("gen") << QStringList{"gen", "--help"} << "--repeat-ffid";
    QTest::newRow("info") << QStringList{"info", "--help"} << "summary";
    QTest::newRow("shots") << QStringList{"shots", "--help"} << "--csv";
    QTest::newRow("dump") << QStringList{"dump", "--help"} << "--ffid";
    QTest::newRow("check") << QStringList{"check", "-h"} << "Exit code";
}

void TestFbTool::help()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    const Run run = fbtool(args);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith(QLatin1String("Usage: ")));
    QVERIFY2(run.out.contains(mentions), qPrintable(run.out));
}

// The synthetic survey looks like one: a split spread with offsets on both
// sides, receivers one group interval apart along the line, source values
// constant within the shot, first breaks later at larger offsets, and a
// mix of pick statuses.
void TestFbTool::geometry()
{
    FbGenerator::Options o;
    o.shots = 40;
    o.channels = 48;
    o.groupInterval = 30;
    o.seed = 11;
    QVERIFY(FbGenerator::validate(o).isEmpty());

    QSet<qint32> statuses;
    for (int shot : {0, 20, 39}) {
        const QVector<FbRecord> records = FbGenerator::shotRecords(o, shot);
        QCOMPARE(records.size(), o.channels);
        const FbRecord &first = records.first();
        int negative = 0, positive = 0;
        for (int c = 0; c < records.size(); ++c) {
            const FbRecord &r = records.at(c);
            QCOMPARE(r.channel, c + 1);
            QCOMPARE(r.ffid, o.firstFfid + shot);
            QCOMPARE(r.s_elev, first.s_elev);
            QCOMPARE(r.source_x, first.source_x);
            QCOMPARE(r.s_stat, first.s_stat);
            QCOMPARE(r.offset, (r.g_stat - r.s_stat) * o.groupInterval);
            negative += r.offset < 0;
            positive += r.offset > 0;
            statuses.insert(r.fb_status);
            if (c > 0) {
                const double step = std::hypot(double(r.group_x - records.at(c - 1).group_x),
                                               double(r.group_y - records.at(c - 1).group_y));
                QVERIFY2(std::abs(step - o.groupInterval) < 1.5, qPrintable(QString::number(step)));
            }
        }
        // End-on at the line's ends, split in the middle.
        if (shot == 0)
            QCOMPARE(negative, 0);
        else if (shot == o.shots - 1)
            QCOMPARE(positive, 0);
        else
            QVERIFY(negative > 10 && positive > 10);

        // Far traces break well after near ones.
        auto nearest = std::min_element(records.begin(), records.end(), [](const FbRecord &a, const FbRecord &b) {
            return std::abs(a.offset) < std::abs(b.offset);
        });
        auto farthest = std::max_element(records.begin(), records.end(), [](const FbRecord &a, const FbRecord &b) {
            return std::abs(a.offset) < std::abs(b.offset);
        });
        QVERIFY(farthest->fb_time > nearest->fb_time + 100.0f);
    }
    QVERIFY(statuses.contains(0) && statuses.contains(1));
    QVERIFY(statuses.size() >= 3);
}

void TestFbTool::sameSeedSameFile()
{
    const QStringList args{"--shots", "20", "--channels", "12", "--seed", "5"};
    QCOMPARE(fbtool(QStringList{"gen", path("a.fb")} + args).exitCode, 0);
    QCOMPARE(fbtool(QStringList{"gen", path("b.fb")} + args).exitCode, 0);
    QCOMPARE(fbtool({"gen", path("c.fb"), "--shots", "20", "--channels", "12", "--seed", "6"}).exitCode, 0);
    auto bytes = [this](const char *name) {
        QFile f(path(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QCOMPARE(bytes("a.fb").size(), 16 + 84 * 240);
    QVERIFY(bytes("a.fb") == bytes("b.fb"));
    QVERIFY(bytes("a.fb") != bytes("c.fb"));
}

QTEST_GUILESS_MAIN(TestFbTool)
#include "tst_fbtool.moc"
