// The fbtool command line, run as a program: a generated file reads back
// as asked, check finds every fault gen can plant and names junk as such,
// dump streams a shot larger than a block in the viewer's cell texts, and
// every failure is one line and exit code 2, never a hang, with nothing
// written.

#include <fbfile/fbcolumns.h>
#include <fbfile/shotrecords.h>
#include "fbtoolrun.h"
#include "fbtestfile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace FbFile;

using FbTest::fbtool;
using FbTest::Run;

class TestFbTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(mkfifo(qPrintable(path("fifo.fb")), 0600) == 0);
        QCOMPARE(fbtool({"gen", path("small.fb"), "--shots", "3", "--channels", "3"}).exitCode, 0);
    }

    // A file read through a symlink by info, shots --csv and check: every
    // listed line must appear, in the order listed, and info and check agree on the counts. The
    // file is the given bytes, or (given null) 10 shots of 8 channels made
    // with the row's options; shot n then holds records 8n-7..8n, its middle
    // record is 8n-3. For given bytes the options go to check. info refuses
    // (exit 2) a file without a complete record or with a reversed header.
    void readBack_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("checkExit");
        QTest::addColumn<int>("infoExit"); // 2: info names the file as not an FB file
        QTest::addColumn<QStringList>("lines");
        const QByteArray gen;
        QTest::newRow("clean") << gen << QStringList() << 0 << 0
                               << QStringList{"Records: 80",
                                              "Shots: 10",
                                              "Polarity: positive (1)",
                                              "1,1001,1,8,8",
                                              "10,1010,73,80,8",
                                              "Declared count: 80 (matches the file size)",
                                              "Varying source attributes: 0",
                                              "Repeated ffids: 0",
                                              "Non-finite floats: 0",
                                              "Result: clean"};
        QTest::newRow("first ffid -3, polarity -1")
            << gen << QStringList{"--first-ffid", "-3", "--polarity", "-1"} << 0 << 0
            << QStringList{"Polarity: negative (-1)", "1,-3,1,8,8", "10,6,73,80,8", "Result: clean"};
        QTest::newRow("varying s_elev") << gen << QStringList{"--vary-source", "4"} << 1 << 0
                                        << QStringList{
                                               "Varying source attributes: 1",
                                               "  shot 4 > 1004 (records 25..32): s_elev differs in 4 of 8 records",
                                               "Result: 1 problem found"};
        QTest::newRow("NaN group_x") << gen << QStringList{"--nan", "3:group_x"} << 1 << 0
                                     << QStringList{"Varying source attributes: 0", "Non-finite floats: 1",
                                                    "  record 21 (fb_no 21, ffid 1003, channel 5): group_x = nan"};
        // A NaN source coordinate also makes its column vary: NaN equals nothing.
        QTest::newRow("NaN source_x") << gen << QStringList{"--nan", "3"} << 1 << 0
                                      << QStringList{
                                             "  shot 3 > 1003 (records 17..24): source_x differs in 1 of 8 records",
                                             "  record 21 (fb_no 21, ffid 1003, channel 5): source_x = nan",
                                             "Result: 2 problems found"};
        QTest::newRow("infinite fb_time")
            << gen << QStringList{"--inf", "5:fb_time"} << 1 << 0
            << QStringList{"Non-finite floats: 1", "  record 37 (fb_no 37, ffid 1005, channel 5): fb_time = inf"};
        // Listed by first shot, which is not ffid order here: 1001, 1009, 1004.
        QTest::newRow("ffids come back") << gen << QStringList{"--repeat-ffid", "9:2", "--repeat-ffid", "4:7",
                                                               "--repeat-ffid", "6",   "--repeat-ffid", "10"}
                                         << 1 << 0 << QStringList{"Shots: 10",
                                                                  "Repeated ffids: 3",
                                                                  "  ffid 1001 names 3 shots:",
                                                                  "    shot 1 > 1001",
                                                                  "    shot 6 > 1001",
                                                                  "    shot 10 > 1001",
                                                                  "  ffid 1009 names 2 shots:",
                                                                  "    shot 2 > 1009",
                                                                  "    shot 9 > 1009",
                                                                  "  ffid 1004 names 2 shots:",
                                                                  "    shot 4 > 1004",
                                                                  "    shot 7 > 1004"};
        QTest::newRow("partial last record")
            << gen << QStringList{"--truncate", "50"} << 1 << 0
            << QStringList{"Records: 79", "10,1010,73,79,7",
                           "Declared count: 80 MISMATCH: the file size gives 79 records",
                           "Partial record: 34 bytes after the last complete record"};
        QTest::newRow("lying fb_count") << gen << QStringList{"--declared-count", "100"} << 1 << 0
                                        << QStringList{"Declared count: 100 MISMATCH: the file size gives 80 records",
                                                       "Result: 1 problem found"};
        QTest::newRow("0 bytes") << QByteArray("") << QStringList() << 1 << 2
                                 << QStringList{"Records: 0", "Shots: 1",
                                                "No complete record: 0 bytes cannot hold a header and one record",
                                                "Result: 1 problem found"};
        QTest::newRow("a header and 83 bytes")
            << QByteArray(16 + 83, '\0') << QStringList() << 1 << 2
            << QStringList{"Partial record: 83 bytes after the last complete record", "Result: 2 problems found"};
        // "ick " as the min_offset word is larger than "file" as max_offset.
        QTest::newRow("text renamed .fb")
            << QByteArray("README for the pick files of line 7.\n").repeated(3) << QStringList() << 1 << 2
            << QStringList{"Header offset range: 1948283503 .. 1881171304 REVERSED: "
                           "this header cannot describe any record; not an FB file?"};
        // Every word but the ffid all ones: offsets -1, five NaNs a record.
        // Two ffids alternate, so each names 60 one-record shots, and each
        // shot's NaN source_x and source_y vary (NaN equals nothing).
        QByteArray nans(16, '\0');
        for (int k = 0; k < 120; ++k)
            nans += QByteArray(4, char(k % 2)) + QByteArray(80, '\xff');
        QTest::newRow("600 NaNs, 240 variations, 2 ffids of 60 shots")
            << nans << QStringList() << 1 << 0
            << QStringList{
                   "Header offset range: 0 .. 0 does NOT contain the records' offsets -1 .. -1; not an FB file?",
                   "Varying source attributes: 240",
                   "  ... and 190 more",
                   "Repeated ffids: 2",
                   "  ffid 0 names 60 shots:",
                   "    ... and 10 more",
                   "Non-finite floats: 600",
                   "  ... and 550 more"};
        QTest::newRow("the same, --all")
            << nans << QStringList{"--all"} << 1 << 0
            << QStringList{"  shot 120 > 16843009 (records 120..120): source_y differs in 1 of 1 records",
                           "    shot 120 > 16843009",
                           "  record 120 (fb_no -1, ffid 16843009, channel -1): fb_time = nan"};
    }
    void readBack()
    {
        QFETCH(QByteArray, given);
        QFETCH(QStringList, options);
        QFETCH(int, checkExit);
        QFETCH(int, infoExit);
        QFETCH(QStringList, lines);
        const QString file = path("read.fb"), link = path("link.fb");
        if (given.isNull())
            QCOMPARE(fbtool(QStringList{"gen", file, "--shots", "10", "--channels", "8"} + options).exitCode, 0);
        else
            QVERIFY(FbTest::writeFile(file, given));
        QFile::remove(link);
        QVERIFY(QFile::link(file, link));
        const Run info = fbtool({"info", link}), shots = fbtool({"shots", link, "--csv"});
        const Run check = fbtool(QStringList{"check", link} + (given.isNull() ? QStringList() : options));
        QVERIFY2(info.exitCode == infoExit && shots.exitCode == 0, qPrintable(info.err));
        QCOMPARE(check.exitCode, checkExit);
        const QStringList output = (info.out + shots.out + check.out).split(QLatin1Char('\n'));
        int at = -1;
        for (const QString &line : lines) {
            const int found = output.indexOf(line, at + 1);
            QVERIFY2(found > at, qPrintable("missing line, or before the line listed ahead of it: " + line));
            at = found;
        }
        if (infoExit != 0) {
            QVERIFY2(info.err.contains(": not an FB file: "), qPrintable(info.err));
            return;
        }
        const QStringList checkLines = check.out.split(QLatin1Char('\n'));
        for (const char *count : {"Records: ", "Shots: "})
            QVERIFY2(checkLines.filter(count).size() == 1 &&
                         checkLines.filter(count) == info.out.split('\n').filter(count),
                     qPrintable(QStringLiteral("info and check disagree on %1").arg(count)));
    }

    // dump --shot takes the viewer's position, --ffid the shot's number; a
    // shot larger than one read block (12483 records) streams whole, in file
    // order. Every cell is the viewer's text, aligned and in CSV, also where
    // one value alone sets a column's width: each kind of fb_time text that
    // can be the widest, and 2-decimal texts at both ends of a column's range.
    void dump_data()
    {
        QTest::addColumn<QStringList>("gen"); // empty: one shot of ffid 7 with these fb_time and group_x
        QTest::addColumn<QVector<float>>("fbTimes");
        QTest::addColumn<QVector<float>>("groupXs");
        QTest::addColumn<QStringList>("select");
        QTest::addColumn<int>("first"); // the shot's first record, 0-based
        QTest::addColumn<int>("rows");
        const QStringList written, shot1{"--shot", "1"};
        const QVector<float> none;
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("shot 4 of 10") << QStringList{"--shots", "10", "--channels", "8"} << none << none
                                      << QStringList{"--shot", "4"} << 24 << 8;
        QTest::newRow("ffid 1002") << QStringList{"--shots", "3", "--channels", "5"} << none << none
                                   << QStringList{"--ffid", "1002"} << 5 << 5;
        QTest::newRow("one shot of 20000")
            << QStringList{"--shots", "1", "--channels", "20000"} << none << none << shot1 << 0 << 20000;
        QTest::newRow("0.123457") << written << QVector<float>{0.75f, 0.123457f} << QVector<float>{1, 2} << shot1 << 0
                                  << 2;
        QTest::newRow("-0.00012345") << written << QVector<float>{2, -0.00012345f} << QVector<float>{1, 2} << shot1 << 0
                                     << 2;
        QTest::newRow("1.23457e+06") << written << QVector<float>{2, 1234567} << QVector<float>{1, 2} << shot1 << 0
                                     << 2;
        QTest::newRow("-1.23457e+06, NaN, -inf")
            << written << QVector<float>{-1234567, float(qQNaN()), -inf} << QVector<float>{1, 2, 3} << shot1 << 0 << 3;
        QTest::newRow("group_x -0.00 and 1e10")
            << written << QVector<float>{1, 2} << QVector<float>{-0.001f, 1e10f} << shot1 << 0 << 2;
        QTest::newRow("group_x -5e9 and 1")
            << written << QVector<float>{1, 2} << QVector<float>{-5e9f, 1} << shot1 << 0 << 2;
    }
    void dump()
    {
        QFETCH(QStringList, gen);
        QFETCH(QVector<float>, fbTimes);
        QFETCH(QVector<float>, groupXs);
        QFETCH(QStringList, select);
        QFETCH(int, first);
        QFETCH(int, rows);
        const QString file = path("dump.fb");
        if (gen.isEmpty()) {
            QVector<FbRecord> records = FbTest::recordsWithFfids(QVector<qint32>(fbTimes.size(), 7));
            for (int k = 0; k < records.size(); ++k) {
                records[k].fb_time = fbTimes.at(k);
                records[k].group_x = groupXs.at(k);
            }
            QVERIFY(FbTest::writeFile(file, FbTest::fileBytes(records)));
        } else {
            QCOMPARE(fbtool(QStringList{"gen", file} + gen).exitCode, 0);
        }
        const QVector<FbRecord> records = readShotRecords(file, first, first + rows - 1);
        QVector<const FbLayout::Field *> fields;
        for (int c = 0; c < FbColumns::Count; ++c)
            fields << &FbColumns::field(c);
        fields << FbLayout::fieldNamed("fb_status");
        for (const bool csv : {false, true}) {
            const QStringList format = csv ? QStringList{"--csv"} : QStringList();
            const Run run = fbtool(QStringList{"dump", file} + select + format);
            QCOMPARE(run.exitCode, 0);
            const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), rows + 1);
            for (int k = 0; k < rows; ++k) {
                const QString &line = lines.at(k + 1);
                QVERIFY2(csv || line.size() == lines.first().size(), qPrintable("not aligned: " + line));
                QStringList texts;
                for (const FbLayout::Field *f : fields)
                    texts << FbColumns::fieldText(*f, records.at(k));
                const QStringList cells = csv ? line.split(',') : line.simplified().split(' ');
                QCOMPARE(cells, texts);
            }
        }
    }

    // Exit code 2 at once, nothing on stdout, one line on stderr that starts
    // "fbtool: " and a lower-case word or the file's path, and no file
    // written or changed: no input, no shot records given to pick and qc,
    // and no file an output's name or link leads to.
    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("stdoutFile");
        QTest::addColumn<QString>("errorPart");
        const QString gen = path("small.fb"), missing = path("missing.fb"), fifo = path("fifo.fb");
        QTest::newRow("info, missing file") << QStringList{"info", missing} << QString() << "No such file";
        QTest::newRow("check, a directory") << QStringList{"check", m_dir.path()} << QString() << "not a regular file";
        QTest::newRow("info, a FIFO") << QStringList{"info", fifo} << QString() << fifo + ": not a regular file";
        QTest::newRow("check, a FIFO") << QStringList{"check", fifo} << QString() << "not a regular file";
        QTest::newRow("gen onto a FIFO") << QStringList{"gen", fifo, "--shots", "1", "--channels", "1"} << QString()
                                         << "not a regular file";
        QTest::newRow("dump, a device") << QStringList{"dump", "/dev/zero", "--shot", "1"} << QString()
                                        << "/dev/zero: not a regular file";
        QTest::newRow("gen, folder missing")
            << QStringList{"gen", path("no/such.fb"), "--shots", "1", "--channels", "1"} << QString() << "cannot write";
        QTest::newRow("gen, bad field") << QStringList{"gen",        gen, "--shots",       "3",
                                                       "--channels", "3", "--vary-source", "1:g_elev"}
                                        << QString()
                                        << "use one of s_elev, s_depth, source_x, source_y, s_line, s_stat";
        QTest::newRow("gen, position 0") << QStringList{"gen", gen, "--shots", "3", "--channels", "3", "--nan", "0"}
                                         << QString() << "--nan: '0' is not POS";
        QTest::newRow("gen, channels not shared by the receiver lines")
            << QStringList{"gen", gen, "--shots", "3", "--channels", "10", "--receiver-lines", "4"} << QString()
            << "--channels (10) must be a multiple of --receiver-lines (4)";
        QTest::newRow("gen, a patch with sources off the line")
            << QStringList{"gen", gen, "--shots", "3", "--channels", "8", "--receiver-lines", "2", "--source-crossline",
                           "5,10"}
            << QString() << "not with --receiver-lines";
        QTest::newRow("unknown option") << QStringList{"shots", gen, "--bogus"} << QString() << "unknown option";
        QTest::newRow("dump, shot past the last") << QStringList{"dump", gen, "--shot", "4"} << QString() << "1..3";
        QTest::newRow("shots to a full device") << QStringList{"shots", gen} << "/dev/full"
                                                << "cannot write";
        QTest::newRow("dump to a full device") << QStringList{"dump", gen, "--shot", "1"} << "/dev/full"
                                               << "cannot write";
        const QString png = path("x.png"), newFile = path("g.fb");
        QTest::newRow("qc, missing file") << QStringList{"qc", missing} << QString() << "No such file";
        QTest::newRow("qc, threshold not a number")
            << QStringList{"qc", gen, "--outlier-ms", "8ms"} << QString() << "is not a time in ms";
        // qc prints no report that it then disowns.
        QTest::newRow("qc, tables into a file")
            << QStringList{"qc", gen, "--csv", gen} << QString() << "cannot make the folder";
        const QString full = path("full"); // a table on a disk with no room left
        QVERIFY(QDir().mkpath(full) && QFile::link("/dev/full", full + "/shots.csv"));
        QTest::newRow("qc, disk full") << QStringList{"qc", gen, "--csv", full} << QString() << "No space left";
        QTest::newRow("qc, tables under a file")
            << QStringList{"qc", gen, "--csv", gen + "/tables"} << QString() << "cannot make the folder";
        const QString taken = path("taken"); // a folder where a table goes
        QVERIFY(QDir().mkpath(taken + "/problems.csv"));
        QTest::newRow("qc, a table is a folder")
            << QStringList{"qc", gen, "--csv", taken} << QString() << "problems.csv: Is a directory";
        QTest::newRow("plot, shot 0") << QStringList{"plot", gen, "--shot", "0", "-o", png} << QString()
                                      << "is not a shot in 1..3";
        QTest::newRow("plot, unknown format")
            << QStringList{"plot", gen, "--shot", "1", "-o", path("x.jpg")} << QString() << "does not end in .png";
        QTest::newRow("plot, image too small")
            << QStringList{"plot", gen, "--shot", "1", "-o", png, "--size", "100x800"} << QString()
            << "each in 200..8000";
        QTest::newRow("plot, no such folder")
            << QStringList{"plot", gen, "--shot", "1", "-o", path("no/x.png")} << QString() << "does not exist";
        const QString folder = path("folder.svg");
        QVERIFY(QDir().mkpath(folder));
        QTest::newRow("map into a folder") << QStringList{"map", gen, "-o", folder} << QString() << "is a folder";
        QTest::newRow("map, unknown colouring")
            << QStringList{"map", gen, "--color", "depth", "-o", png} << QString() << "'depth' is not outliers";
        QTest::newRow("gen, spike at shot 0")
            << QStringList{"gen", newFile, "--shots", "2", "--channels", "4", "--spike", "0:1:20"} << QString()
            << "is not POS:CHANNEL:MS";
        QTest::newRow("gen, spike past the channels")
            << QStringList{"gen", newFile, "--shots", "2", "--channels", "4", "--spike", "1:5:20"} << QString()
            << "channel 5 is not in 1..4";
        QTest::newRow("gen, shift without a time")
            << QStringList{"gen", newFile, "--shots", "2", "--channels", "4", "--shift", "1"} << QString()
            << "is not POS:MS";
        // No output may replace an input, the traces' files included,
        // whatever name or link leads to it.
        const auto link = [this](const QString &target, const char *name) {
            const QString at = path(name);
            QDir().mkpath(QFileInfo(at).path());
            return QFile::link(target, at) ? at : QString();
        };
        const QString self = "it is the input file", table = path("q4/outliers.csv"), hard = path("v3.pdf");
        QVERIFY(QDir().mkpath(path("q4")) && QFile::copy(gen, table));
        QVERIFY(::link(qPrintable(gen), qPrintable(hard)) == 0);
        QTest::newRow("plot through a symlink")
            << QStringList{"plot", gen, "--shot", "1", "-o", link(gen, "v1.svg")} << QString() << self;
        QTest::newRow("map through a symlink")
            << QStringList{"map", gen, "-o", link(gen, "v2.png")} << QString() << self;
        QTest::newRow("map --view, a hard link")
            << QStringList{"map", gen, "--view", "receivers", "-o", hard} << QString() << self;
        QTest::newRow("qc --csv, the input is a table")
            << QStringList{"qc", table, "--csv", path("q4")} << QString() << self;
        link(gen, "q5/shots.csv");
        QTest::newRow("qc --csv, a table links to the input")
            << QStringList{"qc", gen, "--csv", path("q5") + "/"} << QString() << self;
        // A data set of SEG-2 files is read from each file of its folder.
        const QString seg2 = path("s6"), shot = seg2 + "/1001.sg2", line6 = path("s6.fb");
        QCOMPARE(fbtool({"gen", line6, "--shots", "2", "--channels", "6", "--traces", seg2, "--traces-format", "seg2"})
                     .exitCode,
                 0);
        link(shot, "q6/problems.csv");
        QTest::newRow("qc --seismic --csv, a table links to a trace file")
            << QStringList{"qc", line6, "--seismic", seg2, "--csv", path("q6")} << QString() << self;
        QTest::newRow("traces, the image links to a trace file")
            << QStringList{"traces", line6, "--seismic", seg2, "--shot", "1", "-o", link(shot, "v6.png")} << QString()
            << self;
        QTest::newRow("pick, the output links to a trace file")
            << QStringList{"pick", "--seismic", seg2, "-o", link(shot, "v6.fb")} << QString() << self;
        // Picking and judging against shot records.
        const QString line = path("traced.fb"), data = path("traced.sgy"), picked = path("picked.fb");
        QCOMPARE(fbtool({"gen", line, "--shots", "2", "--channels", "12", "--traces", data}).exitCode, 0);
        QTest::newRow("pick: no data set") << QStringList{"pick", "-o", picked} << QString() << "missing --seismic";
        QTest::newRow("pick: no output") << QStringList{"pick", "--seismic", data} << QString() << "missing -o";
        QTest::newRow("pick: threads not a number")
            << QStringList{"pick", "--seismic", data, "-o", picked, "--threads", "x"} << QString() << "--threads";
        QTest::newRow("pick: an FB file as the data set")
            << QStringList{"pick", "--seismic", line, "-o", picked} << QString() << "neither SEG-Y nor SEG-2";
        QTest::newRow("pick: geometry that cannot be read")
            << QStringList{"pick", "--seismic", data, "-o", picked, "--geometry", missing} << QString() << missing;
        QTest::newRow("pick: output over the data set")
            << QStringList{"pick", "--seismic", data, "-o", data} << QString() << data;
        QTest::newRow("qc: an FB file as the data set")
            << QStringList{"qc", line, "--seismic", line} << QString() << "neither SEG-Y nor SEG-2";
        QTest::newRow("qc: no such data set") << QStringList{"qc", line, "--seismic", missing} << QString() << missing;
        QTest::newRow("qc: first sample not a number")
            << QStringList{"qc", line, "--seismic", data, "--first-sample", "x"} << QString() << "--first-sample";
        QTest::newRow("qc: ffid byte past the header")
            << QStringList{"qc", line, "--seismic", data, "--ffid-byte", "300"} << QString() << "--ffid-byte";
        QTest::newRow("qc: no such match") << QStringList{"qc", line, "--seismic", data, "--by", "shot"} << QString()
                                           << "--by: 'shot' is not keys or position";
        QTest::newRow("seis: tolerance 0")
            << QStringList{"seis", data, "--match", line, "--by", "position", "--tolerance", "0"} << QString()
            << "--tolerance: '0' is not a positive number";
        // gen refuses traps and faults it cannot plant, and a traces folder
        // holding another line's shots.
        const QStringList genTraces{"gen", newFile, "--shots", "4", "--channels", "24", "--traces", path("t")};
        QTest::newRow("gen, cycle skip off the line") << genTraces + QStringList{"--cycle-skip", "2:20-30"} << QString()
                                                      << "--cycle-skip: channels 20-30 are not a run within 1..24";
        QTest::newRow("gen, mispick not of its form")
            << genTraces + QStringList{"--mispick", "2:5"} << QString() << "--mispick: '2:5' is not POS:CH:MS";
        QTest::newRow("gen, hum not of its form")
            << genTraces + QStringList{"--hum", "50:loud"} << QString() << "--hum: '50:loud' is not HZ[:AMP]";
        QTest::newRow("gen, emergent share over 1") << genTraces + QStringList{"--emergent", "1.5"} << QString()
                                                    << "--emergent must be a fraction between 0 and 1";
        QTest::newRow("gen, a SEG-2 folder holding another line")
            << QStringList{"gen",      newFile, "--shots",         "2",    "--channels",   "6",
                           "--traces", seg2,    "--traces-format", "seg2", "--first-ffid", "3001"}
            << QString() << "holds 1001.sg2, which is no shot of this line: give an empty or new folder";
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, stdoutFile);
        QFETCH(QString, errorPart);
        // Nothing written: every file as it was and no new one, the tables
        // before one on a disk that filled part-way included.
        const auto listing = [this] {
            QStringList entries;
            QDirIterator it(m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo info(it.next());
                entries << info.filePath();
                if (info.isFile())
                    entries.last() += QStringLiteral(" %1 %2")
                                          .arg(info.size())
                                          .arg(info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
            }
            entries.sort();
            return entries;
        };
        const QStringList before = listing();
        const Run run = fbtool(args, FbTest::Limits{stdoutFile});
        QVERIFY2(FbTest::refused(run, errorPart), qPrintable(QString::number(run.exitCode) + run.out + run.err));
        QCOMPARE(listing(), before);
    }

    // Every option a command's --help offers is named in that command's entry
    // of the manual page (one of its names, for an option with aliases).
    void manPageListsEveryOption_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *command : {"gen", "info", "shots", "dump", "check", "qc", "plot", "map", "traces", "edit",
                                    "export", "import", "seis", "pick"})
            QTest::newRow(command) << QString::fromLatin1(command);
    }
    void manPageListsEveryOption()
    {
        QFETCH(QString, command);
        // The page as read: no font changes, '\-' a plain hyphen.
        const QString page = QString::fromUtf8(FbTest::contents(QStringLiteral(MAN_PAGE)))
                                 .remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")))
                                 .replace(QLatin1String("\\-"), QLatin1String("-"));
        // A command's entry: from the tagged line naming it to the next tag.
        const int start = page.indexOf(QRegularExpression("\\.TP\n" + command + "\\b"));
        QVERIFY2(start >= 0, "no entry for the command");
        const QString entry = page.mid(start, page.indexOf(QLatin1String(".TP"), start + 3) - start);

        const Run help = fbtool({command, "--help"});
        QCOMPARE(help.exitCode, 0);
        const QRegularExpression optionLine(QStringLiteral("^  (-[-a-z0-9, ]+?)(?: <|  |$)"),
                                            QRegularExpression::MultilineOption);
        int options = 0;
        for (auto it = optionLine.globalMatch(help.out); it.hasNext();) {
            const QStringList names = it.next().captured(1).split(QStringLiteral(", "));
            if (names.contains(QLatin1String("--help")) || names.contains(QLatin1String("--help-all")))
                continue;
            ++options;
            bool named = false;
            for (const QString &name : names)
                named = named || entry.contains(QRegularExpression(QRegularExpression::escape(name) + "(?![-a-z])"));
            QVERIFY2(named, qPrintable(names.join(QLatin1String(", ")) + " is not in the manual page"));
        }
        QVERIFY(options > 0 || command == QLatin1String("info"));
    }
};

QTEST_GUILESS_MAIN(TestFbTool)
#include "tst_fbtool.moc"
