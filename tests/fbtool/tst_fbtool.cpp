// The fbtool command line, run as a program: a generated file reads back
// as asked through info and shots, check finds every fault gen can plant,
// and a file that cannot be read fails cleanly.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

struct Run { int exitCode = -1; QString out, err; }; // -1: did not finish normally

class TestFbTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static Run fbtool(const QStringList &args)
    {
        QProcess process;
        process.start(qEnvironmentVariable("FBTOOL"), args);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
            return Run();
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    // 10 shots of 8 channels plus the row's options; every listed line must
    // appear in the output of info, shots --csv or check. Shot row r holds
    // records 8r..8r+7, its middle record is 8r+4.
    void generated_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("checkExit");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("clean") << QStringList() << 0 << QStringList{"Records: 80", "Shots: 10", "Polarity: positive (1)", "0,1001,0,7,8", "9,1010,72,79,8", "Declared count: 80 (matches the file size)", "Varying source attributes: 0", "Repeated ffids: 0", "Non-finite floats: 0", "Result: clean"};
        QTest::newRow("first ffid -3, polarity -1") << QStringList{"--first-ffid", "-3", "--polarity", "-1"} << 0 << QStringList{"Polarity: negative (-1)", "0,-3,0,7,8", "9,6,72,79,8", "Result: clean"};
        QTest::newRow("varying s_elev") << QStringList{"--vary-source", "3"} << 1 << QStringList{"Varying source attributes: 1", "  shot row 3, ffid 1004 (records 24..31): s_elev differs in 4 of 8 records", "Result: 1 problem found"};
        QTest::newRow("NaN group_x") << QStringList{"--nan", "2:group_x"} << 1 << QStringList{"Varying source attributes: 0", "Non-finite floats: 1", "  record 20 (ffid 1003, channel 5): group_x = nan"};
        // A NaN source coordinate also makes its column vary: NaN equals nothing.
        QTest::newRow("NaN source_x") << QStringList{"--nan", "2"} << 1 << QStringList{"  shot row 2, ffid 1003 (records 16..23): source_x differs in 1 of 8 records", "  record 20 (ffid 1003, channel 5): source_x = nan", "Result: 2 problems found"};
        QTest::newRow("infinite fb_time") << QStringList{"--inf", "4:fb_time"} << 1 << QStringList{"Non-finite floats: 1", "  record 36 (ffid 1005, channel 5): fb_time = inf"};
        QTest::newRow("ffid comes back twice") << QStringList{"--repeat-ffid", "6", "--repeat-ffid", "8"} << 1 << QStringList{"Repeated ffids: 1", "  ffid 1001: 3 runs, at shot rows 0 6 8", "Shots: 10"};
        QTest::newRow("partial last record") << QStringList{"--truncate", "50"} << 1 << QStringList{"Records: 79", "9,1010,72,78,7", "Declared count: 80 MISMATCH: the file size gives 79 records", "Partial record: 34 bytes after the last complete record"};
        QTest::newRow("lying fb_count") << QStringList{"--declared-count", "100"} << 1 << QStringList{"Declared count: 100 MISMATCH: the file size gives 80 records", "Result: 1 problem found"};
    }
    void generated()
    {
        QFETCH(QStringList, options);
        QFETCH(int, checkExit);
        QFETCH(QStringList, lines);
        const QString file = m_dir.filePath(QStringLiteral("gen.fb"));
        QCOMPARE(fbtool(QStringList{"gen", file, "--shots", "10", "--channels", "8"} + options).exitCode, 0);
        const Run info = fbtool({"info", file}), shots = fbtool({"shots", file, "--csv"}), check = fbtool({"check", file});
        QCOMPARE(info.exitCode, 0);
        QCOMPARE(shots.exitCode, 0);
        QCOMPARE(check.exitCode, checkExit);
        const QStringList output = (info.out + shots.out + check.out).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            QVERIFY2(output.contains(line), qPrintable(line));
    }

    // Exit code 2, one line on stderr, nothing on stdout.
    void unreadable_data()
    {
        QTest::addColumn<QStringList>("args");
        const QString missing = m_dir.filePath(QStringLiteral("missing.fb"));
        QTest::newRow("info, missing file") << QStringList{"info", missing};
        QTest::newRow("check, missing file") << QStringList{"check", missing};
        QTest::newRow("check, a directory") << QStringList{"check", m_dir.path()};
        QTest::newRow("gen, folder missing") << QStringList{"gen", m_dir.filePath("no/such.fb"), "--shots", "1", "--channels", "1"};
    }
    void unreadable()
    {
        QFETCH(QStringList, args);
        const Run run = fbtool(args);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QVERIFY(run.err.startsWith(QLatin1String("fbtool: ")));
    }
};

QTEST_GUILESS_MAIN(TestFbTool)
#include "tst_fbtool.moc"
