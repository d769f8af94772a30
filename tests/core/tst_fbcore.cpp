// The FB file core: byte layout, record count, header, shot index with its
// progress values, one shot's records, and the viewer's cell texts.

#include "fbcolumns.h"
#include "fbfile.h"
#include "fbtestfile.h"
#include "shotindex.h"
#include "shotrecords.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// Named fields by their file offset, so that a test states where each one
// lives without going through the codec under test.
struct NamedField
{
    int offset;
    const char *name;
    qint32 FbRecord::*intField;
    float FbRecord::*floatField;
};

const NamedField namedFields[] = {
    {0, "ffid", &FbRecord::ffid, nullptr},
    {4, "channel", &FbRecord::channel, nullptr},
    {8, "offset", &FbRecord::offset, nullptr},
    {12, "g_elev", &FbRecord::g_elev, nullptr},
    {16, "s_elev", &FbRecord::s_elev, nullptr},
    {20, "s_depth", &FbRecord::s_depth, nullptr},
    {24, "source_x", nullptr, &FbRecord::source_x},
    {28, "source_y", nullptr, &FbRecord::source_y},
    {32, "group_x", nullptr, &FbRecord::group_x},
    {36, "group_y", nullptr, &FbRecord::group_y},
    {40, "s_line", &FbRecord::s_line, nullptr},
    {44, "s_stat", &FbRecord::s_stat, nullptr},
    {48, "g_line", &FbRecord::g_line, nullptr},
    {52, "g_stat", &FbRecord::g_stat, nullptr},
    {60, "fb_time", nullptr, &FbRecord::fb_time},
    {64, "fb_status", &FbRecord::fb_status, nullptr},
    {72, "fb_no", &FbRecord::fb_no, nullptr},
};

const NamedField *fieldNamed(const QString &name)
{
    for (const NamedField &f : namedFields) {
        if (name == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

double valueOf(const FbRecord &r, const NamedField &f)
{
    return f.intField ? double(r.*f.intField) : double(r.*f.floatField);
}

void setValue(FbRecord &r, const QString &name, double value)
{
    const NamedField *f = fieldNamed(name);
    QVERIFY2(f, qPrintable(name));
    if (f->intField)
        r.*f->intField = qint32(value);
    else
        r.*f->floatField = float(value);
}

// Named fields that differ, as "name name ..."; NaN equals NaN here.
QString namedDifferences(const FbRecord &a, const FbRecord &b)
{
    QStringList names;
    for (const NamedField &f : namedFields) {
        const double x = valueOf(a, f), y = valueOf(b, f);
        if (!(x == y || (std::isnan(x) && std::isnan(y))))
            names << QLatin1String(f.name);
    }
    return names.join(QLatin1Char(' '));
}

QString describe(const QVector<ShotIndexEntry> &index)
{
    QStringList parts;
    for (const ShotIndexEntry &e : index)
        parts << QStringLiteral("%1:%2-%3").arg(e.ffid).arg(e.firstRecord).arg(e.lastRecord);
    return parts.join(QLatin1Char(' '));
}

QString describe(const QVector<int> &values)
{
    QStringList parts;
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
}

QString range(int from, int to)
{
    QVector<int> values;
    for (int v = from; v <= to; ++v)
        values << v;
    return describe(values);
}

QVector<qint32> runs(const QVector<QPair<qint32, int>> &shots)
{
    QVector<qint32> ffids;
    for (const auto &shot : shots)
        ffids.insert(ffids.size(), shot.second, shot.first);
    return ffids;
}

} // namespace

Q_DECLARE_METATYPE(FbRecord)

class TestFbCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void headerBytes();
    void recordField_data();
    void recordField();
    void recordCount_data();
    void recordCount();
    void completeness_data();
    void completeness();
    void shortFile_data();
    void shortFile();
    void scan_data();
    void scan();
    void scanAfterFileShrank();
    void openFailure();
    void shotRecords_data();
    void shotRecords();
    void cellText_data();
    void cellText();
    void columnVaries_data();
    void columnVaries();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void TestFbCore::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestFbCore::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!FbTest::writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestFbCore::headerBytes()
{
    const QByteArray stored = QByteArray::fromHex("02000000" "01000000" "64000000" "F4010000");

    FbFileHeader header;
    header.fb_count = 2;
    header.polarity = 1;
    header.min_offset = 100;
    header.max_offset = 500;
    char written[FbLayout::HeaderSize];
    FbLayout::encodeHeader(header, written);
    QCOMPARE(QByteArray(written, sizeof written).toHex(), stored.toHex());

    const FbFileHeader read = FbLayout::decodeHeader(stored.constData(), stored.size());
    QCOMPARE(read.fb_count, 2);
    QCOMPARE(read.polarity, 1);
    QCOMPARE(read.min_offset, 100);
    QCOMPARE(read.max_offset, 500);
}

// Each named field at its own offset, little-endian, with nothing leaking
// into its neighbours; the unnamed words change nothing that is read.
void TestFbCore::recordField_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");

    QTest::newRow("fb_time 12.5") << 60 << QByteArray::fromHex("00004841") << "fb_time" << 12.5;
    QTest::newRow("offset -350") << 8 << QByteArray::fromHex("A2FEFFFF") << "offset" << -350.0;
    QTest::newRow("ffid") << 0 << QByteArray::fromHex("01020304") << "ffid" << double(0x04030201);
    QTest::newRow("channel") << 4 << QByteArray::fromHex("F0000000") << "channel" << 240.0;
    QTest::newRow("g_elev") << 12 << QByteArray::fromHex("5E010000") << "g_elev" << 350.0;
    QTest::newRow("s_elev negative") << 16 << QByteArray::fromHex("F6FFFFFF") << "s_elev" << -10.0;
    QTest::newRow("s_depth") << 20 << QByteArray::fromHex("0C000000") << "s_depth" << 12.0;
    QTest::newRow("source_x 1.5") << 24 << QByteArray::fromHex("0000C03F") << "source_x" << 1.5;
    QTest::newRow("source_y -2") << 28 << QByteArray::fromHex("000000C0") << "source_y" << -2.0;
    QTest::newRow("group_x 100") << 32 << QByteArray::fromHex("0000C842") << "group_x" << 100.0;
    QTest::newRow("group_y 0.25") << 36 << QByteArray::fromHex("0000803E") << "group_y" << 0.25;
    QTest::newRow("s_line") << 40 << QByteArray::fromHex("65000000") << "s_line" << 101.0;
    QTest::newRow("s_stat") << 44 << QByteArray::fromHex("E8030000") << "s_stat" << 1000.0;
    QTest::newRow("g_line") << 48 << QByteArray::fromHex("66000000") << "g_line" << 102.0;
    QTest::newRow("g_stat") << 52 << QByteArray::fromHex("00000100") << "g_stat" << 65536.0;
    QTest::newRow("fb_status -1") << 64 << QByteArray::fromHex("FFFFFFFF") << "fb_status" << -1.0;
    QTest::newRow("fb_no int32 max") << 72 << QByteArray::fromHex("FFFFFF7F") << "fb_no" << 2147483647.0;
    for (int unnamed : {56, 68, 76, 80})
        QTest::addRow("unnamed word at %d", unnamed) << unnamed << QByteArray::fromHex("DEADBEEF") << QString() << 0.0;
}

void TestFbCore::recordField()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, word);
    QFETCH(QString, field);
    QFETCH(double, value);

    QByteArray bytes(FbLayout::RecordSize, '\0');
    bytes.replace(offset, 4, word);
    const FbRecord read = FbLayout::decodeRecord(bytes.constData());

    FbRecord expected;
    if (!field.isEmpty())
        setValue(expected, field, value);
    QCOMPARE(namedDifferences(read, expected), QString());

    if (!field.isEmpty()) {
        // Writing the value back puts the same four bytes at the same place.
        QByteArray written(FbLayout::RecordSize, '\x55');
        FbLayout::encodeRecord(expected, written.data());
        QCOMPARE(written.mid(offset, 4).toHex(), word.toHex());
    }
}

void TestFbCore::recordCount_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<qint64>("records");

    QTest::newRow("empty") << qint64(0) << qint64(0);
    QTest::newRow("short header") << qint64(15) << qint64(0);
    QTest::newRow("header only") << qint64(16) << qint64(0);
    QTest::newRow("one byte short of a record") << qint64(99) << qint64(0);
    QTest::newRow("one record") << qint64(100) << qint64(1);
    QTest::newRow("7 records") << qint64(16 + 84 * 7) << qint64(7);
    QTest::newRow("7 records + 50 bytes") << qint64(16 + 84 * 7 + 50) << qint64(7);
    QTest::newRow("7 records + 83 bytes") << qint64(16 + 84 * 7 + 83) << qint64(7);
    // 64-bit arithmetic: sizes and counts beyond 32 bits.
    QTest::newRow("3e9 records") << qint64(16) + 84 * qint64(3000000000) << qint64(3000000000);
}

void TestFbCore::recordCount()
{
    QFETCH(qint64, fileSize);
    QFETCH(qint64, records);
    QCOMPARE(FbLayout::recordCount(fileSize), records);
    if (records > 0 && records <= std::numeric_limits<qint32>::max())
        QVERIFY(FbLayout::recordPosition(qint32(records - 1)) + FbLayout::RecordSize <= fileSize);
    QCOMPARE(FbLayout::recordPosition(std::numeric_limits<qint32>::max()), qint64(16) + 84 * qint64(2147483647));
}

// The declared count is checked against the size, the index always
// follows the size.
void TestFbCore::completeness_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("extraBytes");
    QTest::addColumn<qint32>("declared");
    QTest::addColumn<bool>("complete");

    QTest::newRow("exact, declared n") << 5 << 0 << 5 << true;
    QTest::newRow("50 trailing bytes, declared n") << 5 << 50 << 5 << true;
    QTest::newRow("50 trailing bytes, declared n+1") << 5 << 50 << 6 << false;
    QTest::newRow("declares fewer") << 5 << 0 << 3 << false;
    QTest::newRow("declares none") << 5 << 0 << 0 << false;
}

void TestFbCore::completeness()
{
    QFETCH(int, records);
    QFETCH(int, extraBytes);
    QFETCH(qint32, declared);
    QFETCH(bool, complete);

    FbFileHeader header;
    header.fb_count = declared;
    const QVector<qint32> ffids(records, 9);
    const QString path = write(QStringLiteral("complete.fb"),
                               FbTest::fileBytes(FbTest::recordsWithFfids(ffids), header, false, extraBytes));
    ShotIndexScanner scanner(path);
    QVERIFY(scanner.open());
    QCOMPARE(scanner.recordCount(), qint64(records));
    QCOMPARE(scanner.isComplete(), complete);
    QCOMPARE(describe(scanner.scan()), QStringLiteral("9:0-%1").arg(records - 1));
}

// Files without a complete record: missing header words read 0, and the
// index is one shot without records keyed by whatever follows the header.
void TestFbCore::shortFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVector<qint32>>("header");
    QTest::addColumn<qint32>("ffid");

    const QByteArray full = QByteArray::fromHex("02000000" "01000000" "64000000" "F4010000");
    QTest::newRow("empty") << QByteArray() << QVector<qint32>{0, 0, 0, 0} << 0;
    QTest::newRow("3 bytes") << full.left(3) << QVector<qint32>{2, 0, 0, 0} << 0;
    QTest::newRow("10 bytes") << full.left(10) << QVector<qint32>{2, 1, 100, 0} << 0;
    // The missing high byte would have made max_offset negative.
    QTest::newRow("15 bytes") << QByteArray::fromHex("02000000" "01000000" "64000000" "F40100")
                              << QVector<qint32>{2, 1, 100, 500} << 0;
    QTest::newRow("header only") << full << QVector<qint32>{2, 1, 100, 500} << 0;
    QTest::newRow("2 bytes of a record") << full + QByteArray::fromHex("3412") << QVector<qint32>{2, 1, 100, 500} << 0x1234;
    QTest::newRow("83 bytes of a record")
        << full + QByteArray::fromHex("07000000") + QByteArray(79, '\x11') << QVector<qint32>{2, 1, 100, 500} << 7;
}

void TestFbCore::shortFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVector<qint32>, header);
    QFETCH(qint32, ffid);

    const QString path = write(QStringLiteral("short.fb"), bytes);
    ShotIndexScanner scanner(path);
    QVERIFY(scanner.open());
    const FbFileHeader &h = scanner.header();
    QCOMPARE((QVector<qint32>{h.fb_count, h.polarity, h.min_offset, h.max_offset}), header);
    QCOMPARE(scanner.recordCount(), qint64(0));

    QVector<int> progress;
    const QVector<ShotIndexEntry> index = scanner.scan([&](int v) { progress << v; });
    QCOMPARE(describe(index), QStringLiteral("%1:0--1").arg(ffid));
    QVERIFY(progress.isEmpty());
    // The viewer reads that shot as no records at all.
    QVERIFY(readShotRecords(path, 0, -1).isEmpty());
}

// Every shape is scanned with several block sizes, so that shot starts fall
// on, just before and just after block boundaries; the index and every
// progress value must not depend on the block size.
void TestFbCore::scan_data()
{
    QTest::addColumn<QVector<qint32>>("ffids");
    QTest::addColumn<int>("blockRecords");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("progress");

    struct Shape
    {
        const char *name;
        QVector<qint32> ffids;
        QString index;
        QString progress;
    };
    QVector<qint32> singles150, singles250;
    QString index150, index250;
    for (int i = 0; i < 250; ++i) {
        singles250 << 100 + i;
        index250 += QStringLiteral("%1%2:%3-%3").arg(i ? " " : "").arg(100 + i).arg(i);
        if (i < 150) {
            singles150 << 100 + i;
            index150 += QStringLiteral("%1%2:%3-%3").arg(i ? " " : "").arg(100 + i).arg(i);
        }
    }
    const Shape shapes[] = {
        {"5,5,5,7,7,5", {5, 5, 5, 7, 7, 5}, "5:0-2 7:3-4 5:5-5", "1 2"},
        {"5,7,7", {5, 7, 7}, "5:0-0 7:1-2", "1"},
        {"one record", {42}, "42:0-0", ""},
        {"ffid comes back after another shot", {1, 1, 2, 1}, "1:0-1 2:2-2 1:3-3", "1 2"},
        // Step 10: one move at each of the nine later shot starts.
        {"1000 records in 10 shots", runs({{1, 100}, {2, 100}, {3, 100}, {4, 100}, {5, 100},
                                           {6, 100}, {7, 100}, {8, 100}, {9, 100}, {10, 100}}),
         "1:0-99 2:100-199 3:200-299 4:300-399 5:400-499 6:500-599 7:600-699 8:700-799 9:800-899 10:900-999",
         range(1, 9)},
        // Step 1: every shot start moves, far past the maximum of 100.
        {"150 single-record shots", singles150, index150, range(1, 149)},
        // Step 0: the threshold stays 0 and every later shot start moves.
        {"50 records in 5 shots", runs({{1, 10}, {2, 10}, {3, 10}, {4, 10}, {5, 10}}),
         "1:0-9 2:10-19 3:20-29 4:30-39 5:40-49", "1 2 3 4"},
        // Step 2: a shot start moves only once it has reached the threshold,
        // so only every second single-record shot does.
        {"250 single-record shots", singles250, index250, range(1, 124)},
        // Step 10, thresholds 10, 20, 30, 40: the start at 5 is below the
        // first, 25 and 26 move once each (no catching up), 27 is below 30.
        {"1000 records, irregular starts", runs({{1, 5}, {2, 20}, {3, 1}, {4, 1}, {5, 473}, {6, 500}}),
         "1:0-4 2:5-24 3:25-25 4:26-26 5:27-499 6:500-999", "1 2 3"},
    };
    for (const Shape &s : shapes) {
        for (int block : {0, 1, 2, 3, 64}) {
            QTest::addRow("%s, block %d", s.name, block) << s.ffids << block << s.index << s.progress;
        }
    }
}

void TestFbCore::scan()
{
    QFETCH(QVector<qint32>, ffids);
    QFETCH(int, blockRecords);
    QFETCH(QString, index);
    QFETCH(QString, progress);

    ShotIndexScanner scanner(write(QStringLiteral("scan.fb"), FbTest::fileBytes(FbTest::recordsWithFfids(ffids))));
    if (blockRecords > 0)
        scanner.setBlockRecords(blockRecords);
    QVERIFY(scanner.open());
    QVERIFY(scanner.isComplete());
    QCOMPARE(scanner.recordCount(), qint64(ffids.size()));

    QVector<int> values;
    QCOMPARE(describe(scanner.scan([&](int v) { values << v; })), index);
    QCOMPARE(describe(values), progress);
}

// The size was taken at open(); records lost before the scan read as zeros,
// and the index still covers every record of that size.
void TestFbCore::scanAfterFileShrank()
{
    const QString path = write(QStringLiteral("shrinks.fb"),
                               FbTest::fileBytes(FbTest::recordsWithFfids(runs({{1, 10}, {2, 10}}))));
    ShotIndexScanner scanner(path);
    scanner.setBlockRecords(4);
    QVERIFY(scanner.open());
    QVERIFY(QFile::resize(path, 16 + 84 * 15 + 10));
    // Record 15 keeps its first 10 bytes, its ffid among them.
    QCOMPARE(describe(scanner.scan()), QStringLiteral("1:0-9 2:10-15 0:16-19"));
}

void TestFbCore::openFailure()
{
    ShotIndexScanner scanner(m_dir.filePath(QStringLiteral("no such file.fb")));
    QVERIFY(!scanner.open());
    QVERIFY(!scanner.errorString().isEmpty());
    QVERIFY(scanner.scan().isEmpty());

    ShotIndexScanner directory(m_dir.path());
    QVERIFY(!directory.open());
}

// 30 records in six shots of five. cutTo < 0 keeps the file whole;
// otherwise the file is cut to that many bytes after it was written, as if
// it shrank after indexing. Missing bytes read as zeros.
void TestFbCore::shotRecords_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<qint64>("cutTo");
    QTest::addColumn<bool>("missingFile");

    QTest::newRow("first shot") << 0 << 4 << qint64(-1) << false;
    QTest::newRow("middle shot") << 10 << 14 << qint64(-1) << false;
    QTest::newRow("last shot") << 25 << 29 << qint64(-1) << false;
    QTest::newRow("one record") << 17 << 17 << qint64(-1) << false;
    QTest::newRow("no records") << 5 << 4 << qint64(-1) << false;
    QTest::newRow("cut inside record 27") << 25 << 29 << qint64(16 + 84 * 27 + 40) << false;
    QTest::newRow("cut before the shot") << 25 << 29 << qint64(16 + 84 * 20) << false;
    QTest::newRow("cut at the shot's end") << 25 << 29 << qint64(16 + 84 * 30) << false;
    QTest::newRow("file gone") << 10 << 14 << qint64(-1) << true;
}

void TestFbCore::shotRecords()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(qint64, cutTo);
    QFETCH(bool, missingFile);

    const QVector<FbRecord> written =
        FbTest::recordsWithFfids(runs({{101, 5}, {102, 5}, {103, 5}, {104, 5}, {105, 5}, {106, 5}}));
    const QByteArray bytes = FbTest::fileBytes(written);
    const QString path = missingFile ? m_dir.filePath(QStringLiteral("gone.fb"))
                                     : write(QStringLiteral("records.fb"), cutTo < 0 ? bytes : bytes.left(int(cutTo)));

    const QVector<FbRecord> read = readShotRecords(path, first, last);
    QCOMPARE(read.size(), qMax(0, last - first + 1));

    const qint64 available = missingFile ? 0 : cutTo < 0 ? bytes.size() : cutTo;
    for (int k = 0; k < read.size(); ++k) {
        const qint64 position = FbLayout::recordPosition(first + k);
        // The fields wholly inside the bytes still on disk keep their
        // values, the rest read as zero.
        FbRecord expected;
        for (const NamedField &f : namedFields) {
            if (position + f.offset + 4 <= available) {
                if (f.intField)
                    expected.*f.intField = written.at(first + k).*f.intField;
                else
                    expected.*f.floatField = written.at(first + k).*f.floatField;
            }
        }
        QVERIFY2(namedDifferences(read.at(k), expected).isEmpty(),
                 qPrintable(QStringLiteral("record %1: %2").arg(first + k).arg(namedDifferences(read.at(k), expected))));
    }
}

void TestFbCore::cellText_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("fb_time 0.25") << int(FbColumns::FbTime) << "fb_time" << 0.25 << "0.25";
    QTest::newRow("fb_time 0.00005") << int(FbColumns::FbTime) << "fb_time" << 0.00005 << "5e-05";
    QTest::newRow("fb_time 12.5") << int(FbColumns::FbTime) << "fb_time" << 12.5 << "12.5";
    QTest::newRow("fb_time 1234567") << int(FbColumns::FbTime) << "fb_time" << 1234567.0 << "1.23457e+06";
    QTest::newRow("fb_time 243") << int(FbColumns::FbTime) << "fb_time" << 243.0 << "243";
    QTest::newRow("source_x 1.5") << int(FbColumns::SourceX) << "source_x" << 1.5 << "1.50";
    QTest::newRow("source_y 123.4") << int(FbColumns::SourceY) << "source_y" << 123.4 << "123.40";
    QTest::newRow("group_x large") << int(FbColumns::GroupX) << "group_x" << 25020.125 << "25020.13";
    QTest::newRow("group_y -7") << int(FbColumns::GroupY) << "group_y" << -7.0 << "-7.00";
    QTest::newRow("offset -350") << int(FbColumns::Offset) << "offset" << -350.0 << "-350";
    QTest::newRow("g_elev -12") << int(FbColumns::GElev) << "g_elev" << -12.0 << "-12";
    QTest::newRow("fb_no no grouping") << int(FbColumns::FbNo) << "fb_no" << 1234567.0 << "1234567";
    QTest::newRow("ffid int32 min") << int(FbColumns::Ffid) << "ffid" << -2147483648.0 << "-2147483648";
    QTest::newRow("g_stat") << int(FbColumns::GStat) << "g_stat" << 1001.0 << "1001";
    QTest::newRow("source_x NaN") << int(FbColumns::SourceX) << "source_x" << nan << "nan";
    QTest::newRow("fb_time infinite") << int(FbColumns::FbTime) << "fb_time" << qInf() << "inf";
}

void TestFbCore::cellText()
{
    QFETCH(int, column);
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QString, text);

    FbRecord record;
    setValue(record, field, value);
    QCOMPARE(FbColumns::cellText(record, column), text);
}

// Which shot-constant columns a shot shows in red.
void TestFbCore::columnVaries_data()
{
    QTest::addColumn<QVector<FbRecord>>("records");
    QTest::addColumn<QVector<int>>("varying");

    const QVector<FbRecord> shot = FbTest::recordsWithFfids({7, 7, 7, 7});
    const float nan = std::numeric_limits<float>::quiet_NaN();

    QTest::newRow("uniform shot") << shot << QVector<int>{};
    QTest::newRow("one record") << shot.mid(0, 1) << QVector<int>{};
    QTest::newRow("no records") << QVector<FbRecord>() << QVector<int>{};

    QVector<FbRecord> elev = shot;
    elev[2].s_elev += 1;
    QTest::newRow("one s_elev differs") << elev << QVector<int>{FbColumns::SElev};

    QVector<FbRecord> last = shot;
    last[3].s_stat = 0;
    last[3].source_y = 0.0f;
    QTest::newRow("last record differs twice") << last << QVector<int>{FbColumns::SourceY, FbColumns::SStat};

    QVector<FbRecord> firstNan = shot;
    firstNan[0].source_x = nan;
    QTest::newRow("NaN source_x in record 0") << firstNan << QVector<int>{FbColumns::SourceX};

    QVector<FbRecord> laterNan = shot;
    laterNan[2].source_x = nan;
    QTest::newRow("NaN source_x in record 2") << laterNan << QVector<int>{FbColumns::SourceX};

    QVector<FbRecord> lonelyNan = shot.mid(0, 1);
    lonelyNan[0].source_y = nan;
    QTest::newRow("one record with NaN source_y") << lonelyNan << QVector<int>{FbColumns::SourceY};

    // Exact floating-point equality: the two zeros are equal.
    QVector<FbRecord> zeros = shot;
    zeros[0].source_x = 0.0f;
    zeros[1].source_x = -0.0f;
    zeros[2].source_x = 0.0f;
    zeros[3].source_x = -0.0f;
    QTest::newRow("+0 and -0 source_x") << zeros << QVector<int>{};

    // A trace field that varies does not make a source column red.
    QVector<FbRecord> traces = shot;
    traces[1].group_x = nan;
    traces[2].fb_time = nan;
    QTest::newRow("NaN in trace fields only") << traces << QVector<int>{};
}

void TestFbCore::columnVaries()
{
    QFETCH(QVector<FbRecord>, records);
    QFETCH(QVector<int>, varying);

    for (int column : FbColumns::shotConstantColumns) {
        QVERIFY2(FbColumns::columnVaries(records, column) == varying.contains(column),
                 FbColumns::titles[column]);
    }
}

QTEST_GUILESS_MAIN(TestFbCore)
#include "tst_fbcore.moc"
