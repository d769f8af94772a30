// fbtool's commands over shot records, run as a user would on records that
// fbtool gen wrote under known picks: seis describes a data set and matches
// picks to it; pick lands on the true onsets and keeps the data set's order
// and the chosen geometry; qc --seismic names the picker faults planted in
// the picks where they are and leaves the clean twin clean, and says a time
// base set wrong; neither depends on the thread count.

#include <fbfile/fblayout.h>
#include <fbfile/fbpicks.h>
#include "fbtoolrun.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace FbFile;

using FbTest::contents;
using FbTest::fbtool;
using FbTest::Run;

namespace {

QVector<FbRecord> records(const QString &fileName)
{
    const QByteArray bytes = contents(fileName);
    QVector<FbRecord> out;
    for (qint64 at = FbLayout::HeaderSize; at + FbLayout::RecordSize <= bytes.size(); at += FbLayout::RecordSize)
        out.append(FbLayout::decodeRecord(bytes.constData() + at));
    return out;
}

// The waveform kinds' rows of a problems table, without the text column.
QStringList waveformRows(const QString &fileName)
{
    QStringList rows;
    for (const QByteArray &line : contents(fileName).split('\n')) {
        const QString row = QString::fromUtf8(line);
        if (row.startsWith(QLatin1String("off-onset,")) || row.startsWith(QLatin1String("cycle-skip,")))
            rows << row.section(QLatin1Char(','), 0, 4);
    }
    return rows;
}

// Zeroes the offset and the source and receiver coordinates in every trace
// header of a SEG-Y file of traceCount traces, as recorders that leave the
// geometry to the FB file write them (bytes 37-40 and 73-88 of a header).
bool stripGeometry(const QString &fileName, int traceCount)
{
    QByteArray bytes = contents(fileName);
    constexpr int TextAndBinary = 3600;
    const int traceBytes = (bytes.size() - TextAndBinary) / traceCount;
    for (int i = 0; i < traceCount; ++i) {
        char *header = bytes.data() + TextAndBinary + qint64(i) * traceBytes;
        std::fill(header + 36, header + 40, '\0');
        std::fill(header + 72, header + 88, '\0');
    }
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestSeisCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_runs = 0;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QCOMPARE(fbtool({"gen", path("seis-picks.fb"), "--shots", "4", "--channels", "24"}).exitCode, 0);
    }

    // What seis says of generated traces and picks, and the exit code: 0,
    // or 1 when no pick matches.
    void seisCommand_data()
    {
        QTest::addColumn<QStringList>("gen");  // after "gen FB --shots 4 --channels 24"
        QTest::addColumn<QStringList>("seis"); // after "seis DATA"
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines"); // in stdout, or the one stderr line
        QTest::newRow("SEG-Y") << QStringList{} << QStringList{} << 0
                               << QStringList{"Format: SEG-Y revision 1, big-endian, EBCDIC textual header",
                                              "Sample format: IEEE float",
                                              "Traces: 96",
                                              "Shots: 4",
                                              "Sample interval: 0.5 ms",
                                              "First sample: 0 ms",
                                              "Matched by ffid and channel: 96",
                                              "Picks without a trace: 0"};
        QTest::newRow("SEG-2, renumbered")
            << QStringList{"--traces-format", "seg2", "--sample-interval", "0.25", "--first-ffid", "2001"}
            << QStringList{"--first-sample", "-5"} << 1
            << QStringList{"Format: SEG-2 revision 1, little-endian, 4 files",
                           "Sample format: float32",
                           "Sample interval: 0.25 ms",
                           "First sample: -5 ms (--first-sample)",
                           "Matched by ffid and channel: 0",
                           "  pick 1 (ffid 1001, channel 1): no trace",
                           "  ... and 76 more picks",
                           "No pick matches a trace: the picks' ffids run 1001..1004, the traces' 2001..2004"};
        QTest::newRow("SEG-2 by position")
            << QStringList{"--traces-format", "seg2", "--first-ffid", "2001"} << QStringList{"--by", "position"} << 0
            << QStringList{"Matched by position: 96", "Picks without a trace: 0", "Traces without a pick: 0"};
        QTest::newRow("every field trap")
            << QStringList{"--emergent", "0.3",        "--clip-near",          "60", "--hum",
                           "50:0.5",     "--air-wave", "--air-wave-amplitude", "3"}
            << QStringList{} << 0 << QStringList{"Matched by ffid and channel: 96"};
    }
    void seisCommand()
    {
        QFETCH(QStringList, gen);
        QFETCH(QStringList, seis);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        const QString data = path(QStringLiteral("seis-%1").arg(QTest::currentDataTag()));
        // The picks keep the line's own numbering; the traces may not.
        const Run made =
            fbtool(QStringList{"gen", data + ".fb", "--shots", "4", "--channels", "24", "--traces", data} + gen);
        QCOMPARE(made.exitCode, 0);
        const Run run = fbtool(QStringList{"seis", data, "--match", path("seis-picks.fb")} + seis);
        QCOMPARE(run.exitCode, exitCode);
        for (const QString &line : lines)
            QVERIFY2((run.out + run.err).contains(line + "\n"), qPrintable(run.out + run.err));
    }

    void picksGeneratedData_data()
    {
        QTest::addColumn<QStringList>("genArgs");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QStringList>("pickArgs");
        QTest::addColumn<double>("shiftMs");  // every pick moved by the time base given
        QTest::addColumn<bool>("fbGeometry"); // the records' geometry is the FB file's
        // Shots fired early or late that qc of the picks names, each within
        // a millisecond of the true timing error ("POS:MS" each).
        QTest::addColumn<QStringList>("misTriggered");
        // Picks within toleranceMs of the truth, and the least share of
        // confident ones.
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<double>("confidentShare");
        // The SEG-Y headers hold no offsets or coordinates.
        QTest::addColumn<bool>("bareHeaders");
        QTest::newRow("SEG-Y, geometry from the trace headers")
            << QStringList{"--snr", "20"} << "a.sgy" << QStringList() << 0.0 << false << QStringList() << 2.0 << 0.9
            << false;
        QTest::newRow("SEG-2 folder, geometry from the FB file")
            << QStringList{"--traces-format", "seg2", "--snr", "20"} << "b" << QStringList{"--geometry", "LINE"} << 0.0
            << true << QStringList() << 2.0 << 0.9 << false;
        QTest::newRow("first sample set 20 ms early")
            << QStringList{"--snr", "20"} << "c.sgy" << QStringList{"--first-sample", "-20"} << -20.0 << false
            << QStringList() << 2.0 << 0.9 << false;
        // Shots of 48 traces of 10,000 samples: read in several runs of whole
        // traces each, every trace still with its own keys.
        QTest::newRow("SEG-Y, shots of several reads")
            << QStringList{"--snr", "20", "--sample-interval", "0.1"} << "d.sgy" << QStringList() << 0.0 << false
            << QStringList() << 2.0 << 0.9 << false;
        // The late trigger's shot starts its records after the first breaks
        // near the source: those traces get no confident pick.
        QTest::newRow("shots triggered early and late")
            << QStringList{"--snr", "10", "--shift", "4:9", "--shift", "9:-8"} << "e.sgy"
            << QStringList{"--geometry", "LINE"} << 0.0 << true << QStringList{"4:9", "9:-8"} << 2.0 << 0.9 << false;
        // Most traces show no confident onset alone: each shot is picked
        // along the curve of the shots beside it, at its own shift.
        QTest::newRow("weak line, a shot fired early")
            << QStringList{"--snr", "3", "--shift", "6:-8"} << "f.sgy" << QStringList() << 0.0 << false
            << QStringList{"6:-8"} << 4.0 << 0.0 << false;
        // The same with the geometry in the FB file alone: the picker reads
        // the records' offsets, and the shots beside a weak one are found,
        // and its curve drawn, by their positions.
        QTest::newRow("weak line, geometry from the FB file alone")
            << QStringList{"--snr", "3", "--shift", "6:-8"} << "g.sgy" << QStringList{"--geometry", "LINE"} << 0.0
            << true << QStringList{"6:-8"} << 4.0 << 0.0 << true;
    }
    void picksGeneratedData()
    {
        QFETCH(QStringList, genArgs);
        QFETCH(QString, data);
        QFETCH(QStringList, pickArgs);
        QFETCH(double, shiftMs);
        QFETCH(bool, fbGeometry);
        QFETCH(QStringList, misTriggered);
        QFETCH(double, toleranceMs);
        QFETCH(double, confidentShare);
        QFETCH(bool, bareHeaders);
        const QString line = path(data + ".fb"), picked = path(data + ".picked.fb");
        Run r = fbtool(QStringList{"gen", line, "--shots", "12", "--channels", "48", "--traces", path(data)} + genArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        if (bareHeaders)
            QVERIFY(stripGeometry(path(data), 12 * 48));
        pickArgs.replaceInStrings(QStringLiteral("LINE"), line);
        r = fbtool(QStringList{"pick", "--seismic", path(data), "-o", picked, "--threads", "1"} + pickArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("576 traces")), qPrintable(r.out));
        // Three pickers beside the reader, more shots than are held at once:
        // the same bytes as one.
        const QString threaded = path(data + ".threads.fb");
        r = fbtool(QStringList{"pick", "--seismic", path(data), "-o", threaded, "--threads", "3"} + pickArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(contents(threaded) == contents(picked));

        const QVector<FbRecord> truth = records(line), picks = records(picked);
        QCOMPARE(picks.size(), truth.size());
        int compared = 0, within = 0, confident = 0;
        for (int i = 0; i < picks.size(); ++i) {
            const FbRecord &t = truth[i], &p = picks[i];
            QCOMPARE(p.ffid, t.ffid);
            QCOMPARE(p.channel, t.channel);
            QCOMPARE(p.fb_no, i + 1);
            QCOMPARE(p.offset, t.offset);
            QCOMPARE(p.group_x, t.group_x);
            if (fbGeometry)
                QCOMPARE(p.g_stat, t.g_stat); // stations are in the FB file only
            confident += p.fb_status == 0 ? 1 : 0;
            if (t.fb_time <= 0)
                QVERIFY2(p.fb_status != 0 || p.fb_time <= 0, qPrintable(QString::number(p.fb_time)));
            // A trace left unpicked never reads as a pick, at the source too.
            if (p.fb_time <= 0)
                QVERIFY2(!FbPicks::isLive(p),
                         qPrintable(QStringLiteral("record %1 at offset %2").arg(i + 1).arg(p.offset)));
            if (t.offset == 0 || t.fb_time <= 0)
                continue;
            ++compared;
            within += std::fabs(p.fb_time - (t.fb_time + shiftMs)) <= toleranceMs ? 1 : 0;
        }
        QVERIFY2(within >= 0.95 * compared, qPrintable(QStringLiteral("%1 of %2").arg(within).arg(compared)));
        QVERIFY2(confident >= confidentShare * picks.size(), qPrintable(QString::number(confident)));
        // The header, written after the records, declares them and their
        // offset range; the records' temporary file is gone.
        const QByteArray head = contents(picked).left(FbLayout::HeaderSize);
        const FbFileHeader header = FbLayout::decodeHeader(head.constData(), head.size());
        QCOMPARE(header.fb_count, picks.size());
        const auto [least, most] = std::minmax_element(
            picks.cbegin(), picks.cend(), [](const FbRecord &a, const FbRecord &b) { return a.offset < b.offset; });
        QCOMPARE(header.min_offset, least->offset);
        QCOMPARE(header.max_offset, most->offset);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".fbtool-pick-*")}, QDir::Files | QDir::Hidden),
                 QStringList());
        if (misTriggered.isEmpty())
            return;
        // The shots qc names by their timing errors: kind, shot, ffid,
        // record, the other shot, the field and the error.
        r = fbtool({"qc", picked, "--csv", path(data + ".qc")});
        QCOMPARE(r.exitCode, 1);
        QStringList named;
        for (const QByteArray &row : contents(path(data + ".qc/problems.csv")).split('\n')) {
            const QList<QByteArray> cells = row.split(',');
            if (cells.size() > 6 && cells[0] == "timing-error")
                named << cells[1] + ":" + cells[6];
        }
        QCOMPARE(named.size(), misTriggered.size());
        for (int k = 0; k < named.size(); ++k) {
            QCOMPARE(named[k].section(':', 0, 0), misTriggered[k].section(':', 0, 0));
            QVERIFY2(std::fabs(named[k].section(':', 1).toDouble() - misTriggered[k].section(':', 1).toDouble()) <= 1,
                     qPrintable(named.join(' ')));
        }
    }

    void judgesPicksAgainstTraces_data()
    {
        QTest::addColumn<QStringList>("genArgs");
        QTest::addColumn<QStringList>("traceArgs"); // for qc and seis alike
        // gen options for the traces alone: the picks keep the line's ffids.
        QTest::addColumn<QStringList>("dataArgs");
        QTest::addColumn<int>("exitCode");
        // kind,shot,ffid,record,other_shot of every off-onset and cycle-skip row.
        QTest::addColumn<QStringList>("rows"); // when no shift is said
        QTest::addColumn<QString>("text");     // in qc's report, when not empty
        QTest::addColumn<QString>("shift");    // the shift's sign said, or empty: none said

        const QStringList none;
        const QStringList renumbered{"--first-ffid", "2001"};
        const QStringList byPosition{"--by", "position"};
        QTest::newRow("clean") << none << none << none << 0 << none << QString() << QString();
        QTest::newRow("cycle skip and mispick")
            << QStringList{"--cycle-skip", "3:10-14", "--mispick", "5:20:12"} << none << none << 1
            << QStringList{"off-onset,5,1005,212,", "cycle-skip,3,1003,106,"}
            << "shot 3 > 1003, channels 10 to 14 (5 picks from record 106)" << QString();
        QTest::newRow("cycle skip and mispick, renumbered traces by position")
            << QStringList{"--cycle-skip", "3:10-14", "--mispick", "5:20:12"} << byPosition << renumbered << 1
            << QStringList{"off-onset,5,1005,212,", "cycle-skip,3,1003,106,"}
            << "shot 3 > 1003, channels 10 to 14 (5 picks from record 106)" << QString();
        // Shot 9 fired again where shot 3 stood, later by its own source delay:
        // judged against shot 3's traces, its picks would all sit off their onsets.
        QTest::newRow("shot repeated at a position, renumbered traces by position")
            << QStringList{"--repeat-position", "3:9", "--source-delay", "20", "--cycle-skip", "9:10-14"} << byPosition
            << renumbered << 1 << QStringList{"cycle-skip,9,1009,394,"}
            << "shot 9 > 1009, channels 10 to 14 (5 picks from record 394)" << QString();
        QTest::newRow("cycle skip, SEG-2 folder")
            << QStringList{"--traces-format", "seg2", "--cycle-skip", "8:30-33"} << none << none << 1
            << QStringList{"cycle-skip,8,1008,366,"} << "channels 30 to 33 (4 picks" << QString();
        QTest::newRow("first sample 4 ms late")
            << none << QStringList{"--first-sample", "4"} << none << 1 << none << QString() << "by -";
        QTest::newRow("first sample 4 ms early, renumbered traces by position")
            << none << QStringList{"--first-sample", "-4"} + byPosition << renumbered << 1 << none << QString()
            << "by +";
    }
    void judgesPicksAgainstTraces()
    {
        QFETCH(QStringList, genArgs);
        QFETCH(QStringList, traceArgs);
        QFETCH(QStringList, dataArgs);
        QFETCH(int, exitCode);
        QFETCH(QStringList, rows);
        QFETCH(QString, text);
        QFETCH(QString, shift);
        const QString name = QString::number(m_runs++);
        const QString line = path(name + ".fb"), data = path(name + ".data"), csv = path(name + ".csv");
        const QStringList gen{"gen", line, "--shots", "12", "--channels", "48", "--traces"};
        Run r = fbtool(gen + QStringList{data} + genArgs + dataArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        if (!dataArgs.isEmpty()) {
            // The picks written again under the line's own keys, the traces kept.
            r = fbtool(gen + QStringList{path(name + ".other")} + genArgs);
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        }

        r = fbtool(QStringList{"qc", line, "--seismic", data, "--csv", csv, "--threads", "1"} + traceArgs);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        // On three threads, shots judged out of order: the same report and tables.
        const Run threaded =
            fbtool(QStringList{"qc", line, "--seismic", data, "--csv", csv + "3", "--threads", "3"} + traceArgs);
        QCOMPARE(threaded.out, r.out);
        for (const QString &table : QDir(csv).entryList(QDir::Files))
            QVERIFY2(contents(csv + "/" + table) == contents(csv + "3/" + table), qPrintable(table));
        // The waveform kinds are counted when traces were read, and only then.
        QVERIFY(r.out.contains(QStringLiteral("\nCycle-skip runs: ")));
        QVERIFY(!fbtool({"qc", line}).out.contains(QStringLiteral("Cycle-skip runs")));
        QVERIFY2(r.out.contains(QStringLiteral("Picks with a trace: 576 of 576")), qPrintable(r.out));
        if (!text.isEmpty())
            QVERIFY2(r.out.contains(text), qPrintable(r.out));
        // A wrong time base puts many picks off their onsets: only the
        // shift is looked at then.
        if (shift.isEmpty())
            QCOMPARE(waveformRows(csv + "/problems.csv"), rows);

        const QString said = QStringLiteral("look shifted against the picks ") + shift;
        QCOMPARE(r.out.contains(said), !shift.isEmpty());
        QVERIFY(shift.isEmpty() || r.out.contains(QStringLiteral("See --first-sample")));
        r = fbtool(QStringList{"seis", data, "--match", line} + traceArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.out.contains(said), !shift.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSeisCli)
#include "tst_seiscli.moc"
