#include "editsession.h"
#include "qcdocument.h"

#include "fbtestfile.h"
#include "plantedsurvey.h"
#include "qcwindowfixture.h"

#include <QtTest>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

// The QC window's document without a window: the states a load, judging
// again, a failure and Cancel go through, what each ends in, and that the
// place (shot, selected pick) and the edits, judged anew, survive new
// thresholds, whether judged from what the pass kept or from the file.
class TestQcDocument : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { startSettings(surveyBytes()); }

    void statesOfALoad_data()
    {
        QTest::addColumn<QStringList>("steps");     // open, open missing, cancel, outlier N, back, edit
        QTest::addColumn<QString>("states");        // every state entered, in order
        QTest::addColumn<QString>("finished");      // each loadFinished: + ok, - not
        QTest::addColumn<double>("shownOutlierMs"); // of the verdicts shown; 0: none shown
        QTest::newRow("a file loads") << QStringList{"open"} << "Loading Loaded"
                                      << "+" << 8.0;
        QTest::newRow("a file that is gone") << QStringList{"open missing"} << "Loading Failed"
                                             << "-" << 0.0;
        QTest::newRow("first load cancelled") << QStringList{"open", "cancel"} << "Loading Empty"
                                              << "-" << 0.0;
        QTest::newRow("new thresholds from what the pass kept")
            << QStringList{"open", "outlier 20"} << "Loading Loaded JudgingAgain Loaded"
            << "++" << 20.0;
        QTest::newRow("below the floor: read again")
            << QStringList{"open", "outlier 1.5"} << "Loading Loaded Loading Loaded"
            << "++" << 1.5;
        QTest::newRow("back to the shown thresholds drops the judging")
            << QStringList{"open", "outlier 20", "back"} << "Loading Loaded JudgingAgain Loaded"
            << "+" << 8.0;
        QTest::newRow("judging again cancelled")
            << QStringList{"open", "outlier 20", "cancel"} << "Loading Loaded JudgingAgain Loaded"
            << "+-" << 8.0;
        QTest::newRow("a gone file after a loaded one keeps it shown")
            << QStringList{"open", "open missing"} << "Loading Loaded Loading Loaded"
            << "+-" << 8.0;
        QTest::newRow("edits survive new thresholds")
            << QStringList{"open", "edit", "outlier 20"} << "Loading Loaded JudgingAgain Loaded"
            << "++" << 20.0;
        QTest::newRow("edits survive reading the file again")
            << QStringList{"open", "edit", "outlier 1.5"} << "Loading Loaded Loading Loaded"
            << "++" << 1.5;
    }

    void statesOfALoad()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, states);
        QFETCH(QString, finished);
        QFETCH(double, shownOutlierMs);
        EditSession session;
        QcDocument document;
        document.setSession(&session);
        // What the window's editor does with a new file.
        connect(&document, &QcDocument::editsReset, &session, &EditSession::reset);
        document.setThresholds(8.0, 5.0);
        QStringList entered;
        QString ends;
        connect(&document, &QcDocument::stateChanged, this, [&entered](QcDocument::State state) {
            entered << QString::fromLatin1(QMetaEnum::fromType<QcDocument::State>().valueToKey(state));
        });
        connect(&document, &QcDocument::loadFinished, this, [&ends](bool ok) { ends += ok ? '+' : '-'; });
        qint32 edited = -1;
        for (const QString &step : qAsConst(steps)) {
            const int endsBefore = ends.size();
            const bool waits = step.startsWith(QLatin1String("open")) || step.startsWith(QLatin1String("outlier"));
            if (step == QLatin1String("open")) {
                document.open(m_survey);
            } else if (step == QLatin1String("open missing")) {
                document.open(m_dir.filePath(QStringLiteral("gone.fb")));
            } else if (step == QLatin1String("cancel")) {
                document.cancel();
            } else if (step.startsWith(QLatin1String("outlier"))) {
                document.setThresholds(step.section(QLatin1Char(' '), 1).toDouble(), 5.0);
            } else if (step == QLatin1String("back")) {
                document.setThresholds(8.0, 5.0);
            } else if (step == QLatin1String("edit")) {
                // A spike rejected, then its shot selected.
                QTRY_COMPARE(document.currentShot(), 0);
                edited = SpikeShotA * Channels + SpikeChannelA - 1;
                QCOMPARE(session.rejectPicks({edited}), 1);
                document.goTo(SpikeShotA);
                document.setShown(SpikeShotA);
                document.setSelectedRecord(edited);
            }
            // A step that loads runs to its end before the next, unless the
            // next takes it over.
            const int next = steps.indexOf(step) + 1;
            const bool takenOver =
                next < steps.size() && (steps.at(next) == QLatin1String("cancel") || steps.at(next) == "back");
            if (waits && !takenOver)
                QTRY_VERIFY_WITH_TIMEOUT(ends.size() > endsBefore, 20000);
        }
        // Taking a new file over ends a turn of the event loop later.
        QTest::qWait(50);
        QCOMPARE(entered.join(QLatin1Char(' ')), states);
        QCOMPARE(ends, finished);
        QCOMPARE(document.isLoading(), false);
        if (shownOutlierMs > 0) {
            QVERIFY(document.data());
            QCOMPARE(document.data()->report.settings.outlierMs, shownOutlierMs);
            QCOMPARE(document.settings().outlierMs, shownOutlierMs);
        } else {
            QVERIFY(!document.data());
        }
        if (edited >= 0) {
            // The edit is kept, one step of the history, and the place: the
            // same shot, the same pick.
            QVERIFY(session.editOf(edited));
            QCOMPARE(session.undoStack()->count(), 1);
            QCOMPARE(document.currentShot(), SpikeShotA);
            QCOMPARE(document.takeTarget().record, edited);
            // Judged with the edit: the rejected spike is no outlier, the other one is.
            QTRY_VERIFY_WITH_TIMEOUT(!session.isJudging(), 20000);
            const FbQc::FindingList &found = session.data()->report.findings(FbQc::Kind::Outlier);
            QVector<qint32> outliers;
            for (qint64 k = 0; k < found.size(); ++k)
                outliers << found.at(k).record;
            QVERIFY(!outliers.contains(edited));
            QVERIFY(outliers.contains(SpikeShotB * Channels + SpikeChannelB - 1));
        }
    }
};

QTEST_MAIN(TestQcDocument)
#include "tst_qcdocument.moc"
