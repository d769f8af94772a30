// The trace library: SEG-Y and SEG-2 files whose bytes this test lays out
// itself from the formats' published layouts (both byte orders, every
// sample format), broken files, picks matched to traces, the time base
// of generated traces under their picks.

#include <fbfile/fbgenerator.h>
#include <fbfile/numbertext.h>
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracegenerator.h>
#include <fbtrace/tracematch.h>
#include <fbtrace/tracesynth.h>
#include "fbtestfile.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

using namespace FbFile;
using namespace FbTrace;

namespace {

// Known sample values: whole numbers that every sample format holds exactly.
const QVector<double> Values = {0, 1, -2, 100, -120};

void put(QByteArray &b, int at, qint64 v, int size, bool le)
{
    for (int i = 0; i < size; ++i)
        b[at + (le ? i : size - 1 - i)] = char((v >> (8 * i)) & 0xFF);
}

// IBM single precision of the Values, by hand: 16^(e-64) * 0.fraction.
quint32 ibmWord(double v)
{
    static const QHash<int, quint32> words = {
        {0, 0x00000000}, {1, 0x41100000}, {-2, 0xC1200000}, {100, 0x42640000}, {-120, 0xC2780000}};
    return words.value(int(v));
}

struct SegyShape
{
    bool le = false;
    int format = 5;
    int revision = 1;
    bool ebcdic = true;
    int ffidByte = 9, channelByte = 13;
    int traces = 4; // two shots of two channels
    int intervalUs = 500;
    int delayMs = 12;
    int extendedHeaders = 0; // textual headers after the binary one
    int padding = 0;         // zero samples after the Values
};

// Textual header, binary header, then traces of 240-byte headers and samples.
QByteArray segyBytes(const SegyShape &s, const std::function<void(QByteArray &, int trace, int at)> &touch = {})
{
    const int size = s.format == 3 ? 2 : s.format == 8 ? 1 : 4;
    const int samples = Values.size() + s.padding;
    QByteArray b(3600, s.ebcdic ? char(0x40) : ' ');
    b[0] = s.ebcdic ? char(0xC3) : 'C';
    b.replace(3200, 400, QByteArray(400, '\0'));
    put(b, 3216, s.intervalUs, 2, s.le);
    put(b, 3220, samples, 2, s.le);
    put(b, 3224, s.format, 2, s.le);
    put(b, 3500, s.revision == 2 ? 0x0200 : s.revision == 1 ? 0x0100 : 0, 2, false);
    if (s.revision == 2)
        put(b, 3296, 0x01020304, 4, s.le);
    put(b, 3504, s.extendedHeaders, 2, s.le);
    b.append(QByteArray(3200 * s.extendedHeaders, ' '));
    for (int t = 0; t < s.traces; ++t) {
        const int at = b.size();
        b.append(QByteArray(240 + size * samples, '\0'));
        put(b, at + s.ffidByte - 1, 1001 + t / 2, 4, s.le);
        put(b, at + s.channelByte - 1, 1 + t % 2, 4, s.le);
        put(b, at + 40, 3505, 4, s.le);   // receiver elevation, dm
        put(b, at + 68, -10, 2, s.le);    // elevation scalar
        put(b, at + 70, -100, 2, s.le);   // coordinate scalar: cm
        put(b, at + 72, 123456, 4, s.le); // source x
        put(b, at + 80, 200000 + 100 * t, 4, s.le);
        put(b, at + 108, s.delayMs, 2, s.le);
        put(b, at + 114, samples, 2, s.le);
        put(b, at + 116, s.intervalUs, 2, s.le);
        for (int i = 0; i < Values.size(); ++i) {
            const double v = Values[i];
            qint64 w = qint64(v);
            if (s.format == 1)
                w = ibmWord(v);
            if (s.format == 5)
                w = NumberText::floatBits(float(v));
            put(b, at + 240 + size * i, w, size, s.le);
        }
        if (touch)
            touch(b, t, at);
    }
    return b;
}

struct Seg2Trace
{
    int format = 4;
    QVector<double> values = Values;
    QStringList strings = {"SAMPLE_INTERVAL 0.00025", "DELAY -0.01"};
};

// File descriptor block with its pointers and strings, then per trace its
// descriptor block and data. pointerShift moves every pointer; stringLength
// replaces the first file string's length word.
QByteArray seg2Bytes(bool le, const QVector<Seg2Trace> &traces, const QStringList &fileStrings = {},
                     qint64 pointerShift = 0, int stringLength = 0)
{
    auto strings = [le](const QStringList &list) {
        QByteArray out;
        for (const QString &s : list) {
            QByteArray one(2, '\0');
            put(one, 0, s.size() + 3, 2, le);
            out += one + s.toLatin1() + '\0';
        }
        return out + QByteArray(2, '\0');
    };
    const int n = traces.size();
    QByteArray b(32, '\0');
    put(b, 0, 0x3A55, 2, le);
    put(b, 2, 1, 2, le);
    put(b, 4, 4 * n, 2, le);
    put(b, 6, n, 2, le);
    b[8] = 1;
    b += QByteArray(4 * n, '\0');
    QByteArray fs = strings(fileStrings);
    if (stringLength != 0)
        put(fs, 0, stringLength, 2, le);
    b += fs;
    for (int t = 0; t < n; ++t) {
        const Seg2Trace &tr = traces[t];
        put(b, 32 + 4 * t, b.size() + pointerShift, 4, le);
        QByteArray block(32, '\0');
        block += strings(tr.strings);
        while (block.size() % 4)
            block += '\0';
        const int ns = tr.values.size();
        put(block, 0, 0x4422, 2, le);
        put(block, 2, block.size(), 2, le);
        put(block, 8, ns, 4, le);
        block[12] = char(tr.format);
        QByteArray data;
        if (tr.format == 3) {
            // Four samples in ten bytes: the exponents' word, then mantissas.
            for (int g = 0; g < ns; g += 4) {
                QByteArray group(10, '\0');
                int exponents = 0;
                for (int k = 0; k < 4 && g + k < ns; ++k) {
                    double m = tr.values[g + k];
                    int e = 0;
                    while (std::abs(m) > 32767) {
                        m /= 2;
                        ++e;
                    }
                    exponents |= e << (12 - 4 * k);
                    put(group, 2 + 2 * k, qint64(m), 2, le);
                }
                put(group, 0, exponents, 2, le);
                data += group;
            }
        } else {
            const int size = tr.format == 1 ? 2 : tr.format == 5 ? 8 : 4;
            data = QByteArray(size * ns, '\0');
            for (int i = 0; i < ns; ++i) {
                qint64 w = qint64(tr.values[i]);
                if (tr.format == 4)
                    w = NumberText::floatBits(float(tr.values[i]));
                else if (tr.format == 5)
                    std::memcpy(&w, &tr.values[i], 8);
                put(data, size * i, w, size, le);
            }
        }
        put(block, 4, data.size(), 4, le);
        b += block + data;
    }
    return b;
}

} // namespace

Q_DECLARE_METATYPE(SegyShape)

class TestTraces : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    // Every byte order, revision, sample format and text alphabet gives the
    // same keys, scaled coordinates, time base and samples.
    void segyReading_data()
    {
        QTest::addColumn<SegyShape>("shape");
        QTest::addColumn<QString>("formatName");
        const struct
        {
            int code;
            const char *name;
        } formats[] = {{1, "IBM float"}, {2, "int32"}, {3, "int16"}, {5, "IEEE float"}, {8, "int8"}};
        for (const bool le : {false, true}) {
            for (const auto &f : formats) {
                SegyShape s;
                s.le = le;
                s.format = f.code;
                s.revision = le ? f.code % 2 + 1 : f.code % 3; // 0, 1, 2 big-endian; 1, 2 little-endian
                s.ebcdic = f.code != 3;
                QTest::addRow("%s %s rev%d", le ? "LE" : "BE", f.name, s.revision) << s << QString(f.name);
            }
        }
        SegyShape keys;
        keys.ffidByte = 21;    // ensemble number
        keys.channelByte = 25; // trace within the ensemble
        QTest::newRow("ffid and channel elsewhere") << keys << QString("IEEE float");
        SegyShape extended;
        extended.le = true;
        extended.extendedHeaders = 2;
        QTest::newRow("LE with extended textual headers") << extended << QString("IEEE float");
        SegyShape large;
        large.traces = 70000; // indexed in parts at once
        QTest::newRow("BE large file") << large << QString("IEEE float");
    }
    void segyReading()
    {
        QFETCH(SegyShape, shape);
        QFETCH(QString, formatName);
        const QString file = path("read.sgy");
        QVERIFY(FbTest::writeFile(file, segyBytes(shape)));
        // A large file's index is joined from as many parts as threads;
        // every count gives the same data set.
        for (const int threads : {1, 3}) {
            TraceDataSet data;
            data.setOptions({shape.ffidByte, shape.channelByte, {}, false, threads});
            QVERIFY2(data.open(file), qPrintable(data.errorString()));
            QCOMPARE(data.formatName(), QString("SEG-Y"));
            QCOMPARE(data.revision(), shape.revision);
            QCOMPARE(data.sampleFormatName(), formatName);
            QCOMPARE(data.byteOrderName(), QString(shape.le ? "little-endian" : "big-endian"));
            QCOMPARE(data.textHeaderEncoding(), QString(shape.ebcdic ? "EBCDIC" : "ASCII"));
            QCOMPARE(data.traceCount(), qint64(shape.traces));
            QCOMPARE(data.shotCount(), shape.traces / 2);
            QCOMPARE(data.samplesPerTrace(), Values.size());
            QCOMPARE(data.sampleIntervalMs(), 0.5);
            QCOMPARE(data.firstSampleMs(), 12.0);

            ShotGather g;
            QVERIFY(data.readShot(data.shotOfFfid(1000 + shape.traces / 2), &g));
            QCOMPARE(g.ffid, 1000 + shape.traces / 2);
            QCOMPARE(g.traceCount(), 2);
            QCOMPARE(g.headers[1].channel, 2);
            QCOMPARE(g.headers[1].traceIndex, qint64(shape.traces - 1));
            QCOMPARE(g.headers[1].sourceX, 1234.56);
            QCOMPARE(g.headers[1].receiverX, 2000.0 + shape.traces - 1);
            QCOMPARE(g.headers[1].receiverZ, 350.5);
            QCOMPARE(g.firstSampleMs, 12.0);
            for (int i = 0; i < Values.size(); ++i)
                QCOMPARE(g.trace(1)[i], float(Values[i]));
            QCOMPARE(g.replacedSamples, 0);
        }
    }

    // Formats 1 to 5 in both byte orders; ffids from the shot sequence
    // number, the number in the file's name, the user's table, or the
    // file's position.
    void seg2Reading_data()
    {
        QTest::addColumn<bool>("le");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("ffidFrom");
        QTest::addColumn<int>("ffid");
        const char *const from[] = {"sequence", "name", "table", "position"};
        const int ffids[] = {77, 1002, 5000, 2};
        for (int format = 1; format <= 5; ++format) {
            for (const bool le : {true, false}) {
                const int k = (format + le) % 4;
                QTest::addRow("format %d %s, ffid from %s", format, le ? "LE" : "BE", from[k])
                    << le << format << QString(from[k]) << ffids[k];
            }
        }
    }
    void seg2Reading()
    {
        QFETCH(bool, le);
        QFETCH(int, format);
        QFETCH(QString, ffidFrom);
        QFETCH(int, ffid);
        const QString folder = path(QStringLiteral("seg2-%1-%2").arg(format).arg(le));
        QVERIFY(QDir().mkpath(folder));
        QVector<Seg2Trace> traces(3);
        for (int t = 0; t < 3; ++t) {
            traces[t].format = format;
            traces[t].strings << QStringLiteral("CHANNEL_NUMBER %1").arg(t + 1) << "SOURCE_LOCATION 10.5 0 101"
                              << QStringLiteral("RECEIVER_LOCATION %1 0 99").arg(8.5 - 2 * t);
            if (ffidFrom == "sequence")
                traces[t].strings << "SHOT_SEQUENCE_NUMBER 77";
        }
        if (format == 3)
            traces[1].values << 196608 << -40960; // past 16 bits; a second, partial group
        if (format >= 4)
            traces[1].values << 0.25;
        const QString first = ffidFrom == "name" ? "shot1001.dat" : "a.dat";
        const QString second = ffidFrom == "name" ? "shot1002.dat" : "b.dat";
        QVERIFY(FbTest::writeFile(folder + "/" + first, seg2Bytes(le, traces)));
        QVERIFY(FbTest::writeFile(folder + "/" + second, seg2Bytes(le, traces)));
        QVERIFY(FbTest::writeFile(folder + "/notes.txt", "field notes"));

        TraceDataSet data;
        if (ffidFrom == "table")
            data.setOptions({9, 13, {{first, 4000}, {second, 5000}}});
        QVERIFY2(data.open(folder), qPrintable(data.errorString()));
        QCOMPARE(data.formatName(), QString("SEG-2"));
        QCOMPARE(data.byteOrderName(), QString(le ? "little-endian" : "big-endian"));
        QCOMPARE(data.fileCount(), 2);
        const int longest = traces[1].values.size();
        QCOMPARE(data.warnings(),
                 QStringList{"notes.txt is not a SEG-2 file: skipped"} +
                     (longest > Values.size() ? QStringList{QStringLiteral("traces hold 5 to %1 samples").arg(longest)}
                                              : QStringList()));
        QCOMPARE(data.traceCount(), qint64(6));
        QCOMPARE(data.shotCount(), 2); // a shot never spans files
        QCOMPARE(data.sampleIntervalMs(), 0.25);

        ShotGather g;
        QVERIFY2(data.readShot(1, &g), qPrintable(data.errorString()));
        QCOMPARE(g.ffid, ffid);
        QCOMPARE(g.firstSampleMs, -10.0);
        QCOMPARE(g.samplesPerTrace, traces[1].values.size()); // the longest trace
        QCOMPARE(g.headers[2].channel, 3);
        QCOMPARE(g.headers[2].offset, -6.0);
        QCOMPARE(g.headers[2].sourceZ, 101.0);
        for (int i = 0; i < traces[1].values.size(); ++i)
            QCOMPARE(g.trace(1)[i], float(traces[1].values[i]));
        QCOMPARE(g.trace(0)[Values.size()], 0.0f); // shorter traces padded
    }

    // Each broken file gives one clear message (or a warning and what can
    // be read), never a crash.
    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("ffidByte");
        QTest::addColumn<QString>("error"); // empty: opens
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("replaced"); // samples read as 0 in the first shot

        const SegyShape ok;
        QTest::newRow("text") << QByteArray("ffid,channel,time\n1001,1,12.5\n").repeated(200) << 9
                              << "neither SEG-Y nor SEG-2" << QString() << 0;
        QTest::newRow("last trace cut short") << segyBytes(ok).chopped(7) << 9 << QString() << "cut short" << 0;
        QTest::newRow("delay changes") << segyBytes(ok,
                                                    [](QByteArray &b, int t, int at) {
                                                        if (t == 3)
                                                            put(b, at + 108, -8, 2, false);
                                                    })
                                       << 9 << QString() << "the first samples lie from -8 to 12 ms" << 0;
        QTest::newRow("sample count changes") << segyBytes(ok,
                                                           [](QByteArray &b, int t, int at) {
                                                               if (t == 2)
                                                                   put(b, at + 114, 9, 2, false);
                                                           })
                                              << 9 << "trace 3 holds 9 samples" << QString() << 0;
        // A large file is indexed in parts at once; the first trace that fails
        // is named, and the delays of every part count.
        SegyShape large;
        large.traces = 70000;
        auto changed = [&large](const std::vector<int> &traces, int at, int value) {
            return segyBytes(large, [&](QByteArray &b, int t, int first) {
                if (std::find(traces.begin(), traces.end(), t) != traces.end())
                    put(b, first + at, value, 2, false);
            });
        };
        QTest::newRow("large: delay changes in the second half")
            << changed({69999}, 108, -8) << 9 << QString() << "the first samples lie from -8 to 12 ms" << 0;
        QTest::newRow("large: sample count changes in the second half")
            << changed({60000}, 114, 9) << 9 << "trace 60001 holds 9 samples" << QString() << 0;
        QTest::newRow("large: sample count changes in both halves")
            << changed({9, 60000}, 114, 9) << 9 << "trace 10 holds 9 samples" << QString() << 0;
        SegyShape zero;
        zero.intervalUs = 0;
        QTest::newRow("no sample interval") << segyBytes(zero) << 9 << "no sample interval" << QString() << 0;
        SegyShape swapped;
        swapped.intervalUs = 0xF401; // 500 us in the other byte order
        QTest::newRow("absurd sample interval")
            << segyBytes(swapped) << 9 << "62.465 ms is beyond any recording" << QString() << 0;
        SegyShape obsolete;
        obsolete.format = 4;
        QTest::newRow("unsupported format") << segyBytes(obsolete) << 9 << "code 4 is not supported" << QString() << 0;
        QTest::newRow("key byte inside a field") << segyBytes(ok) << 10 << "byte 10 (ffid)" << QString() << 0;
        SegyShape ibm;
        ibm.format = 1;
        QTest::newRow("IBM non-finite patterns")
            << segyBytes(ibm, [](QByteArray &b, int, int at) { put(b, at + 244, 0x7FC00000, 4, false); }) << 9
            << QString() << QString() << 2;
        // Minus infinity, NaN and plus infinity read as 0; the largest float
        // is a number. 14 samples: swapped eight, then four at a time, then
        // one by one, with a value read as 0 in each part.
        SegyShape longer;
        longer.padding = 9;
        QTest::newRow("IEEE NaN and infinities") << segyBytes(longer, [](QByteArray &b, int, int at) {
            put(b, at + 240, 0xFF800000, 4, false);
            put(b, at + 248, 0x7FC00000, 4, false);
            put(b, at + 252, 0x7F7FFFFF, 4, false);
            put(b, at + 276, 0x7F800000, 4, false);
            put(b, at + 280, 0x7F7FFFFF, 4, false);
            put(b, at + 292, 0x7FC00001, 4, false);
        }) << 9 << QString() << QString() << 8;

        const QVector<Seg2Trace> one(1);
        QTest::newRow("SEG-2 pointer past the end")
            << seg2Bytes(true, one, {}, 1 << 20) << 9 << "lies past the end of the file" << QString() << 0;
        QTest::newRow("SEG-2 negative string length")
            << seg2Bytes(true, one, {"NOTE x"}, 0, -8) << 9 << "negative length" << QString() << 0;
        QTest::newRow("SEG-2 string past its block")
            << seg2Bytes(false, one, {"NOTE x"}, 0, 4000) << 9 << "runs past the end of its block" << QString() << 0;
        QTest::newRow("SEG-2 samples past the end")
            << seg2Bytes(true, one).chopped(3) << 9 << "samples of trace 1 run past the end" << QString() << 0;
        Seg2Trace slow;
        slow.strings = QStringList{"SAMPLE_INTERVAL 5"};
        QTest::newRow("SEG-2 absurd sample interval")
            << seg2Bytes(true, {slow}) << 9 << "sample interval of 5 s" << QString() << 0;
        Seg2Trace huge;
        huge.format = 5;
        huge.values = {0, 1e300, -2}; // a double no float holds
        QTest::newRow("SEG-2 float64 past the float range")
            << seg2Bytes(false, {huge}) << 9 << QString() << QString() << 1;
        Seg2Trace unknown;
        unknown.format = 7;
        QTest::newRow("SEG-2 unknown data format")
            << seg2Bytes(true, {unknown}) << 9 << "data format code 7" << QString() << 0;
    }
    void badInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, ffidByte);
        QFETCH(QString, error);
        QFETCH(QString, warning);
        QFETCH(int, replaced);
        const QString file = path("bad.dat");
        QVERIFY(FbTest::writeFile(file, bytes));
        // The same message from an index in one part or in three.
        for (const int threads : {1, 3}) {
            TraceDataSet data;
            data.setOptions({ffidByte, 13, {}, false, threads});
            const bool opened = data.open(file);
            QVERIFY2(opened == error.isEmpty(), qPrintable(data.errorString()));
            if (!opened) {
                QVERIFY2(data.errorString().contains(error), qPrintable(data.errorString()));
                QVERIFY(!data.isOpen());
                continue;
            }
            QCOMPARE(data.warnings().join(' ').contains(warning), true);
            QCOMPARE(data.warnings().isEmpty(), warning.isEmpty());
            ShotGather g;
            QVERIFY2(data.readShot(0, &g), qPrintable(data.errorString()));
            QCOMPARE(g.replacedSamples, replaced);
            for (float v : qAsConst(g.samples))
                QVERIFY(std::isfinite(v));
        }
    }

    // Picks find their traces by keys or by position; what finds nothing
    // is counted on both sides.
    void matching_data()
    {
        QTest::addColumn<int>("traceFormat"); // TraceGenerator::Format
        QTest::addColumn<int>("pickShots");
        QTest::addColumn<int>("ffidOffset"); // picks' ffids against the traces'
        QTest::addColumn<double>("missing");
        QTest::addColumn<bool>("byPosition");
        QTest::addColumn<bool>("repeatedFfid"); // shot 3 carries shot 1's ffid again
        QTest::addColumn<bool>("allPicksMatch");
        const int segy = int(TraceGenerator::Format::SegY), seg2 = int(TraceGenerator::Format::Seg2);
        QTest::newRow("keys, picks left out") << segy << 4 << 0 << 0.2 << false << false << true;
        QTest::newRow("keys, a shot without traces") << seg2 << 5 << 0 << 0.0 << false << false << false;
        QTest::newRow("keys renumbered") << segy << 4 << 100 << 0.0 << false << false << false;
        QTest::newRow("keys used twice") << seg2 << 4 << 0 << 0.0 << false << true << true;
        QTest::newRow("position, keys renumbered") << seg2 << 4 << 100 << 0.1 << true << false << true;
    }
    void matching()
    {
        QFETCH(int, traceFormat);
        QFETCH(int, pickShots);
        QFETCH(int, ffidOffset);
        QFETCH(double, missing);
        QFETCH(bool, byPosition);
        QFETCH(bool, repeatedFfid);
        QFETCH(bool, allPicksMatch);
        FbGenerator::Options line;
        line.shots = 4;
        line.channels = 12;
        if (repeatedFfid)
            line.repeatedFfid.append({0, 2});
        TraceGenerator::Options t;
        t.format = TraceGenerator::Format(traceFormat);
        t.sampleIntervalMs = 1;
        const QString traces = path(QStringLiteral("match-%1").arg(QTest::currentDataTag()));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(line, t, traces), qPrintable(writer.errorString()));

        FbGenerator::Options picks = line;
        picks.shots = pickShots;
        picks.firstFfid += ffidOffset;
        picks.missing = missing;
        const QString fb = traces + ".fb";
        FbGenerator::Result written;
        QVERIFY(FbGenerator::FileWriter(picks).write(fb, &written));

        TraceDataSet data;
        QVERIFY2(data.open(traces), qPrintable(data.errorString()));
        TraceMatchSettings settings;
        settings.by = byPosition ? TraceMatchSettings::By::Position : TraceMatchSettings::By::Keys;
        TraceMatcher matcher(settings);
        TraceMatchResult r;
        QVERIFY2(matcher.match(data, fb, &r), qPrintable(matcher.errorString()));
        QCOMPARE(r.picks, written.records);
        QCOMPARE(r.traces, qint64(4 * 12));
        const qint64 inLine = byPosition || ffidOffset == 0 ? qMin<qint64>(r.picks, r.picks * 4 / pickShots) : 0;
        QCOMPARE(r.matched == r.picks, allPicksMatch);
        QCOMPARE(r.matched, missing > 0 ? r.picks : inLine);
        QCOMPARE(r.picksWithoutTrace, r.picks - r.matched);
        QCOMPARE(r.tracesWithoutPick, r.traces - r.matched);
        QCOMPARE(r.firstPicksWithoutTrace.size(), int(qMin<qint64>(20, r.picksWithoutTrace)));

        // One shot's records against its gather, by the same rules.
        ShotGather g;
        QVERIFY(data.readShot(0, &g));
        const QVector<FbRecord> records = FbGenerator::shotRecords(picks, 0);
        const QVector<int> trace = matchRecordsToGather(records, g, settings);
        for (int i = 0; i < records.size(); ++i)
            QCOMPARE(trace[i], byPosition || ffidOffset == 0 ? records[i].channel - 1 : -1);
    }

    // Each field trap against the same line without it: emergent onsets on
    // a drawn share of the traces, clipping only near the source, a hum
    // only on far channels that outweighs the noise before the first break,
    // an air wave at |offset| / 340 m/s after the shot fires (a trigger off
    // time moves it with the first break, before the record's start too).
    // The first break stays at the true pick time; one seed, one set of
    // bytes; with no trap the line keeps the bytes it had before the traps
    // existed.
    void fieldTraps_data()
    {
        QTest::addColumn<double>("emergent");
        QTest::addColumn<double>("clipNearM");
        QTest::addColumn<double>("humHz");
        QTest::addColumn<bool>("airWave");
        QTest::addColumn<double>("shot2ShiftMs");
        QTest::addRow("none") << 0.0 << 0.0 << 0.0 << false << 0.0;
        QTest::addRow("emergent half") << 0.5 << 0.0 << 0.0 << false << 0.0;
        QTest::addRow("clipped within 100 m") << 0.0 << 100.0 << 0.0 << false << 0.0;
        QTest::addRow("hum at 50 Hz") << 0.0 << 0.0 << 50.0 << false << 0.0;
        QTest::addRow("air wave") << 0.0 << 0.0 << 0.0 << true << 0.0;
        QTest::addRow("air wave, shot 2 fired 12 ms late") << 0.0 << 0.0 << 0.0 << true << 12.0;
        QTest::addRow("air wave, shot 2 fired 30 ms early") << 0.0 << 0.0 << 0.0 << true << -30.0;
    }
    void fieldTraps()
    {
        QFETCH(double, emergent);
        QFETCH(double, clipNearM);
        QFETCH(double, humHz);
        QFETCH(bool, airWave);
        QFETCH(double, shot2ShiftMs);
        FbGenerator::Options line;
        line.shots = 4;
        line.channels = 24;
        if (shot2ShiftMs != 0)
            line.shifts.append({1, shot2ShiftMs});
        TraceGenerator::Options plain;
        TraceGenerator::Options t;
        t.emergentShare = emergent;
        t.clipNearM = clipNearM;
        t.humHz = humHz;
        t.airWave = airWave;
        const QString twin = path("traps-twin.sgy");
        const QString out = path(QStringLiteral("traps-%1.sgy").arg(QTest::currentDataTag()));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(line, plain, twin) && writer.write(line, t, out) && writer.write(line, t, out + "-again"),
                 qPrintable(writer.errorString()));
        const auto bytes = FbTest::contents;
        QCOMPARE(bytes(out), bytes(out + "-again"));
        // Taken from the generator before it knew the traps.
        if (shot2ShiftMs == 0)
            QCOMPARE(QCryptographicHash::hash(bytes(twin), QCryptographicHash::Md5).toHex(),
                     QByteArray("c9196f5bfe5d1f946e0b8ba8d2c92404"));
        QCOMPARE(bytes(out) == bytes(twin), emergent == 0 && clipNearM == 0 && humHz == 0 && !airWave);

        TraceDataSet trapped, clean;
        QVERIFY(trapped.open(out) && clean.open(twin));
        int traces = 0, emergentTraces = 0, humTraces = 0, airTraces = 0;
        for (int shot = 0; shot < line.shots; ++shot) {
            const QVector<FbRecord> truth = FbGenerator::shotRecords(line, shot);
            ShotGather g, w;
            QVERIFY(trapped.readShot(shot, &g) && clean.readShot(shot, &w));
            double longest = 0;
            for (const TraceHeader &h : g.headers)
                longest = std::max(longest, std::abs(h.offset));
            for (int c = 0; c < g.traceCount(); ++c, ++traces) {
                const float *s = g.trace(c);
                const float *twinTrace = w.trace(c);
                const int n = g.samplesPerTrace;
                const double distance = std::abs(g.headers[c].offset);
                const int onset = int(std::floor(g.sampleAt(truth[c].fb_time)));
                int changed = 0;
                while (changed < n && s[changed] == twinTrace[changed])
                    ++changed;
                const QString where =
                    QStringLiteral("shot %1 channel %2 offset %3: ").arg(shot + 1).arg(c + 1).arg(distance);
                if (emergent > 0 && changed < n) {
                    ++emergentTraces;
                    QVERIFY2(changed >= onset && changed <= onset + 1, qPrintable(where + "changed before the onset"));
                }
                if (clipNearM > 0) {
                    const float top =
                        *std::max_element(s, s + n, [](float a, float b) { return std::abs(a) < std::abs(b); });
                    if (distance <= clipNearM) {
                        QCOMPARE(std::abs(top), float(TraceGenerator::NearClipLevel));
                        QVERIFY2(std::count(s, s + n, top) > 1, qPrintable(where + "not clipped"));
                    } else {
                        QVERIFY2(changed == n, qPrintable(where + "clipped far from the source"));
                    }
                }
                if (humHz > 0) {
                    const bool far = distance > longest / 2;
                    QVERIFY2((changed < n) == far, qPrintable(where + "hum on the wrong channels"));
                    if (far && onset > 80) {
                        ++humTraces;
                        // Amplitude at f of the samples before the first break.
                        auto amplitudeAt = [&](double f) {
                            double re = 0, im = 0;
                            for (int i = 0; i < onset; ++i) {
                                const double phase = 2 * M_PI * f * i * g.sampleIntervalMs / 1000;
                                re += s[i] * std::cos(phase);
                                im += s[i] * std::sin(phase);
                            }
                            return std::hypot(re, im);
                        };
                        const double hum = amplitudeAt(humHz);
                        for (double f = 10; f <= 200; f += 10) {
                            if (f != humHz)
                                QVERIFY2(amplitudeAt(f) < hum,
                                         qPrintable(where + QString("%1 Hz over the hum").arg(f)));
                        }
                    }
                }
                if (airWave) {
                    const double airMs = (shot == 1 ? shot2ShiftMs : 0) + 1000 * distance / TraceGenerator::AirSpeedMps;
                    // 0: begun before the record; n: after the trace
                    const int air = int(std::clamp<double>(std::floor(g.sampleAt(airMs)), 0, n));
                    QVERIFY2(changed >= air && changed <= std::min(air + 1, n),
                             qPrintable(where + "air wave not at |offset| / 340"));
                    airTraces += air < n;
                }
            }
        }
        if (emergent > 0)
            QVERIFY2(emergentTraces > 0.35 * traces && emergentTraces < 0.65 * traces,
                     qPrintable(QString::number(emergentTraces)));
        QVERIFY(humHz == 0 || humTraces > 0);
        QVERIFY(!airWave || airTraces > 0);
    }

    // The writers keep the line's geometry (coordinates to the cm,
    // elevations, offsets, keys) through either format; shots read on
    // several threads at once; the index reports its progress up to 100 and
    // stops when cancelled. A pick at t ms lands on its trace's onset
    // sample, with the user's time of the first sample too; a cycle skip
    // leaves the waveform and moves the pick one period; one seed, one set
    // of bytes.
    void generatedLine_data()
    {
        QTest::addColumn<int>("traceFormat");
        QTest::addColumn<double>("intervalMs");
        QTest::addColumn<int>("polarity");
        QTest::addRow("SEG-Y, 0.5 ms") << int(TraceGenerator::Format::SegY) << 0.5 << 1;
        QTest::addRow("SEG-2, 1 ms, reversed") << int(TraceGenerator::Format::Seg2) << 1.0 << -1;
    }
    void generatedLine()
    {
        QFETCH(int, traceFormat);
        QFETCH(double, intervalMs);
        QFETCH(int, polarity);
        FbGenerator::Options line;
        line.shots = 3;
        line.channels = 24;
        line.missing = 0.1;
        line.sourceBetweenStations = true; // coordinates off the station grid
        TraceGenerator::Options t;
        t.format = TraceGenerator::Format(traceFormat);
        t.sampleIntervalMs = intervalMs;
        t.polarity = polarity;
        t.signalToNoise = 0; // no noise: nothing moves before the onset
        t.cycleSkips.append({1, 5, 8});
        const QString out = path(QStringLiteral("line-%1").arg(traceFormat));
        const QString again = out + "-again";
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(line, t, out) && writer.write(line, t, again), qPrintable(writer.errorString()));
        const QString file = t.format == TraceGenerator::Format::SegY ? "" : "/1002.sg2";
        QVERIFY(!FbTest::contents(out + file).isEmpty() &&
                FbTest::contents(out + file) == FbTest::contents(again + file));

        std::atomic_bool cancel{false};
        QVector<int> percents;
        TraceDataSet data;
        QVERIFY(data.open(out, Progress([&](int percent) { percents << percent; }, &cancel)));
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.cbegin(), percents.cend()));
        for (int s = 0; s < line.shots; ++s) {
            const QVector<FbRecord> records = FbGenerator::shotRecords(line, s);
            ShotGather g;
            QVERIFY(data.readShot(s, &g));
            QCOMPARE(g.traceCount(), line.channels);
            for (const FbRecord &r : records) {
                const TraceHeader &h = g.headers[r.channel - 1];
                QCOMPARE(h.ffid, r.ffid);
                QCOMPARE(h.channel, r.channel);
                QVERIFY(std::abs(h.sourceX - r.source_x) <= 0.005 && std::abs(h.sourceY - r.source_y) <= 0.005);
                QVERIFY(std::abs(h.receiverX - r.group_x) <= 0.005 && std::abs(h.receiverY - r.group_y) <= 0.005);
                QCOMPARE(h.receiverZ, double(r.g_elev));
                QCOMPARE(h.sourceZ, double(r.s_elev));
                // SEG-2 has no offset: it comes from the positions, whose
                // stations are a little off the line's nominal spacing.
                const double slack = t.format == TraceGenerator::Format::Seg2 ? 2.0 : 0.0;
                QVERIFY2(std::abs(std::abs(h.offset) - std::abs(r.offset)) <= slack,
                         qPrintable(QStringLiteral("offset %1 for %2").arg(h.offset).arg(r.offset)));
            }
        }
        const QVector<FbRecord> picks = FbGenerator::shotRecords(TraceGenerator::pickOptions(line, t), 1);
        for (const double firstSample : {0.0, -20.0}) {
            if (firstSample != 0)
                data.setFirstSampleMs(firstSample);
            ShotGather g;
            QVERIFY(data.readShot(1, &g));
            QCOMPARE(g.firstSampleMs, firstSample);
            QCOMPARE(g.sampleIntervalMs, intervalMs);
            for (const FbRecord &r : picks) {
                const float *s = g.trace(r.channel - 1);
                const bool skipped = r.channel >= 5 && r.channel <= 8;
                const double onset = r.fb_time - (skipped ? dominantPeriodMs(t.dominantHz) : 0.0);
                // The user's time zero moves the samples' times, not the samples.
                const double at = g.sampleAt(onset + firstSample);
                int moving = 0;
                while (moving < g.samplesPerTrace && s[moving] == 0.0f)
                    ++moving;
                QVERIFY2(moving >= std::floor(at) && moving <= std::floor(at) + 1,
                         qPrintable(QStringLiteral("channel %1: onset at sample %2, first motion at %3")
                                        .arg(r.channel)
                                        .arg(at)
                                        .arg(moving)));
                QCOMPARE(s[moving] > 0, polarity > 0);
            }
        }
        // Shots read on several threads at once come out as read one by one.
        QVector<ShotGather> alone(line.shots);
        for (int s = 0; s < line.shots; ++s)
            QVERIFY(data.readShot(s, &alone[s]));
        std::atomic_int wrong{0};
        std::vector<std::thread> readers;
        const TraceDataSet &shared = data;
        for (int k = 0; k < 4; ++k) {
            readers.emplace_back([&, k] {
                for (int n = 0; n < 10 * line.shots; ++n) {
                    const int s = (n + k) % line.shots;
                    ShotGather g;
                    QString error;
                    wrong += !shared.readShot(s, &g, &error) || g.samples != alone[s].samples ||
                             g.headers.size() != alone[s].headers.size() || g.headers.last().channel != line.channels;
                }
            });
        }
        for (std::thread &t : readers)
            t.join();
        QCOMPARE(wrong.load(), 0);

        cancel = true;
        QVERIFY(!data.open(out, Progress::cancelOnly(&cancel)));
        QVERIFY2(data.errorString().endsWith("cancelled"), qPrintable(data.errorString()));
        QVERIFY(!data.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestTraces)
#include "tst_traces.moc"
