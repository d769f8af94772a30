#include "correctedcopy.h"
#include "editsession.h"
#include "fbpickqcwindow.h"
#include <fbview/gatherview.h>
#include <fbqc/onsetpicker.h>
#include <fbqc/repick.h>
#include <fbfile/shotrecords.h>
#include "tracerepicker.h"
#include "tracespanel.h"

#include <fbfile/fbgenerator.h>
#include "qcwindowfixture.h"
#include <fbtrace/tracegenerator.h>

#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

// Picks set again from the traces of the QC window, as a user does it: a
// click and a line drawn in pick mode, keys on the selected pick, and the
// suggestions for flagged picks, on generated traces whose true first
// breaks are known, with a run of picks planted one period late.
class TestRepick : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        startSettings();
        QVERIFY(SorvProjectManager::instance().openProject(m_dir.path()));
        m_line.shots = 4;
        m_line.channels = 24;
        m_traces.cycleSkips = {{SkipShot, SkipFirst, SkipLast}};
        // Noise-free traces: what is tested is where a gesture lands, not
        // how well the picker reads a noisy onset.
        m_traces.signalToNoise = 0;
        QVERIFY(TraceGenerator::validate(m_line, m_traces).isEmpty());
        m_truth = m_dir.filePath(QStringLiteral("truth.fb"));
        m_fb = m_dir.filePath(QStringLiteral("line.fb"));
        m_sgy = m_dir.filePath(QStringLiteral("line.sgy"));
        QVERIFY(FbGenerator::FileWriter(m_line).write(m_truth, nullptr));
        QVERIFY(FbGenerator::FileWriter(TraceGenerator::pickOptions(m_line, m_traces)).write(m_fb, nullptr));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(m_line, m_traces, m_sgy), qPrintable(writer.errorString()));
        // The same line at the generator's usual noise, for the rows that
        // ask where a gesture lands on a trace as a user sees it.
        TraceGenerator::Options noisy = m_traces;
        noisy.signalToNoise = TraceGenerator::Options().signalToNoise;
        m_noisySgy = m_dir.filePath(QStringLiteral("noisy.sgy"));
        QVERIFY2(writer.write(m_line, noisy, m_noisySgy), qPrintable(writer.errorString()));
    }

    // A click, or a line drawn across traces, sets their picks on the
    // onsets near where it was drawn, as one edit that undo takes back and
    // a corrected copy holds.
    void pickFromTraces_data()
    {
        QTest::addColumn<bool>("drag");
        QTest::addColumn<int>("firstChannel");
        QTest::addColumn<int>("lastChannel");
        QTest::addColumn<double>("drawnOffMs"); // drawn this far from the true first break
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<int>("snap"); // chosen in the Pick menu
        // Traces with noise: a snapped time must be the picker's own answer
        // on that trace, not the true first break (the picker may read it late).
        QTest::addColumn<bool>("noisy");
        const int onset = int(FbQc::SnapMode::Onset);
        QTest::newRow("click late on a clean trace") << false << 4 << 4 << 3.0 << SampleMs << onset << false;
        QTest::newRow("click early on a skipped trace")
            << false << SkipFirst + 1 << SkipFirst + 1 << -3.0 << SampleMs << onset << false;
        QTest::newRow("drag across the cycle skip")
            << true << SkipFirst - 1 << SkipLast + 1 << 2.0 << 1.0 << onset << false;
        QTest::newRow("click, snapping off: where clicked")
            << false << 4 << 4 << 3.0 << SampleMs << int(FbQc::SnapMode::None) << false;
        QTest::newRow("noisy: click late on a clean trace") << false << 4 << 4 << 3.0 << SampleMs << onset << true;
        QTest::newRow("noisy: drag across the cycle skip")
            << true << SkipFirst - 1 << SkipLast + 1 << 2.0 << SampleMs << onset << true;
    }
    void pickFromTraces()
    {
        QFETCH(bool, drag);
        QFETCH(int, firstChannel);
        QFETCH(int, lastChannel);
        QFETCH(double, drawnOffMs);
        QFETCH(double, toleranceMs);
        QFETCH(int, snap);
        QFETCH(bool, noisy);
        QScopedPointer<FbPickQcWindow> window(openWindow(SkipShot, noisy ? m_noisySgy : m_sgy));
        GatherView *view = window->findChild<GatherView *>(QStringLiteral("traceView"));
        EditSession *session = window->document()->session();
        const QVector<FbRecord> before = session->records(SkipShot);
        const QVector<FbRecord> truth = truthRecords(window.data());

        window->findChild<QToolButton *>(QStringLiteral("tracePickMode"))->click();
        QVERIFY(view->pickMode());
        for (QAction *mode : window->findChild<QActionGroup *>(QStringLiteral("traceSnap"))->actions())
            if (mode->data().toInt() == snap)
                mode->trigger();
        QCOMPARE(int(view->snap().mode), snap);
        const std::shared_ptr<const QcData> judgedBefore = window->document()->data();
        const int a = rowOf(before, firstChannel), b = rowOf(before, lastChannel);
        // Zoomed in on the arrivals, as one picks.
        view->setTimeWindow(truth.at(a).fb_time - 20, truth.at(b).fb_time + 20);
        // Unsnapped, a time lands where it was drawn, within a pixel.
        const bool snapped = snap != int(FbQc::SnapMode::None);
        const double aimedMs = snapped ? 0.0 : drawnOffMs;
        if (!snapped)
            toleranceMs = std::max(toleranceMs, std::abs(view->canvasMap(QwtPlot::yLeft).invTransform(1) -
                                                         view->canvasMap(QwtPlot::yLeft).invTransform(0)));
        const QPoint from = view->canvasPoint(view->traceOfRow(a), truth.at(a).fb_time + drawnOffMs);
        const QPoint to = view->canvasPoint(view->traceOfRow(b), truth.at(b).fb_time + drawnOffMs);
        QTest::mousePress(view->canvas(), Qt::LeftButton, Qt::NoModifier, from);
        if (drag)
            QTest::mouseMove(view->canvas(), to);
        QTest::mouseRelease(view->canvas(), Qt::LeftButton, Qt::NoModifier, drag ? to : from);

        QTRY_COMPARE(session->undoStack()->count(), 1);
        const QVector<FbRecord> after = session->records(SkipShot);
        for (int row = a; row <= b; ++row) {
            const double drawn = truth.at(row).fb_time + drawnOffMs;
            const double expected =
                noisy ? FbQc::snapDrawn(FbQc::traceOf(view->gather(), view->traceOfRow(row)), drawn, view->snap())
                      : truth.at(row).fb_time + aimedMs;
            QVERIFY2(std::abs(after.at(row).fb_time - expected) <= toleranceMs,
                     qPrintable(QStringLiteral("channel %1: %2 ms, expected %3 ms, true %4 ms")
                                    .arg(after.at(row).channel)
                                    .arg(double(after.at(row).fb_time))
                                    .arg(expected)
                                    .arg(double(truth.at(row).fb_time))));
        }
        // The verdicts judged again with the new picks.
        QTRY_VERIFY(window->document()->data() != judgedBefore);

        const qint32 first = window->document()->data()->report.index().at(SkipShot).firstRecord;
        const QString copyName = m_dir.filePath(QStringLiteral("copy.fb"));
        CorrectedCopy copy(m_fb, window->document()->data()->identity, session->edits());
        QVERIFY2(copy.write(copyName, QString()), qPrintable(copy.errorString()));
        const QVector<FbRecord> copied = readShotRecords(copyName, first, first + after.size() - 1);
        QCOMPARE(copied.size(), after.size());
        for (int row = a; row <= b; ++row)
            QCOMPARE(copied.at(row).fb_time, after.at(row).fb_time);

        session->undoStack()->undo();
        const QVector<FbRecord> undone = session->records(SkipShot);
        for (int row = 0; row < before.size(); ++row)
            QCOMPARE(undone.at(row).fb_time, before.at(row).fb_time);
    }

    // Keys on the selected pick, each an edit of its own.
    void keys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<double>("movedMs");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("Down: a sample later") << QList<int>{Qt::Key_Down} << SampleMs << false;
        QTest::newRow("Up twice: two samples earlier") << QList<int>{Qt::Key_Up, Qt::Key_Up} << -2 * SampleMs << false;
        QTest::newRow("Delete rejects") << QList<int>{Qt::Key_Delete} << 0.0 << true;
        QTest::newRow("Insert restores") << QList<int>{Qt::Key_Delete, Qt::Key_Insert} << 0.0 << false;
    }
    void keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(double, movedMs);
        QFETCH(bool, rejected);
        QScopedPointer<FbPickQcWindow> window(openWindow());
        GatherView *view = window->findChild<GatherView *>(QStringLiteral("traceView"));
        EditSession *session = window->document()->session();
        const QVector<FbRecord> before = session->records(SkipShot);
        const int row = rowOf(before, 6);
        QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier,
                          view->canvasPoint(view->traceOfRow(row), before.at(row).fb_time));
        QTRY_COMPARE(view->selectedRow(), row);
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClick(view->canvas(), Qt::Key(keys.at(i)));
            QTRY_COMPARE(session->undoStack()->count(), i + 1);
            QTRY_COMPARE(view->selectedRow(), row);
        }
        const FbRecord after = session->records(SkipShot).at(row);
        QCOMPARE(double(after.fb_time), double(before.at(row).fb_time) + movedMs);
        QCOMPARE(after.fb_status != before.at(row).fb_status, rejected);
    }

    // Re-picking the outliers proposes the true times for the skipped run
    // and nothing wrong elsewhere; accepting sets them as one edit.
    void suggestions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("shot");
        QTest::newRow("this shot") << "traceRepickShot" << SkipShot;
        QTest::newRow("a clean shot: none") << "traceRepickShot" << 0;
        QTest::newRow("the file") << "traceRepickFile" << SkipShot;
    }
    void suggestions()
    {
        QFETCH(QString, action);
        QFETCH(int, shot);
        QScopedPointer<FbPickQcWindow> window(openWindow(shot));
        GatherView *view = window->findChild<GatherView *>(QStringLiteral("traceView"));
        auto *repicker = window->findChild<TracesPanel *>()->repicker();
        EditSession *session = window->document()->session();
        const QVector<FbRecord> before = session->records(SkipShot);
        const QVector<FbRecord> truth = truthRecords(window.data());

        window->findChild<QAction *>(action)->trigger();
        QTRY_VERIFY(!repicker->isSuggesting());
        if (shot != SkipShot) {
            QCOMPARE(repicker->suggestionCount(), 0);
            QVERIFY(!window->findChild<QAction *>(QStringLiteral("traceAcceptSuggestions"))->isEnabled());
            return;
        }
        QSet<int> suggested;
        for (const FbQc::Suggestion &s : view->suggestions()) {
            suggested.insert(before.at(s.row).channel);
            QVERIFY2(std::abs(s.newMs - truth.at(s.row).fb_time) <= 1.0,
                     qPrintable(QStringLiteral("channel %1: %2 ms proposed, true %3 ms")
                                    .arg(before.at(s.row).channel)
                                    .arg(s.newMs)
                                    .arg(double(truth.at(s.row).fb_time))));
        }
        for (int channel = SkipFirst; channel <= SkipLast; ++channel)
            QVERIFY2(suggested.contains(channel), qPrintable(QStringLiteral("channel %1 not proposed").arg(channel)));

        window->findChild<QAction *>(QStringLiteral("traceAcceptSuggestions"))->trigger();
        QCOMPARE(session->undoStack()->count(), 1);
        QCOMPARE(repicker->suggestionCount(), 0);
        const QVector<FbRecord> after = session->records(SkipShot);
        for (int row = rowOf(before, SkipFirst); row <= rowOf(before, SkipLast); ++row)
            QVERIFY(std::abs(after.at(row).fb_time - truth.at(row).fb_time) <= 1.0);
        session->undoStack()->undo();
        QCOMPARE(session->records(SkipShot).at(rowOf(before, SkipFirst)).fb_time,
                 before.at(rowOf(before, SkipFirst)).fb_time);
    }

private:
    static constexpr int SkipShot = 1, SkipFirst = 10, SkipLast = 15;
    static constexpr double SampleMs = 0.5; // the generated traces' interval

    // The window on the line with traces open (data; the noise-free set unless said) and shot (the
    // skipped one unless said) shown.
    FbPickQcWindow *openWindow(int shot = SkipShot, const QString &data = QString())
    {
        FbPickQcWindow *window = openLarge(m_fb);
        TracesPanel *panel = window->findChild<TracesPanel *>();
        QSignalSpy traces(panel, &TracesPanel::shotShown);
        panel->openTraces(data.isEmpty() ? m_sgy : data);
        if (!traces.wait(30000 * FBTEST_TIME_FACTOR))
            qWarning("no traces shown");
        if (panel->shownShot() != shot) {
            traces.clear();
            window->goToShot(shot);
        }
        if (!QTest::qWaitFor([&] { return !traces.isEmpty() && traces.last().at(0).toInt() == shot; },
                             30000 * FBTEST_TIME_FACTOR))
            qWarning("the shot's traces not shown");
        if (window->isCompact())
            window->findChild<QTabWidget *>(QStringLiteral("panelTabs"))->setCurrentWidget(panel);
        GatherView *view = panel->view();
        view->waitUntilReady();
        if (!QTest::qWaitFor([view] { return view->isVisible(); }))
            qWarning("the traces not in sight");
        view->replot();
        return window;
    }

    QVector<FbRecord> truthRecords(FbPickQcWindow *window) const
    {
        const ShotIndexEntry e = window->document()->data()->report.index().at(SkipShot);
        return readShotRecords(m_truth, e.firstRecord, e.lastRecord);
    }

    static int rowOf(const QVector<FbRecord> &records, int channel)
    {
        for (int row = 0; row < records.size(); ++row)
            if (records.at(row).channel == channel)
                return row;
        return -1;
    }

    FbGenerator::Options m_line;
    TraceGenerator::Options m_traces;
    QString m_truth, m_fb, m_sgy, m_noisySgy;
};

QTEST_MAIN(TestRepick)
#include "tst_repick.moc"
