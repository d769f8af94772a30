// The QC session: whatever edits and thresholds come in whatever order, its
// verdicts are those of a fresh pass over the file those edits make.

#include <fbqc/editplan.h>
#include <fbfile/fbcolumns.h>
#include <fbfile/fbeditwriter.h>
#include <fbfile/fbgenerator.h>
#include <fbfile/fbpicks.h>
#include <fbqc/qcsession.h>
#include <fbfile/shotrecords.h>
#include "reportdiff.h"

#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace FbFile;

using namespace FbQc;

namespace {

// The file as the edits leave it, judged by a fresh pass.
Report freshPass(const QString &fileName, const PickEdits &edits, const Settings &settings, const QString &copyName)
{
    QVector<FbEdit> words;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        if (it->timeEdited)
            words.append(FbEdit::time(it.key(), it->time));
        if (it->statusEdited)
            words.append(FbEdit::status(it.key(), it->status));
    }
    FbEditWriter writer(fileName);
    writer.setEdits(words);
    Report report;
    if (!writer.write(copyName)) {
        qWarning("%s", qPrintable(writer.errorString()));
        return report;
    }
    Analyzer analyzer(copyName, settings);
    if (!analyzer.run(&report))
        qWarning("%s", qPrintable(analyzer.errorString()));
    return report;
}

void apply(const QVector<PickChange> &changes, PickEdits *edits)
{
    for (const PickChange &c : changes) {
        if (c.after.isEmpty())
            edits->remove(c.record);
        else
            edits->insert(c.record, c.after);
    }
}

} // namespace

Q_DECLARE_METATYPE(FbGenerator::Spread)

class TestQcSession : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // The plan handing its words out block by block writes what the same
    // words as one list write, whatever the blocks: listed words, then
    // outliers in any order (the later edit of a word wins).
    void wordsBlockByBlock_data()
    {
        QTest::addColumn<QVector<qint32>>("outliers");
        QTest::addColumn<int>("block");
        QTest::newRow("in record order, blocks of 4") << QVector<qint32>{1, 2, 9, 17, 23} << 4;
        QTest::newRow("out of order and repeated, blocks of 2") << QVector<qint32>{9, 2, 23, 2, 0, 17} << 2;
        QTest::newRow("out of order, one block") << QVector<qint32>{23, 5, 6} << 4096;
    }
    void wordsBlockByBlock()
    {
        QFETCH(QVector<qint32>, outliers);
        QFETCH(int, block);
        FbGenerator::Options options;
        options.shots = 4;
        options.channels = 6;
        const QString file = m_dir.filePath(QStringLiteral("blocks.fb"));
        QVERIFY(FbGenerator::FileWriter(options).write(file));
        const QVector<FbEdit> listed{FbEdit::status(2, 7), FbEdit::time(3, 12.5f), FbEdit::time(23, 40.0f)};
        QVector<Finding> findings;
        QVector<FbEdit> words = listed;
        for (qint32 record : outliers) {
            Finding f;
            f.record = record;
            f.value = 9.5f;
            findings.append(f);
            words.append(FbEdit::status(record, FbPicks::DefaultRejectStatus));
        }
        const auto write = [&](FbEditWriter *writer, const QString &name, int *written) {
            writer->setBlockRecords(block);
            writer->setWordWritten(
                [written](const FbEditWriter::Applied &, const QVector<FbEdit> &, const int *, int count, QString *) {
                    *written += count;
                    return true;
                });
            const bool ok = writer->write(m_dir.filePath(name));
            QFile copy(m_dir.filePath(name));
            return ok && copy.open(QIODevice::ReadOnly) ? copy.readAll() : writer->errorString().toUtf8();
        };
        FbEditWriter asList(file);
        asList.setEdits(words);
        int fromList = 0, fromPlan = 0;
        const QByteArray expected = write(&asList, QStringLiteral("list.fb"), &fromList);

        EditPlan plan(file, {}, {}, EditPlan::Words);
        for (const FbEdit &w : listed)
            plan.addWord(w, QStringLiteral("listed"));
        QVERIFY(plan.rejectOutliers(findings, 8.0));
        FbEditWriter asPlan(file);
        asPlan.setEditSource(&plan);
        QCOMPARE(write(&asPlan, QStringLiteral("plan.fb"), &fromPlan), expected);
        QCOMPARE(fromPlan, fromList);
    }

    // Many picks retimed in one pass leave every pick as retiming them one
    // by one does: a record given twice takes its last time, one already
    // edited keeps its file's words, one the file does not hold fails.
    void retimeInOnePass_data()
    {
        using Times = QVector<QPair<qint32, float>>;
        QTest::addColumn<Times>("times");
        QTest::addColumn<bool>("ok");
        QTest::newRow("scattered, out of order") << Times{{230, 70.5f}, {3, 12.0f}, {117, 55.25f}, {4, 13.0f}} << true;
        QTest::newRow("one record twice, the last wins") << Times{{40, 20.0f}, {41, 21.0f}, {40, 30.0f}} << true;
        QTest::newRow("an edited record again") << Times{{5, 9.0f}, {6, 10.0f}} << true;
        QTest::newRow("past the file") << Times{{7, 9.0f}, {240, 10.0f}} << false;
    }
    void retimeInOnePass()
    {
        using Times = QVector<QPair<qint32, float>>;
        QFETCH(Times, times);
        QFETCH(bool, ok);
        FbGenerator::Options options;
        options.shots = 10;
        options.channels = 24;
        const QString file = m_dir.filePath(QStringLiteral("retimes.fb"));
        QVERIFY(FbGenerator::FileWriter(options).write(file));
        EditPlan before(file, {}, {}, EditPlan::Picks);
        QVERIFY(before.retime(5, 99.0f, QStringLiteral("typed")));
        PickEdits edits;
        apply(before.changes(), &edits);

        EditPlan oneByOne(file, {}, edits, EditPlan::Picks), onePass(file, {}, edits, EditPlan::Picks);
        bool each = true;
        for (const auto &t : times)
            each = each && oneByOne.retime(t.first, t.second, QStringLiteral("r"));
        QCOMPARE(each, ok);
        QCOMPARE(onePass.retime(times, QStringLiteral("r")), ok);
        if (!ok)
            return;
        PickEdits expected = edits, got = edits;
        apply(oneByOne.changes(), &expected);
        apply(onePass.changes(), &got);
        QCOMPARE(got, expected);
        QCOMPARE(onePass.changes().size(), oneByOne.changes().size());
    }

    // Random sequences of every action of the edit plan, undos and new
    // thresholds, each followed by the fresh pass's verdicts over the file
    // as the edits leave it.
    void sameAsAFreshPass_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<FbGenerator::Spread>("spread");
        QTest::addColumn<bool>("betweenStations"); // sources between receivers: interpolated times
        QTest::addColumn<double>("unpicked");      // fraction of traces nobody picked
        QTest::addColumn<qint64>("batchFindings"); // 1: one edited shot judged at a time
        QTest::addColumn<double>("statics");       // +- ms under each station: the receivers' statics matter
        const auto split = FbGenerator::Spread::Split, endOn = FbGenerator::Spread::EndOn;
        QTest::newRow("split spread, seed 1") << quint64(1) << split << false << 0.0 << qint64(65536) << 0.0;
        QTest::newRow("split spread, seed 2, unpicked traces")
            << quint64(2) << split << false << 0.03 << qint64(65536) << 0.0;
        QTest::newRow("split spread, seed 3, a shot at a time")
            << quint64(3) << split << false << 0.0 << qint64(1) << 0.0;
        QTest::newRow("sources between stations, seed 4") << quint64(4) << split << true << 0.0 << qint64(65536) << 0.0;
        QTest::newRow("end-on spread, seed 5") << quint64(5) << endOn << false << 0.02 << qint64(65536) << 0.0;
        QTest::newRow("end-on spread, seed 6, a shot at a time")
            << quint64(6) << endOn << false << 0.0 << qint64(1) << 0.0;
        QTest::newRow("end-on spread, seed 7, station statics")
            << quint64(7) << endOn << false << 0.02 << qint64(65536) << 3.0;
    }

    void sameAsAFreshPass()
    {
        QFETCH(quint64, seed);
        QFETCH(FbGenerator::Spread, spread);
        QFETCH(bool, betweenStations);
        QFETCH(double, unpicked);
        QFETCH(qint64, batchFindings);
        QFETCH(double, statics);
        FbGenerator::Options options;
        options.shots = 36;
        options.channels = 48;
        options.seed = seed;
        options.noiseMs = 2.0;
        options.spread = spread;
        options.sourceBetweenStations = betweenStations;
        options.unpicked = unpicked;
        options.stationStaticMs = statics;
        // Late and early shots for the timing errors, spikes for outliers,
        // a pick that is no number.
        options.shifts = {{7, 12.0}, {20, -9.0}};
        options.spikes = {{4, 10, 40.0}, {15, 30, -35.0}, {28, 5, 25.0}};
        options.nanValues = {{11, int(FbColumns::FbTime)}};
        const QString file = m_dir.filePath(QStringLiteral("line-%1.fb").arg(seed));
        FbGenerator::FileWriter generator(options);
        QVERIFY2(generator.write(file), qPrintable(generator.errorString()));

        Settings settings;
        settings.threads = 2;
        Analyzer analyzer(file, settings);
        Report loaded;
        QVERIFY2(analyzer.run(&loaded), qPrintable(analyzer.errorString()));
        QcSession session;
        session.load(file, std::move(loaded));
        session.setBatchFindings(batchFindings);

        std::mt19937_64 random(seed);
        const auto pick = [&random](int n) { return int(random() % quint64(n)); };
        const QVector<ShotIndexEntry> index = session.report().index();
        QSet<qint32> sources;
        for (int s = 0; s < index.size(); ++s)
            sources.insert(session.report().shots().source(s).stat);
        const auto atPartner = [&sources](const FbRecord &r) { return r.offset != 0 && sources.contains(r.g_stat); };
        QVector<PickEdits> history{PickEdits()};
        const QString copy = m_dir.filePath(QStringLiteral("corrected-%1.fb").arg(seed));
        for (int step = 0; step < 16; ++step) {
            PickEdits edits = session.edits();
            EditPlan plan(file, index, edits, EditPlan::Picks);
            const int shot = pick(index.size());
            const ShotIndexEntry &e = index.at(shot);
            const QVector<FbRecord> records = session.records(shot);
            const qint32 record = e.firstRecord + pick(records.size());
            QString action;
            bool planned = true;
            switch (pick(8)) {
            case 0:
                action = QStringLiteral("reject picks of shot %1").arg(shot);
                planned = plan.reject({record, record + 1, e.firstRecord + pick(records.size())}, QStringLiteral("r"));
                break;
            case 1: {
                // Picks the session rejected, back; the file's own rejects
                // stay, as a pair they end was never compared.
                QVector<qint32> rejected;
                for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
                    if (it->statusEdited && FbPicks::isAccepted(it->fileStatus))
                        rejected.append(it.key());
                }
                action = QStringLiteral("restore %1 picks").arg(rejected.size());
                planned = plan.restore(rejected.mid(pick(rejected.size() + 1) / 2), QStringLiteral("s"));
                break;
            }
            case 2: {
                // A pick where another shot stands, moved further than a
                // steady pick strays: its pair's time is read with the shot's
                // new curve. A pick the file has: a time where there was none
                // could make a pair the file never compared.
                int at = record - e.firstRecord;
                for (int k = 0; k < records.size() && !atPartner(records.at(at)); ++k)
                    at = (at + 1) % records.size();
                const FbRecord &r = records.at(at);
                if (!FbPicks::isLive(r))
                    continue;
                const float time = r.fb_time + float((14 + pick(11)) * (pick(2) ? 1 : -1));
                action = QStringLiteral("retime record %1 to %2").arg(e.firstRecord + at).arg(double(time));
                planned = plan.retime(e.firstRecord + at, std::max(time, 1.0f), QStringLiteral("t"));
                break;
            }
            case 3: {
                const double ms = double(pick(31) - 15) + 0.5;
                action = QStringLiteral("shift shot %1 by %2").arg(shot).arg(ms);
                planned = plan.shiftShot(shot, ms, QStringLiteral("h"));
                break;
            }
            case 4:
                action = QStringLiteral("fix timing errors");
                planned = plan.fixTiming(session.report());
                break;
            case 5:
                action = QStringLiteral("reject outliers");
                planned =
                    plan.rejectOutliers(session.report().findings(Kind::Outlier), session.report().settings.outlierMs);
                break;
            case 6: {
                const double outlierMs = CandidateFloorMs + pick(9), reciprocityMs = 2.0 + pick(6);
                action = QStringLiteral("thresholds %1 and %2 ms").arg(outlierMs).arg(reciprocityMs);
                QVERIFY(session.setThresholds(outlierMs, reciprocityMs));
                settings.outlierMs = outlierMs;
                settings.reciprocityMs = reciprocityMs;
                break;
            }
            default:
                action = QStringLiteral("undo to step %1").arg(history.size() / 2);
                edits = history.at(history.size() / 2);
                plan = EditPlan(file, index, edits, EditPlan::Picks);
                break;
            }
            QVERIFY2(planned, qPrintable(plan.errorString()));
            apply(plan.changes(), &edits);
            QString error;
            QVERIFY2(session.setEdits(edits, &error), qPrintable(error));
            history.append(edits);
            const Report fresh = freshPass(file, edits, settings, copy);
            QVERIFY2(fresh.shots().size() == index.size(), "the fresh pass failed");
            const QString d = FbTest::reportDifference(session.report(), fresh);
            QVERIFY2(d.isEmpty(), qPrintable(QStringLiteral("step %1, %2: %3").arg(step).arg(action, d)));
        }
    }
};

QTEST_GUILESS_MAIN(TestQcSession)
#include "tst_qcsession.moc"
