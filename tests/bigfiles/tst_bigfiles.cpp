// FB files past 2 and 4 GiB, and one with more records than int32 holds:
// every position must be computed in 64 bits, and a file too large to
// index must give no index rather than a wrong one.

#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>
#include "sparsefile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace FbFile;

class tst_BigFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void lastShotsOfHugeFile_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::newRow("2.5 GiB") << (qint64(5) << 29) / FbLayout::RecordSize;
        QTest::newRow("5 GiB") << (qint64(5) << 30) / FbLayout::RecordSize;
        QTest::newRow("past int32 records") << qint64(std::numeric_limits<qint32>::max()) + 1;
    }
    void lastShotsOfHugeFile()
    {
        QFETCH(qint64, n);
        // Three real shots at the very end, behind a hole of zero records.
        const QVector<SparseFb::Placed> records =
            SparseFb::shot(n - 16, 9001, 5) + SparseFb::shot(n - 11, 9002, 7) + SparseFb::shot(n - 4, 9003, 4);
        const QString path = m_dir.filePath(QStringLiteral("huge.fb"));
        if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * n, FbFileHeader(), records))
            QSKIP("this file system cannot hold sparse files");
        ShotIndexScanner scanner(path);
        QVERIFY(scanner.open());
        QCOMPARE(scanner.recordCount(), n);
        const bool fits = n <= std::numeric_limits<qint32>::max();
        QCOMPARE(scanner.recordCountFits(), fits);
        int lastProgress = 0;
        const QVector<ShotIndexEntry> index = scanner.scan(Progress([&](int value) { lastProgress = value; }));
        QCOMPARE(lastProgress, fits ? 3 : 0);
        const qint32 last = qint32(n - 1);
        const QVector<ShotIndexEntry> shots{
            {0, 0, last - 16}, {9001, last - 15, last - 11}, {9002, last - 10, last - 4}, {9003, last - 3, last}};
        QVERIFY2(index == (fits ? shots : QVector<ShotIndexEntry>()), "the index differs");
        // The last shot reads back even where no index can be made.
        const QVector<FbRecord> lastShot = readShotRecords(path, last - 3, last);
        QCOMPARE(lastShot.size(), 4);
        for (int k = 0; k < 4; ++k)
            QVERIFY2(lastShot.at(k).ffid == 9003 && lastShot.at(k).channel == k + 1 &&
                         lastShot.at(k).fb_time == 100.0f + k,
                     qPrintable(QString("record %1 differs").arg(k)));
    }
};

QTEST_GUILESS_MAIN(tst_BigFiles)
#include "tst_bigfiles.moc"
