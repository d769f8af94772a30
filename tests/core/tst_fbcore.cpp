// The FB file core: byte layout, record count, shot index with its progress
// values, one shot's records, and the viewer's cell texts, also as the bulk
// writer makes them.

#include <fbfile/fbblockreader.h>
#include <fbfile/fbcolumns.h>
#include <fbfile/numbertext.h>
#include "fbtestfile.h"
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace FbFile;

using Runs = QVector<QPair<qint32, int>>; // (ffid, records) per shot, in file order
Q_DECLARE_METATYPE(FbRecord)
Q_DECLARE_METATYPE(FbFileHeader)
Q_DECLARE_METATYPE(FbColumns::Column)

class TestFbCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Little-endian words at fixed offsets, a header and a record; a short
    // header reads its missing bytes as zeros, and encoding gives the bytes
    // back.
    void layout_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FbFileHeader>("header");
        QTest::addColumn<FbRecord>("record");
        const QByteArray header = QByteArray::fromHex("02000000"
                                                      "01000000"
                                                      "64000000"
                                                      "F4010000");
        const QByteArray record = QByteArray::fromHex("01020304"
                                                      "F0000000"
                                                      "A2FEFFFF"
                                                      "5E010000"
                                                      "F6FFFFFF"
                                                      "0C000000"
                                                      "0000C03F"
                                                      "000000C0"
                                                      "0000C842"
                                                      "0000803E"
                                                      "65000000"
                                                      "E8030000"
                                                      "66000000"
                                                      "00000100"
                                                      "00000000"
                                                      "00004841"
                                                      "FFFFFFFF"
                                                      "00000000"
                                                      "FFFFFF7F"
                                                      "00000000"
                                                      "00000000");
        QTest::newRow("10 bytes of header") << header.left(10) << FbFileHeader{2, 1, 100, 0} << FbRecord();
        QTest::newRow("header and record")
            << header + record << FbFileHeader{2, 1, 100, 500}
            << FbRecord{0x04030201, 240, -350,  350, -10,   12, 1.5f, -2.0f,      100.0f, 0.25f, 101,
                        1000,       102, 65536, 0,   12.5f, -1, 0,    2147483647, 0,      0};
    }
    void layout()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FbFileHeader, header);
        QFETCH(FbRecord, record);
        const FbFileHeader h = FbLayout::decodeHeader(bytes.constData(), bytes.size());
        QVERIFY2(h.fb_count == header.fb_count && h.polarity == header.polarity && h.min_offset == header.min_offset &&
                     h.max_offset == header.max_offset,
                 "the header reads other words");
        const FbRecord r = FbLayout::decodeRecord(bytes.leftJustified(100, '\0').constData() + 16);
        QStringList differing;
        for (const FbLayout::Field &f : FbLayout::fields)
            if (f.value(r) != f.value(record))
                differing << QString::fromLatin1(f.name);
        QVERIFY2(differing.isEmpty(), qPrintable("fields read wrong: " + differing.join(", ")));
        // A block decodes as its records one by one; the unnamed words stay 0.
        QByteArray block = bytes.leftJustified(100, '\0').mid(16);
        block[56] = 7;
        block += block;
        FbRecord decoded[2];
        FbLayout::decodeRecords(block.constData(), 2, decoded);
        QVERIFY2(std::memcmp(&decoded[1], &r, sizeof r) == 0, "a block decodes otherwise than record by record");
        QByteArray written(100, '\x55');
        FbLayout::encodeHeader(h, written.data());
        FbLayout::encodeRecord(r, written.data() + 16);
        QCOMPARE(written.left(bytes.size()).toHex(), bytes.toHex());
    }

    // Every shape also with tiny blocks, so that shot starts fall on and
    // around block boundaries: neither the index nor any progress value may
    // depend on the block size. Progress runs 1, 2, ... up to `moves` (at most 100). Then
    // the file is cut to cutTo bytes under an open block reader, and every
    // shot's records are read again: what is no longer on disk reads as
    // zeros, and the blocks still number their records from the start.
    void scan_data()
    {
        QTest::addColumn<Runs>("runs");
        QTest::addColumn<int>("extraBytes");
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("cutTo");
        QTest::addColumn<int>("blockRecords");
        const auto equalRuns = [](int shots, int records) {
            Runs runs;
            while (runs.size() < shots)
                runs << qMakePair(101 + runs.size(), records);
            return runs;
        };
        const struct
        {
            const char *name;
            Runs runs;
            int extraBytes, moves, cutTo = INT_MAX;
        } shapes[] = {
            {"5,5,5,7,7,5 + 50 bytes, cut inside record 4", {{5, 3}, {7, 2}, {5, 1}}, 50, 2, 16 + 84 * 4 + 40},
            {"5,7,7", {{5, 1}, {7, 2}}, 0, 1},
            {"one record", {{42, 1}}, 0, 0},
            // No complete record: one shot without records, its ffid whatever follows the header.
            {"header only", {{0, 0}}, 0, 0},
            {"2 bytes of a record", {{0xEEEE, 0}}, 2, 0},
            {"83 bytes of a record", {{qint32(0xEEEEEEEE), 0}}, 83, 0},
            {"1000 records in 10 shots", equalRuns(10, 100), 0, 9},
            {"150 single-record shots", equalRuns(150, 1), 0, 149},
            {"50 records in 5 shots, cut to nothing", equalRuns(5, 10), 0, 4, 0},
            // Thresholds 10, 20, 30: 5 is below the first, 25 and 26 move
            // once each (no catching up), 27 is below 30.
            {"1000 records, irregular starts", {{1, 5}, {2, 20}, {3, 1}, {4, 1}, {5, 473}, {6, 500}}, 0, 3},
        };
        for (const auto &s : shapes)
            for (int block : {1, 3, 4096})
                QTest::addRow("%s, block %d", s.name, block) << s.runs << s.extraBytes << s.moves << s.cutTo << block;
    }
    void scan()
    {
        QFETCH(Runs, runs);
        QFETCH(int, extraBytes);
        QFETCH(int, moves);
        QFETCH(int, cutTo);
        QFETCH(int, blockRecords);
        QVector<qint32> ffids;
        QVector<ShotIndexEntry> index;
        for (const auto &run : runs) {
            index << ShotIndexEntry{run.first, ffids.size(), ffids.size() + run.second - 1};
            ffids.insert(ffids.size(), run.second, run.first);
        }
        const QByteArray bytes = FbTest::fileBytes(FbTest::recordsWithFfids(ffids), {}, true, extraBytes);
        const QString path = m_dir.filePath(QStringLiteral("test.fb"));
        QVERIFY(FbTest::writeFile(path, bytes));
        ShotIndexScanner scanner(path);
        scanner.setBlockRecords(blockRecords);
        QVERIFY(scanner.open());
        QCOMPARE(scanner.recordCount(), qint64(ffids.size()));
        QVector<int> progress, expected;
        QVERIFY2(scanner.scan(Progress([&](int v) { progress << v; })) == index, "the index differs");
        while (expected.size() < qMin(moves, 100))
            expected << expected.size() + 1;
        QCOMPARE(progress, expected);

        FbBlockReader reader(path);
        reader.setBlockRecords(blockRecords);
        QVERIFY(reader.open());
        const QByteArray onDisk = bytes.left(cutTo) + QByteArray(bytes.size(), '\0');
        QVERIFY(QFile::resize(path, qMin(cutTo, bytes.size())));
        QByteArray blocks;
        for (FbBlockReader::Block b; reader.nextBlock(&b);) {
            QCOMPARE(b.firstRecord * 84, qint64(blocks.size()));
            blocks += QByteArray(b.data, int(b.records * 84));
        }
        QCOMPARE(blocks.toHex(), onDisk.mid(16, ffids.size() * 84).toHex());
        for (const ShotIndexEntry &e : index)
            QCOMPARE(FbTest::fileBytes(readShotRecords(path, e.firstRecord, e.lastRecord)).mid(16).toHex(),
                     onDisk.mid(16 + 84 * e.firstRecord, 84 * (e.lastRecord - e.firstRecord + 1)).toHex());
    }

    // The text of a shot's first record in one column, and which
    // shot-constant columns the shot shows in red (NaN equals nothing, even
    // itself). The viewer's cell test covers a float column that differs in
    // the first record or in a later one, and the bulk-text rows the texts.
    void columns_data()
    {
        QTest::addColumn<QVector<FbRecord>>("shot");
        QTest::addColumn<FbColumns::Column>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<int>>("varying");
        const auto with = [](int count, int k, auto member, auto value) {
            auto shot = FbTest::recordsWithFfids(QVector<qint32>(count, 7));
            shot[k].*member = value;
            return shot;
        };
        const float nan = float(qQNaN());
        using C = FbColumns::Column;
        using V = QVector<int>;
        QTest::newRow("s_line 8 in record 3") << with(4, 3, &FbRecord::s_line, 8) << C::SLine << "7" << V{C::SLine};
        QTest::newRow("one record, NaN source_y")
            << with(1, 0, &FbRecord::source_y, nan) << C::SourceY << "nan" << V{C::SourceY};
        QTest::newRow("no records") << QVector<FbRecord>() << C::Ffid << "0" << V{};
    }
    void columns()
    {
        QFETCH(QVector<FbRecord>, shot);
        QFETCH(FbColumns::Column, column);
        QFETCH(QString, text);
        QFETCH(QVector<int>, varying);
        QCOMPARE(FbColumns::cellText(shot.value(0), column), text);
        for (int c : FbColumns::shotConstantColumns)
            QVERIFY2(FbColumns::columnVaries(shot, c) == varying.contains(c),
                     qPrintable(QString(FbColumns::titles[c]) + (varying.contains(c) ? " should" : " should not") +
                                " vary"));
    }

    // The bulk writer's text equals the viewer's, and the viewer's is the
    // one shown: halfway cases round away from zero, a negative zero loses
    // its sign, a NaN any sign and payload, 'g' switches to the exponent form
    // at 1e-4 and 1e6 after rounding; denormals and the largest floats too.
    void bulkText_data()
    {
        QTest::addColumn<FbColumns::Column>("column");
        QTest::addColumn<quint32>("bits"); // the field's word
        QTest::addColumn<QString>("text");
        const auto f = [](float v) { return NumberText::floatBits(v); };
        using C = FbColumns::Column;
        QTest::newRow("0.125 up") << C::GroupX << f(0.125f) << "0.13";
        QTest::newRow("-0.625 away from zero") << C::GroupX << f(-0.625f) << "-0.63";
        QTest::newRow("0.135f just above half") << C::GroupX << f(0.135f) << "0.14";
        QTest::newRow("1.005f just below half") << C::GroupX << f(1.005f) << "1.00";
        QTest::newRow("99.995f carries") << C::GroupX << f(99.995f) << "100.00";
        QTest::newRow("-0.001 keeps its sign") << C::GroupX << f(-0.001f) << "-0.00";
        QTest::newRow("negative zero, f") << C::GroupX << 0x80000000u << "0.00";
        QTest::newRow("negative denormal, f") << C::GroupX << 0x80000001u << "-0.00";
        QTest::newRow("2^56") << C::GroupX << f(72057594037927936.0f) << "72057594037927936.00";
        QTest::newRow("-FLT_MAX, f") << C::GroupX << 0xff7fffffu << "-340282346638528859811704183484516925440.00";
        QTest::newRow("-inf") << C::GroupX << 0xff800000u << "-inf";
        QTest::newRow("NaN, sign and payload") << C::GroupX << 0xffc01234u << "nan";
        QTest::newRow("123456.5 up") << C::FbTime << f(123456.5f) << "123457";
        QTest::newRow("1234565 up, exponent") << C::FbTime << f(1234565.0f) << "1.23457e+06";
        QTest::newRow("999999.5 carries to 1e+06") << C::FbTime << f(999999.5f) << "1e+06";
        QTest::newRow("-9999995 carries") << C::FbTime << f(-9999995.0f) << "-1e+07";
        QTest::newRow("2^-10 halfway") << C::FbTime << f(0.0009765625f) << "0.000976563";
        QTest::newRow("1e-4 fixed") << C::FbTime << f(0.0001f) << "0.0001";
        QTest::newRow("below 1e-4") << C::FbTime << f(0.00009999f) << "9.999e-05";
        QTest::newRow("100000") << C::FbTime << f(100000.0f) << "100000";
        QTest::newRow("-1.5e-07") << C::FbTime << f(-1.5e-7f) << "-1.5e-07";
        QTest::newRow("smallest denormal, g") << C::FbTime << 0x00000001u << "1.4013e-45";
        QTest::newRow("FLT_MAX, g") << C::FbTime << 0x7f7fffffu << "3.40282e+38";
        QTest::newRow("negative zero, g") << C::FbTime << 0x80000000u << "0";
        QTest::newRow("int32 minimum") << C::Offset << 0x80000000u << "-2147483648";
    }
    void bulkText()
    {
        QFETCH(FbColumns::Column, column);
        QFETCH(quint32, bits);
        QFETCH(QString, text);
        const FbLayout::Field &field = FbColumns::field(column);
        const FbRecord r = recordWith(field, bits);
        QCOMPARE(FbColumns::cellText(r, column), text);
        QCOMPARE(bulkText(field, r), text);
    }

    // The same for a deterministic sample of every kind of word: any 32
    // bits, floats from 1e-8 to 1e19, and halfway cases of both float
    // formats (n/8 for 2 decimals, q * 2^-k = q * 5^k * 10^-k for 6 digits).
    void bulkTextSample()
    {
        const FbLayout::Field *fields[] = {&FbColumns::field(FbColumns::Offset), &FbColumns::field(FbColumns::GroupX),
                                           &FbColumns::field(FbColumns::FbTime)};
        QRandomGenerator random(20261205);
        QStringList differing;
        for (int k = 0; k < 400000; ++k) {
            quint32 bits = random.generate();
            if (k % 4 == 1) // exponent 2^-27 .. 2^63
                bits = (bits & 0x807fffff) | quint32(100 + random.bounded(91)) << 23;
            else if (k % 4 == 2)
                bits = NumberText::floatBits(float(2 * random.bounded(1 << 23) - (1 << 23) + 1) / 8);
            else if (k % 4 == 3)
                bits = NumberText::floatBits(sixDigitHalfway(&random));
            for (const FbLayout::Field *f : fields) {
                const FbRecord r = recordWith(*f, bits);
                const QString viewer = FbColumns::fieldText(*f, r), bulk = bulkText(*f, r);
                if (viewer != bulk && differing.size() < 10)
                    differing << QStringLiteral("%1 0x%2: viewer %3, bulk %4")
                                     .arg(f->name)
                                     .arg(bits, 8, 16, QLatin1Char('0'))
                                     .arg(viewer, bulk);
            }
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join("; ")));
    }

private:
    static FbRecord recordWith(const FbLayout::Field &field, quint32 bits)
    {
        FbRecord r;
        if (field.type == FbLayout::FieldType::Int32)
            r.*field.intMember = qint32(bits);
        else
            std::memcpy(&(r.*field.floatMember), &bits, sizeof bits);
        return r;
    }
    static QString bulkText(const FbLayout::Field &field, const FbRecord &r)
    {
        char text[FbColumns::MaxCellBytes];
        return QString::fromLatin1(text, int(FbColumns::writeFieldText(field, r, text) - text));
    }
    // A float whose exact value has seven digits, the last a 5: q * 2^-k
    // with q odd is q * 5^k * 10^-k, seven digits when q * 5^k is.
    static float sixDigitHalfway(QRandomGenerator *random)
    {
        const int k = 1 + int(random->bounded(10));
        const quint32 power = quint32(std::pow(5.0, k));
        const quint32 low = (1000000 + power - 1) / power, high = 9999999 / power;
        const quint32 q = (low + random->bounded(high - low + 1)) | 1;
        return std::ldexp(float(q > high ? q - 2 : q), -k);
    }
};

QTEST_GUILESS_MAIN(TestFbCore)
#include "tst_fbcore.moc"
