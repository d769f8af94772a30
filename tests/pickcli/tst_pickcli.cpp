// fbtool pick run as a program on shot records that fbtool gen wrote under
// known picks: the picks land on the true onsets, the records keep the data
// set's order and the chosen geometry, the thread count changes nothing,
// and unusable input is refused.

#include "fblayout.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

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

QVector<FbRecord> records(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QVector<FbRecord> out;
    for (qint64 at = FbLayout::HeaderSize; at + FbLayout::RecordSize <= bytes.size(); at += FbLayout::RecordSize)
        out.append(FbLayout::decodeRecord(bytes.constData() + at));
    return out;
}

} // namespace

class TestPickCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void picksGeneratedData_data()
    {
        QTest::addColumn<QStringList>("genArgs");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QStringList>("pickArgs");
        QTest::addColumn<double>("shiftMs");  // every pick moved by the time base given
        QTest::addColumn<bool>("fbGeometry"); // the records' geometry is the FB file's
        QTest::newRow("SEG-Y, geometry from the trace headers")
            << QStringList{"--snr", "20"} << "a.sgy" << QStringList() << 0.0 << false;
        QTest::newRow("SEG-2 folder, geometry from the FB file")
            << QStringList{"--traces-format", "seg2", "--snr", "20"} << "b" << QStringList{"--geometry", "LINE"} << 0.0
            << true;
        QTest::newRow("first sample set 20 ms early")
            << QStringList{"--snr", "20"} << "c.sgy" << QStringList{"--first-sample", "-20"} << -20.0 << false;
    }

    void picksGeneratedData()
    {
        QFETCH(QStringList, genArgs);
        QFETCH(QString, data);
        QFETCH(QStringList, pickArgs);
        QFETCH(double, shiftMs);
        QFETCH(bool, fbGeometry);
        const QString line = path(data + ".fb"), picked = path(data + ".picked.fb");
        Run r = fbtool(QStringList{"gen", line, "--shots", "12", "--channels", "48", "--traces", path(data)} + genArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        pickArgs.replaceInStrings(QStringLiteral("LINE"), line);
        r = fbtool(QStringList{"pick", "--seismic", path(data), "-o", picked} + pickArgs);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("576 traces")), qPrintable(r.out));

        const QVector<FbRecord> truth = records(line), picks = records(picked);
        QCOMPARE(picks.size(), truth.size());
        int compared = 0, within2 = 0, confident = 0;
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
            if (t.offset == 0 || t.fb_time <= 0)
                continue;
            ++compared;
            within2 += std::fabs(p.fb_time - (t.fb_time + shiftMs)) <= 2 ? 1 : 0;
        }
        QVERIFY2(within2 >= 0.95 * compared, qPrintable(QStringLiteral("%1 of %2").arg(within2).arg(compared)));
        QVERIFY2(confident >= 0.9 * picks.size(), qPrintable(QString::number(confident)));
        // The header, written after the records, declares them and their
        // offset range; the records' temporary file is gone.
        QFile file(picked);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(FbLayout::HeaderSize);
        const FbFileHeader header = FbLayout::decodeHeader(head.constData(), head.size());
        QCOMPARE(header.fb_count, picks.size());
        const auto [least, most] = std::minmax_element(
            picks.cbegin(), picks.cend(), [](const FbRecord &a, const FbRecord &b) { return a.offset < b.offset; });
        QCOMPARE(header.min_offset, least->offset);
        QCOMPARE(header.max_offset, most->offset);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral(".fbtool-pick-*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void sameForEveryThreadCount()
    {
        const QString line = path("t.fb"), data = path("t.sgy");
        QCOMPARE(fbtool({"gen", line, "--shots", "9", "--channels", "24", "--traces", data}).exitCode, 0);
        QByteArray first;
        for (const char *threads : {"1", "3"}) {
            const QString out = path(QStringLiteral("t%1.fb").arg(QLatin1String(threads)));
            QCOMPARE(fbtool({"pick", "--seismic", data, "-o", out, "--threads", threads}).exitCode, 0);
            QFile file(out);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.size() == FbLayout::HeaderSize + 9 * 24 * FbLayout::RecordSize);
            if (first.isEmpty())
                first = bytes;
            else
                QVERIFY(bytes == first);
        }
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no data set") << QStringList{"pick", "-o", "OUT"} << "missing --seismic";
        QTest::newRow("no output") << QStringList{"pick", "--seismic", "DATA"} << "missing -o";
        QTest::newRow("threads not a number")
            << QStringList{"pick", "--seismic", "DATA", "-o", "OUT", "--threads", "x"} << "--threads";
        QTest::newRow("an FB file as the data set")
            << QStringList{"pick", "--seismic", "LINE", "-o", "OUT"} << "neither SEG-Y nor SEG-2";
        QTest::newRow("geometry that cannot be read")
            << QStringList{"pick", "--seismic", "DATA", "-o", "OUT", "--geometry", "NONE"} << "NONE";
        QTest::newRow("output over the data set") << QStringList{"pick", "--seismic", "DATA", "-o", "DATA"} << "DATA";
    }

    void refusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString line = path("bad.fb"), data = path("bad.sgy");
        if (!QFile::exists(data))
            QCOMPARE(fbtool({"gen", line, "--shots", "2", "--channels", "12", "--traces", data}).exitCode, 0);
        const QByteArray before = [&] {
            QFile f(data);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        const QString out = path("bad.out.fb"), none = path("none.fb");
        args.replaceInStrings(QStringLiteral("DATA"), data);
        args.replaceInStrings(QStringLiteral("LINE"), line);
        args.replaceInStrings(QStringLiteral("OUT"), out);
        args.replaceInStrings(QStringLiteral("NONE"), none);
        message.replace(QStringLiteral("DATA"), data).replace(QStringLiteral("NONE"), none);
        const Run r = fbtool(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
        const QByteArray after = [&] {
            QFile f(data);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY(after == before);
    }
};

QTEST_GUILESS_MAIN(TestPickCli)
#include "tst_pickcli.moc"
