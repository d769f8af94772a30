// FB files past 2 and 4 GiB, and one with more records than int32 holds:
// every position must be computed in 64 bits, and a file too large to
// index must give no index rather than a wrong one.

#include "shotindex.h"
#include "shotrecords.h"
#include "sparsefile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

class tst_BigFiles : public QObject
{
    Q_OBJECT

private slots:
    void lastShotsOfHugeFile_data();
    void lastShotsOfHugeFile();
    void recordCountPastInt32();

private:
    QTemporaryDir m_dir;
};

void tst_BigFiles::lastShotsOfHugeFile_data()
{
    QTest::addColumn<qint64>("approximateSize");
    QTest::newRow("2.5 GiB") << qint64(5) * 512 * 1024 * 1024;
    QTest::newRow("5 GiB") << qint64(5) * 1024 * 1024 * 1024;
}

void tst_BigFiles::lastShotsOfHugeFile()
{
    QFETCH(qint64, approximateSize);
    QVERIFY(m_dir.isValid());
    const qint64 n = (approximateSize - FbLayout::HeaderSize) / FbLayout::RecordSize;
    const qint64 size = FbLayout::HeaderSize + FbLayout::RecordSize * n;

    // Three real shots at the very end, behind a hole of zero records.
    QVector<SparseFb::Placed> records;
    records += SparseFb::shot(n - 16, 9001, 5);
    records += SparseFb::shot(n - 11, 9002, 7);
    records += SparseFb::shot(n - 4, 9003, 4);
    FbFileHeader header;
    header.fb_count = qint32(n);
    header.polarity = -1;
    header.min_offset = -500;
    header.max_offset = 6000;

    const QString path = m_dir.filePath(QStringLiteral("huge.fb"));
    if (!SparseFb::make(path, size, header, records))
        QSKIP("this file system cannot hold sparse files");

    QElapsedTimer timer;
    timer.start();
    ShotIndexScanner scanner(path);
    QVERIFY(scanner.open());
    QCOMPARE(scanner.recordCount(), n);
    QVERIFY(scanner.isComplete());
    QVERIFY(scanner.recordCountFits());
    QCOMPARE(scanner.header().polarity, -1);
    int lastProgress = 0;
    const QVector<ShotIndexEntry> index = scanner.scan([&](int value) { lastProgress = value; });
    qInfo("indexed %lld records (%.2f GiB) in %lld ms", n, size / 1073741824.0, timer.elapsed());

    const QVector<ShotIndexEntry> expected = {
        {0, 0, qint32(n - 17)},
        {9001, qint32(n - 16), qint32(n - 12)},
        {9002, qint32(n - 11), qint32(n - 5)},
        {9003, qint32(n - 4), qint32(n - 1)},
    };
    QCOMPARE(index, expected);
    QCOMPARE(lastProgress, 3);

    const QVector<FbRecord> last = readShotRecords(path, index.last().firstRecord, index.last().lastRecord);
    QCOMPARE(last.size(), 4);
    for (int k = 0; k < last.size(); ++k) {
        QCOMPARE(last.at(k).ffid, 9003);
        QCOMPARE(last.at(k).channel, k + 1);
        QCOMPARE(last.at(k).fb_time, 100.0f + k);
        QCOMPARE(last.at(k).source_x, 123456.5f);
    }
    const QVector<FbRecord> middle = readShotRecords(path, index.at(2).firstRecord, index.at(2).lastRecord);
    QCOMPARE(middle.size(), 7);
    QCOMPARE(middle.last().offset, 100);
    QFile::remove(path);
}

void tst_BigFiles::recordCountPastInt32()
{
    QVERIFY(m_dir.isValid());
    const qint64 n = qint64(std::numeric_limits<qint32>::max()) + 1;
    const qint64 size = FbLayout::HeaderSize + FbLayout::RecordSize * n;
    FbFileHeader header;
    header.fb_count = 5;
    const QString path = m_dir.filePath(QStringLiteral("too-many-records.fb"));
    if (!SparseFb::make(path, size, header, SparseFb::shot(0, 1, 3)))
        QSKIP("this file system cannot hold sparse files");

    ShotIndexScanner scanner(path);
    QVERIFY(scanner.open());
    QCOMPARE(scanner.recordCount(), n);
    QVERIFY(!scanner.recordCountFits());
    bool progressed = false;
    QVERIFY(scanner.scan([&](int) { progressed = true; }).isEmpty());
    QVERIFY(!progressed);
    QFile::remove(path);
}

QTEST_GUILESS_MAIN(tst_BigFiles)
#include "tst_bigfiles.moc"
