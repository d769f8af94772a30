// fbtool qc --seismic and seis --match run as programs on shot records that
// fbtool gen wrote under known picks, with picker faults planted in the
// picks: the faults are named where they are, the clean twin is left clean,
// a time base set wrong is said, and the findings do not depend on threads.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
}; // -1: did not finish normally

Run fbtool(const QStringList &args)
{
    QProcess process;
    process.start(qEnvironmentVariable("FBTOOL"), args);
    if (!process.waitForFinished(60000 * FBTEST_TIME_FACTOR) || process.exitStatus() != QProcess::NormalExit)
        return Run();
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

} // namespace

class TestWaveformQc : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_runs = 0;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void judgesPicksAgainstTraces_data()
    {
        QTest::addColumn<QStringList>("genArgs");
        QTest::addColumn<QStringList>("traceArgs"); // for qc and seis alike
        QTest::addColumn<int>("exitCode");
        // kind,shot,ffid,record,other_shot of every off-onset and cycle-skip row.
        QTest::addColumn<QStringList>("rows"); // when no shift is said
        QTest::addColumn<QString>("text");     // in qc's report, when not empty
        QTest::addColumn<QString>("shift");    // the shift's sign said, or empty: none said

        QTest::newRow("clean") << QStringList() << QStringList() << 0 << QStringList() << QString() << QString();
        QTest::newRow("cycle skip and mispick")
            << QStringList{"--cycle-skip", "3:10-14", "--mispick", "5:20:12"} << QStringList() << 1
            << QStringList{"off-onset,5,1005,212,", "cycle-skip,3,1003,106,"}
            << "shot 3 > 1003, channels 10 to 14 (5 picks from record 106)" << QString();
        QTest::newRow("cycle skip, SEG-2 folder")
            << QStringList{"--traces-format", "seg2", "--cycle-skip", "8:30-33"} << QStringList() << 1
            << QStringList{"cycle-skip,8,1008,366,"} << "channels 30 to 33 (4 picks" << QString();
        QTest::newRow("first sample 4 ms late")
            << QStringList() << QStringList{"--first-sample", "4"} << 1 << QStringList() << QString() << "by -";
        QTest::newRow("first sample 4 ms early")
            << QStringList() << QStringList{"--first-sample", "-4"} << 1 << QStringList() << QString() << "by +";
    }

    void judgesPicksAgainstTraces()
    {
        QFETCH(QStringList, genArgs);
        QFETCH(QStringList, traceArgs);
        QFETCH(int, exitCode);
        QFETCH(QStringList, rows);
        QFETCH(QString, text);
        QFETCH(QString, shift);
        const QString name = QString::number(m_runs++);
        const QString line = path(name + ".fb"), data = path(name + ".data"), csv = path(name + ".csv");
        Run r = fbtool(QStringList{"gen", line, "--shots", "12", "--channels", "48", "--traces", data} + genArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));

        r = fbtool(QStringList{"qc", line, "--seismic", data, "--csv", csv} + traceArgs);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
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

    void sameForEveryThreadCount()
    {
        const QString line = path("t.fb"), data = path("t.sgy");
        QCOMPARE(fbtool({"gen", line, "--shots", "9", "--channels", "24", "--traces", data, "--cycle-skip", "4:5-8",
                         "--mispick", "2:10:-9"})
                     .exitCode,
                 0);
        QByteArray first;
        for (const char *threads : {"1", "3"}) {
            const QString csv = path(QStringLiteral("t%1").arg(QLatin1String(threads)));
            QCOMPARE(fbtool({"qc", line, "--seismic", data, "--csv", csv, "--threads", threads}).exitCode, 1);
            const QByteArray problems = contents(csv + "/problems.csv");
            QVERIFY(problems.contains("\ncycle-skip,4,"));
            if (first.isEmpty())
                first = problems;
            else
                QVERIFY(problems == first);
        }
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("an FB file as the data set") << QStringList{"--seismic", "LINE"} << "neither SEG-Y nor SEG-2";
        QTest::newRow("no such data set") << QStringList{"--seismic", "NONE"} << "NONE";
        QTest::newRow("first sample not a number")
            << QStringList{"--seismic", "DATA", "--first-sample", "x"} << "--first-sample";
        QTest::newRow("ffid byte past the header")
            << QStringList{"--seismic", "DATA", "--ffid-byte", "300"} << "--ffid-byte";
    }

    void refusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString line = path("bad.fb"), data = path("bad.sgy"), none = path("none.sgy");
        if (!QFile::exists(data))
            QCOMPARE(fbtool({"gen", line, "--shots", "2", "--channels", "12", "--traces", data}).exitCode, 0);
        args.replaceInStrings(QStringLiteral("DATA"), data);
        args.replaceInStrings(QStringLiteral("LINE"), line);
        args.replaceInStrings(QStringLiteral("NONE"), none);
        message.replace(QStringLiteral("NONE"), none);
        const Run r = fbtool(QStringList{"qc", line} + args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestWaveformQc)
#include "tst_waveformqc.moc"
