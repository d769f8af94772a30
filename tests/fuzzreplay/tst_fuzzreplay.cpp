// Replays the fuzzers' corpora (made by fbtool gen, by hand, and kept from
// fuzzing runs) through the same invariant checks, so that the cases they
// found stay caught in a build without clang.

#include "fbfilecheck.h"
#include "qcpasscheck.h"
#include "tracecheck.h"

#include <QtTest>

class tst_FuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data()
    {
        QTest::addColumn<QString>("path");
        const QFileInfoList files = QDir(QStringLiteral(FUZZ_CORPUS_DIR)).entryInfoList(QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 10, "the seed corpus is missing");
        for (const QFileInfo &info : files)
            QTest::newRow(qPrintable(info.fileName())) << info.absoluteFilePath();
    }
    void corpus()
    {
        QFETCH(QString, path);
        QCOMPARE(checkFbFile(path), QString()); // else what broke
        QCOMPARE(checkQcPass(path), QString());
    }

    void traceCorpus_data()
    {
        QTest::addColumn<QString>("path");
        const QFileInfoList files = QDir(QStringLiteral(TRACE_CORPUS_DIR)).entryInfoList(QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 10, "the trace seed corpus is missing");
        for (const QFileInfo &info : files)
            QTest::newRow(qPrintable(info.fileName())) << info.absoluteFilePath();
    }
    void traceCorpus()
    {
        QFETCH(QString, path);
        QCOMPARE(checkTraceFile(path), QString()); // else what broke
    }
};

QTEST_GUILESS_MAIN(tst_FuzzReplay)
#include "tst_fuzzreplay.moc"
