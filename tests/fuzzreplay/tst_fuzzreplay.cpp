// Replays the fuzzers' corpora (made by fbtool, by hand, and kept from
// fuzzing runs) through the same invariant checks, so that the cases they
// found stay caught in a build without clang.

#include "fbfilecheck.h"
#include "qcpasscheck.h"
#include "textinputcheck.h"
#include "tracecheck.h"

#include <QtTest>

namespace {

using Check = QString (*)(const QString &);
const struct
{
    const char *corpus;
    Check checks[2];
} Corpora[] = {
    {"corpus", {checkFbFile, checkQcPass}},
    {"corpus-sgt", {checkSgtImport, nullptr}},
    {"corpus-edits", {checkEditList, nullptr}},
    {"corpus-traces", {checkTraceFile, nullptr}},
};

} // namespace

class tst_FuzzReplay : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // the text checks write beside their input

private slots:
    void corpus_data()
    {
        QTest::addColumn<int>("corpus"); // in Corpora
        QTest::addColumn<QString>("path");
        for (int c = 0; c < int(sizeof Corpora / sizeof Corpora[0]); ++c) {
            const QDir dir(QStringLiteral(FUZZ_DIR "/") + QLatin1String(Corpora[c].corpus));
            const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
            QVERIFY2(files.size() >= 8, qPrintable(dir.path() + QStringLiteral(": the seed corpus is missing")));
            for (const QFileInfo &info : files)
                QTest::newRow(qPrintable(dir.dirName() + QLatin1Char('/') + info.fileName()))
                    << c << info.absoluteFilePath();
        }
    }
    void corpus()
    {
        QFETCH(int, corpus);
        QFETCH(QString, path);
        // A copy, so that what a check writes beside it stays out of the source tree.
        const QString copy = m_dir.filePath(QFileInfo(path).fileName());
        QFile::remove(copy);
        QVERIFY(QFile::copy(path, copy));
        for (Check check : Corpora[corpus].checks) {
            if (check)
                QCOMPARE(check(copy), QString()); // else what broke
        }
    }
};

QTEST_GUILESS_MAIN(tst_FuzzReplay)
#include "tst_fuzzreplay.moc"
