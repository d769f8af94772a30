#include "correctedcopy.h"
#include "editsession.h"
#include "fbpickqcwindow.h"
#include <fbfile/fbpicks.h>
#include <fbview/gatherview.h>
#include <fbqc/onsetpicker.h>
#include <fbqc/repick.h>
#include <fbfile/shotrecords.h>
#include <fbtrace/tracedataset.h>
#include "tracefiller.h"
#include "tracerepicker.h"
#include "tracespanel.h"
#include "tracessource.h"

#include <fbfile/fbgenerator.h>
#include <fbfile/fblayout.h>
#include <fbtrace/tracegenerator.h>
#include "modaldriver.h"
#include "qcwindowfixture.h"
#include "qcwindowsteps.h"
#include <fbqc/waveformqc.h>

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

// The traces panel of the QC window, driven as a user would: File > Open
// Traces... through its dialog, the gather of the shot shown, the selection
// going both ways through the document, data sets that do not fit the
// picks named so, and picks set again from the traces: a click and a line
// drawn in pick mode, keys on the selected pick, and the suggestions for
// flagged picks, on traces whose true first breaks are known, with a run of
// picks planted one period late.
class TestQcTraces : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        startSettings();
        QVERIFY(SorvProjectManager::instance().openProject(m_dir.path()));
        m_line.shots = 4;
        m_line.channels = 12;
        m_fb = m_dir.filePath(QStringLiteral("line.fb"));
        QVERIFY(FbGenerator::FileWriter(m_line).write(m_fb, nullptr));
        m_skipLine.shots = 4;
        m_skipLine.channels = 24;
        m_skipTraces.cycleSkips = {{SkipShot, SkipFirst, SkipLast}};
        // Noise-free traces: what is tested is where a gesture lands, not
        // how well the picker reads a noisy onset.
        m_skipTraces.signalToNoise = 0;
        QVERIFY(TraceGenerator::validate(m_skipLine, m_skipTraces).isEmpty());
        m_truth = m_dir.filePath(QStringLiteral("truth.fb"));
        m_skipFb = m_dir.filePath(QStringLiteral("skipped-line.fb"));
        m_skipSgy = m_dir.filePath(QStringLiteral("skipped-line.sgy"));
        QVERIFY(FbGenerator::FileWriter(m_skipLine).write(m_truth, nullptr));
        QVERIFY(
            FbGenerator::FileWriter(TraceGenerator::pickOptions(m_skipLine, m_skipTraces)).write(m_skipFb, nullptr));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(m_skipLine, m_skipTraces, m_skipSgy), qPrintable(writer.errorString()));
        // The same line at the generator's usual noise, for the rows that
        // ask where a gesture lands on a trace as a user sees it.
        TraceGenerator::Options noisy = m_skipTraces;
        noisy.signalToNoise = TraceGenerator::Options().signalToNoise;
        m_noisySgy = m_dir.filePath(QStringLiteral("noisy.sgy"));
        QVERIFY2(writer.write(m_skipLine, noisy, m_noisySgy), qPrintable(writer.errorString()));
    }

    // File > Open Traces... with what the dialog can be told: the gather of
    // the shot asked for, or why there is none; keys not where the defaults
    // look matched once named in the dialog, not when left at the default;
    // and the next window of the project reads them the same way.
    void openTraces_data()
    {
        QTest::addColumn<QString>("traces"); // see tracesFile()
        QTest::addColumn<QString>("firstSample");
        QTest::addColumn<int>("ffidByte");
        QTest::addColumn<bool>("fileNumber");
        QTest::addColumn<bool>("byPosition");
        QTest::addColumn<int>("shot");
        QTest::addColumn<bool>("gatherShown");
        QTest::addColumn<QString>("said"); // in the panel (view or status), or the message line
        const QString all = QStringLiteral("Every pick of this shot has its trace.");
        const QString none = QStringLiteral("No pick of line.fb matches a trace of ");
        QTest::newRow("every pick has its trace") << "1001" << QString() << 9 << false << false << 1 << true << all;
        QTest::newRow("first sample set")
            << "1001"
            << "-20" << 9 << false << false << 0 << true << "The traces look shifted against the picks by +";
        QTest::newRow("shot among the traces") << "1003" << QString() << 9 << false << false << 3 << true << "24 of 48";
        QTest::newRow("shot without traces") << "1003" << QString() << 9 << false << false << 0 << false
                                             << "Shot ffid 1001 has no traces in the data set.";
        QTest::newRow("matches no pick") << "2001" << QString() << 9 << false << false << 0 << false
                                         << none + "2001.sgy";
        QTest::newRow("not traces") << "text" << QString() << 9 << false << false << 0 << false
                                    << "cannot be opened as traces";
        QTest::newRow("ffid at byte 17") << "ffid17" << QString() << 17 << false << false << 0 << true << all;
        QTest::newRow("ffid at byte 17, not named")
            << "ffid17" << QString() << 9 << false << false << 0 << false << none;
        QTest::newRow("SEG-2 ffid from the file name")
            << "renamed" << QString() << 9 << true << false << 0 << true << all;
        QTest::newRow("SEG-2 ffid from the shot number")
            << "renamed" << QString() << 9 << false << false << 0 << false << none;
        QTest::newRow("renumbered, by position") << "2001" << QString() << 9 << false << true << 0 << true << all;
    }
    void openTraces()
    {
        QFETCH(QString, traces);
        QFETCH(QString, firstSample);
        QFETCH(int, ffidByte);
        QFETCH(bool, fileNumber);
        QFETCH(bool, byPosition);
        QFETCH(int, shot);
        QFETCH(bool, gatherShown);
        QFETCH(QString, said);
        const QString path = tracesFile(traces);
        QVERIFY(!path.isEmpty());
        QScopedPointer<FbPickQcWindow> window(openWindow());
        TracesPanel *panel = window->findChild<TracesPanel *>();
        QVERIFY(panel);
        GatherView *view = window->findChild<GatherView *>(QStringLiteral("traceView"));
        QVERIFY(view);
        QVERIFY(panel->status().startsWith(QLatin1String("No traces are open")));

        QSignalSpy opened(panel, &TracesPanel::opened);
        QSignalSpy messages(panel, &TracesPanel::message);
        QSignalSpy shown(panel, &TracesPanel::shotShown);
        bool toleranceAsked = false;
        ModalDriver driver([&](QWidget *dialog) {
            if (dialog->objectName() != QLatin1String("TracesDialog"))
                return false;
            dialog->findChild<QLineEdit *>(QStringLiteral("tracesPath"))->setText(path);
            dialog->findChild<QLineEdit *>(QStringLiteral("tracesFirstSample"))->setText(firstSample);
            dialog->findChild<QSpinBox *>(QStringLiteral("tracesFfidByte"))->setValue(ffidByte);
            dialog->findChild<QComboBox *>(QStringLiteral("tracesSeg2Ffid"))->setCurrentIndex(fileNumber ? 1 : 0);
            dialog->findChild<QComboBox *>(QStringLiteral("tracesMatchBy"))->setCurrentIndex(byPosition ? 1 : 0);
            auto *tolerance = dialog->findChild<QDoubleSpinBox *>(QStringLiteral("tracesTolerance"));
            toleranceAsked = tolerance->isEnabled();
            tolerance->setValue(2.5);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            return true;
        });
        window->findChild<QAction *>(QStringLiteral("actionOpenTraces"))->trigger();
        // Asked for only when matching by position.
        QTRY_COMPARE(toleranceAsked, byPosition);
        const bool isTraces = traces != QLatin1String("text");
        if (!isTraces) {
            QTRY_VERIFY(!messages.isEmpty());
            QVERIFY(opened.isEmpty());
        } else {
            QTRY_COMPARE(opened.count(), 1);
            // The shot shown is read with the new traces; another is asked for.
            QTRY_VERIFY(!shown.isEmpty());
            shown.clear();
            if (shot != window->currentShot())
                window->goToShot(shot);
            else
                shown.append({shot});
            QTRY_VERIFY(!shown.isEmpty() && shown.last().at(0).toInt() == shot);
        }
        QTRY_VERIFY(!panel->isOpening() && !panel->isJudging());
        if (gatherShown) {
            view->waitUntilReady();
            QCOMPARE(view->message(), QString());
            // Matched by position, a gather goes by its traces' own ffid.
            const int ffid = (byPosition ? traces.toInt() : m_line.firstFfid) + shot;
            QVERIFY2(view->title().text().startsWith(QStringLiteral("Shot %1 > ffid %2:").arg(shot + 1).arg(ffid)),
                     qPrintable(view->title().text()));
        } else {
            QVERIFY(!view->message().isEmpty());
        }
        QStringList heard{view->message(), panel->status()};
        for (const QList<QVariant> &m : messages)
            heard << m.at(0).toString();
        const QString text = heard.join(QLatin1Char('\n'));
        QVERIFY2(text.contains(said), qPrintable(text));
        const QString none = QStringLiteral("No pick of line.fb matches");
        QVERIFY2(text.contains(none) == said.contains(none), qPrintable(text));
        // A shift is said only of traces whose first sample is off.
        QTRY_COMPARE(panel->status().contains(QLatin1String("shifted")), said.contains(QLatin1String("shifted")));
        if (!isTraces)
            return;
        // The generated records start at 0 ms; a time typed in the dialog replaces it.
        QCOMPARE(panel->firstSampleMs(), firstSample.isEmpty() ? 0.0 : firstSample.toDouble());
        // The project remembers the data set, its first sample and how it
        // is read for the next window.
        QScopedPointer<FbPickQcWindow> next(new FbPickQcWindow);
        next->setAttribute(Qt::WA_DeleteOnClose, false);
        TracesPanel *nextPanel = next->findChild<TracesPanel *>();
        QTRY_COMPARE(nextPanel->tracesPath(), path);
        QCOMPARE(SorvBaseUtil::projectValue(FbPickQcWindow::projectKey("tracesFirstSampleMs")).toString(), firstSample);
        const TracesSource kept = nextPanel->source();
        QCOMPARE(kept.ffidByte, ffidByte);
        QCOMPARE(kept.seg2Ffid == TracesSource::Seg2Ffid::FileNumber, fileNumber);
        QCOMPARE(kept.match.by == TraceMatchSettings::By::Position, byPosition);
        QCOMPARE(kept.match.toleranceM, 2.5);
    }

    // Traces nobody picked, filled from their onsets as one undoable step:
    // those of the shot shown, or of every shot; a pick already made, or of
    // another shot, is left as it is.
    void fillsUnpickedTraces_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("wholeFile");
        QTest::newRow("this shot") << "tracePickShot" << false;
        QTest::newRow("the file") << "tracePickFile" << true;
    }
    void fillsUnpickedTraces()
    {
        QFETCH(QString, action);
        QFETCH(bool, wholeFile);
        FbGenerator::Options line = m_line;
        line.unpicked = 0.25;
        const QString fb = m_dir.filePath(QStringLiteral("unpicked.fb"));
        QVERIFY(FbGenerator::FileWriter(line).write(fb, nullptr));
        const int shot = 1;
        QScopedPointer<FbPickQcWindow> window(openWithTraces(fb, tracesFile(QStringLiteral("1001")), shot));
        TracesPanel *panel = window->findChild<TracesPanel *>();
        QSignalSpy messages(panel, &TracesPanel::message);
        QTRY_VERIFY(!panel->isOpening());
        QCOMPARE(panel->shownShot(), shot);
        EditSession *session = window->document()->session();
        QUndoStack *undo = session->undoStack();
        const int steps = undo->count();

        auto *pick = panel->findChild<QAction *>(action);
        QVERIFY(pick);
        QTRY_VERIFY(pick->isEnabled());
        pick->trigger();
        QTRY_COMPARE(undo->count(), steps + 1);
        QVERIFY(!panel->filler()->isPicking());

        // Well within a period (25 ms): a pick off by a cycle fails.
        const float OnsetToleranceMs = 2.0f;
        int unpicked = 0, filled = 0;
        for (int s = 0; s < line.shots; ++s) {
            const QVector<FbRecord> file = FbGenerator::shotRecords(line, s);
            const QVector<FbRecord> truth = FbGenerator::shotRecords(m_line, s);
            const QVector<FbRecord> now = session->records(s);
            QCOMPARE(now.size(), file.size());
            for (int i = 0; i < now.size(); ++i) {
                if (!FbPicks::isUnpicked(file.at(i)) || (!wholeFile && s != shot)) {
                    QCOMPARE(now.at(i).fb_time, file.at(i).fb_time);
                    continue;
                }
                ++unpicked;
                if (FbPicks::isUnpicked(now.at(i)))
                    continue;
                ++filled;
                QVERIFY2(std::abs(now.at(i).fb_time - truth.at(i).fb_time) <= OnsetToleranceMs,
                         qPrintable(QStringLiteral("shot %1 channel %2: %3 ms, the onset at %4 ms")
                                        .arg(s)
                                        .arg(now.at(i).channel)
                                        .arg(now.at(i).fb_time)
                                        .arg(truth.at(i).fb_time)));
            }
        }
        // Clean generated traces: nearly every unpicked one has a confident onset.
        QVERIFY2(unpicked > 0 && filled >= 0.9 * unpicked,
                 qPrintable(QStringLiteral("%1 of %2 filled").arg(filled).arg(unpicked)));
        QVERIFY(messages.last().at(0).toString().contains(QLatin1String("picked")));
        // One step takes them all back.
        undo->undo();
        for (int s = 0; s < line.shots; ++s) {
            const QVector<FbRecord> file = FbGenerator::shotRecords(line, s);
            const QVector<FbRecord> now = session->records(s);
            for (int i = 0; i < now.size(); ++i)
                QCOMPARE(now.at(i).fb_time, file.at(i).fb_time);
        }
    }

    // With the traces open the window judges the picks against them: a
    // planted cycle skip and mispick are found as qc --seismic finds them
    // on the same files, and a skipped pick put right is no longer named
    // once the edit is judged. A file storing its times in seconds, opened
    // as such, gives the same findings.
    void waveformChecks_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::newRow("ms") << "ms";
        QTest::newRow("stored in seconds") << "s";
    }
    void waveformChecks()
    {
        QFETCH(QString, unit);
        FbGenerator::Options line = m_line;
        line.channels = 48;
        TraceGenerator::Options options;
        options.cycleSkips.append({1, 20, 26});
        options.mispicks.append({2, 30, 8.0});
        const QString fb = m_dir.filePath(QStringLiteral("skipped.fb"));
        const QString sgy = m_dir.filePath(QStringLiteral("skipped.sgy"));
        QVERIFY(FbGenerator::FileWriter(TraceGenerator::pickOptions(line, options)).write(fb, nullptr));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(line, options, sgy), qPrintable(writer.errorString()));
        QString opened = fb;
        if (unit == QLatin1String("s")) {
            opened = m_dir.filePath(QStringLiteral("skipped-s.fb"));
            QVERIFY(FbTest::writeInSeconds(fb, opened));
        }
        SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("timeUnit"), unit);
        QScopedPointer<FbPickQcWindow> window(openWindow(opened));
        SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("timeUnit"), QStringLiteral("ms"));
        TracesPanel *panel = window->findChild<TracesPanel *>();
        panel->openTraces(sgy);
        QcDocument *document = window->document();
        QTRY_VERIFY(document->data()->report.tracesJudged && !panel->isOpening() && !panel->isJudging());

        // What the command line's qc --seismic reports.
        FbQc::Report expected;
        // On the ms file: the seconds twin must give the same findings.
        FbQc::Settings inMs = document->data()->report.settings;
        inMs.units.secondsPerTime = 0.001;
        FbQc::Analyzer analyzer(fb, inMs);
        QVERIFY(analyzer.run(&expected));
        TraceDataSet data;
        QVERIFY(data.open(sgy));
        FbQc::WaveformJudge judge;
        QVERIFY(judge.run(&expected, FbQc::recordsFromFile(fb, expected.index()), data));
        const auto records = [](const FbQc::Report &report, FbQc::Kind kind) {
            QVector<qint32> r;
            for (qint64 k = 0; k < report.findings(kind).size(); ++k)
                r << report.findings(kind).at(k).record;
            return r;
        };
        for (FbQc::Kind kind : {FbQc::Kind::OffOnset, FbQc::Kind::CycleSkip, FbQc::Kind::WeakOnset})
            QCOMPARE(records(document->data()->report, kind), records(expected, kind));
        const QVector<qint32> skipped = records(document->data()->report, FbQc::Kind::CycleSkip);
        QVERIFY(!skipped.isEmpty());
        QVERIFY(!records(document->data()->report, FbQc::Kind::OffOnset).isEmpty());

        // The first skipped pick put back on its onset.
        const qint32 record = skipped.first();
        const int shot = document->data()->report.index().at(1).firstRecord <= record ? 1 : 0;
        const qint32 channelRow = record - document->data()->report.index().at(shot).firstRecord;
        const float truth = FbGenerator::shotRecords(line, shot).at(channelRow).fb_time;
        const std::shared_ptr<const QcData> before = document->data();
        QVERIFY(document->session()->setTime(record, truth));
        QTRY_VERIFY(document->data() != before && document->data()->report.tracesJudged && !panel->isJudging() &&
                    !document->session()->isJudging());
        for (FbQc::Kind kind : {FbQc::Kind::OffOnset, FbQc::Kind::CycleSkip})
            QVERIFY(!records(document->data()->report, kind).contains(record));
    }

    // A pick chosen in the table is selected in the traces and one clicked
    // in the traces in the table, through the document, in the shot plot's
    // reduced time; keys on it then edit it, each key an edit of its own.
    void selection_data()
    {
        QTest::addColumn<bool>("fromTraces"); // clicked in the traces, else chosen in the table
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("keys"); // then pressed on the traces
        QTest::addColumn<double>("movedMs");
        QTest::addColumn<bool>("rejected");
        QTest::newRow("table to traces") << false << 5 << QList<int>() << 0.0 << false;
        QTest::newRow("traces to table") << true << 7 << QList<int>() << 0.0 << false;
        QTest::newRow("traces to table, last pick") << true << 23 << QList<int>() << 0.0 << false;
        QTest::newRow("Down: a sample later") << true << 5 << QList<int>{Qt::Key_Down} << SampleMs << false;
        QTest::newRow("Up twice: two samples earlier")
            << true << 5 << QList<int>{Qt::Key_Up, Qt::Key_Up} << -2 * SampleMs << false;
        QTest::newRow("Delete rejects") << true << 5 << QList<int>{Qt::Key_Delete} << 0.0 << true;
        QTest::newRow("Insert restores") << true << 5 << QList<int>{Qt::Key_Delete, Qt::Key_Insert} << 0.0 << false;
    }
    void selection()
    {
        QFETCH(bool, fromTraces);
        QFETCH(int, row);
        QFETCH(QList<int>, keys);
        QFETCH(double, movedMs);
        QFETCH(bool, rejected);
        QScopedPointer<FbPickQcWindow> window(openWithTraces(m_skipFb, m_skipSgy, SkipShot));
        GatherView *view = window->findChild<TracesPanel *>()->view();
        auto *table = window->findChild<QTableView *>(QStringLiteral("shotTable"));
        QVERIFY(table);
        EditSession *session = window->document()->session();
        const QVector<FbRecord> before = session->records(SkipShot);
        if (fromTraces) {
            QVERIFY(view->isVisible());
            const QPointF pick = view->pickPoint(row);
            const QPoint at(qRound(view->canvasMap(QwtPlot::xBottom).transform(pick.x())),
                            qRound(view->canvasMap(QwtPlot::yLeft).transform(pick.y())));
            QTest::mouseClick(view->canvas(), Qt::LeftButton, Qt::NoModifier, at);
            QTRY_COMPARE(table->currentIndex().row(), row);
        } else {
            table->selectionModel()->setCurrentIndex(table->model()->index(row, 0),
                                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        QTRY_COMPARE(view->selectedRow(), row);
        // Reduced time is the shot plot's.
        setPlotView(window.data(), QString::number(1000 + row), false);
        QCOMPARE(view->reductionVelocity(), 1000.0 + row);
        const qint32 first = window->document()->data()->report.index().at(SkipShot).firstRecord;
        QCOMPARE(window->document()->selectedRecord(), qint32(first + row));
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClick(view->canvas(), Qt::Key(keys.at(i)));
            QTRY_COMPARE(session->undoStack()->count(), i + 1);
            QTRY_COMPARE(view->selectedRow(), row);
        }
        const FbRecord after = session->records(SkipShot).at(row);
        QCOMPARE(double(after.fb_time), double(before.at(row).fb_time) + movedMs);
        QCOMPARE(after.fb_status != before.at(row).fb_status, rejected);
    }

    // A click, or a line drawn across traces, sets their picks on the
    // onsets near where it was drawn; re-picking the outliers proposes the
    // true times for the skipped run and nothing wrong elsewhere, and
    // accepting sets them. Either is one edit that undo takes back and a
    // corrected copy holds.
    void picksDrawnOnTraces_data()
    {
        QTest::addColumn<QString>("gesture"); // click, drag, or the re-pick action whose suggestions are accepted
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("firstChannel"); // of those drawn across or proposed
        QTest::addColumn<int>("lastChannel");
        QTest::addColumn<double>("drawnOffMs"); // drawn this far from the true first break
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<int>("snap"); // chosen in the Pick menu
        // Traces with noise: a snapped time must be the picker's own answer
        // on that trace, not the true first break (the picker may read it late).
        QTest::addColumn<bool>("noisy");
        const int onset = int(FbQc::SnapMode::Onset);
        const int s = SkipShot;
        QTest::newRow("click late on a clean trace") << "click" << s << 4 << 4 << 3.0 << SampleMs << onset << false;
        QTest::newRow("click early on a skipped trace")
            << "click" << s << SkipFirst + 1 << SkipFirst + 1 << -3.0 << SampleMs << onset << false;
        QTest::newRow("drag across the cycle skip")
            << "drag" << s << SkipFirst - 1 << SkipLast + 1 << 2.0 << 1.0 << onset << false;
        QTest::newRow("click, snapping off: where clicked")
            << "click" << s << 4 << 4 << 3.0 << SampleMs << int(FbQc::SnapMode::None) << false;
        QTest::newRow("noisy: click late on a clean trace")
            << "click" << s << 4 << 4 << 3.0 << SampleMs << onset << true;
        QTest::newRow("noisy: drag across the cycle skip")
            << "drag" << s << SkipFirst - 1 << SkipLast + 1 << 2.0 << SampleMs << onset << true;
        QTest::newRow("re-picked, this shot")
            << "traceRepickShot" << s << SkipFirst << SkipLast << 0.0 << 1.0 << onset << false;
        QTest::newRow("re-picked, a clean shot: none")
            << "traceRepickShot" << 0 << SkipFirst << SkipLast << 0.0 << 1.0 << onset << false;
        QTest::newRow("re-picked, the file")
            << "traceRepickFile" << s << SkipFirst << SkipLast << 0.0 << 1.0 << onset << false;
    }
    void picksDrawnOnTraces()
    {
        QFETCH(QString, gesture);
        QFETCH(int, shot);
        QFETCH(int, firstChannel);
        QFETCH(int, lastChannel);
        QFETCH(double, drawnOffMs);
        QFETCH(double, toleranceMs);
        QFETCH(int, snap);
        QFETCH(bool, noisy);
        QScopedPointer<FbPickQcWindow> window(openWithTraces(m_skipFb, noisy ? m_noisySgy : m_skipSgy, shot));
        GatherView *view = window->findChild<GatherView *>(QStringLiteral("traceView"));
        EditSession *session = window->document()->session();
        const QVector<FbRecord> before = session->records(SkipShot);
        const QVector<FbRecord> truth = truthRecords(window.data());
        const std::shared_ptr<const QcData> judgedBefore = window->document()->data();
        const int a = rowOf(before, firstChannel), b = rowOf(before, lastChannel);
        const bool snapped = snap != int(FbQc::SnapMode::None);
        const double aimedMs = snapped ? 0.0 : drawnOffMs;
        if (gesture.startsWith(QLatin1String("traceRepick"))) {
            auto *repicker = window->findChild<TracesPanel *>()->repicker();
            auto *accept = window->findChild<QAction *>(QStringLiteral("traceAcceptSuggestions"));
            window->findChild<QAction *>(gesture)->trigger();
            QTRY_VERIFY(!repicker->isSuggesting());
            if (shot != SkipShot) {
                QCOMPARE(repicker->suggestionCount(), 0);
                QVERIFY(!accept->isEnabled());
                return;
            }
            QSet<int> suggested;
            for (const FbQc::Suggestion &s : view->suggestions()) {
                suggested.insert(before.at(s.row).channel);
                QVERIFY2(std::abs(s.newMs - truth.at(s.row).fb_time) <= toleranceMs,
                         qPrintable(QStringLiteral("channel %1: %2 ms proposed, true %3 ms")
                                        .arg(before.at(s.row).channel)
                                        .arg(s.newMs)
                                        .arg(double(truth.at(s.row).fb_time))));
            }
            for (int channel = firstChannel; channel <= lastChannel; ++channel)
                QVERIFY2(suggested.contains(channel),
                         qPrintable(QStringLiteral("channel %1 not proposed").arg(channel)));
            accept->trigger();
            QCOMPARE(repicker->suggestionCount(), 0);
        } else {
            window->findChild<QToolButton *>(QStringLiteral("tracePickMode"))->click();
            QVERIFY(view->pickMode());
            for (QAction *mode : window->findChild<QActionGroup *>(QStringLiteral("traceSnap"))->actions())
                if (mode->data().toInt() == snap)
                    mode->trigger();
            QCOMPARE(int(view->snap().mode), snap);
            // Zoomed in on the arrivals, as one picks.
            view->setTimeWindow(truth.at(a).fb_time - 20, truth.at(b).fb_time + 20);
            // Unsnapped, a time lands where it was drawn, within a pixel.
            if (!snapped)
                toleranceMs = std::max(toleranceMs, std::abs(view->canvasMap(QwtPlot::yLeft).invTransform(1) -
                                                             view->canvasMap(QwtPlot::yLeft).invTransform(0)));
            const bool drag = gesture == QLatin1String("drag");
            const QPoint from = view->canvasPoint(view->traceOfRow(a), truth.at(a).fb_time + drawnOffMs);
            const QPoint to = view->canvasPoint(view->traceOfRow(b), truth.at(b).fb_time + drawnOffMs);
            QTest::mousePress(view->canvas(), Qt::LeftButton, Qt::NoModifier, from);
            if (drag)
                QTest::mouseMove(view->canvas(), to);
            QTest::mouseRelease(view->canvas(), Qt::LeftButton, Qt::NoModifier, drag ? to : from);
        }
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
        CorrectedCopy copy(m_skipFb, window->document()->data()->identity, session->edits());
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

private:
    FbPickQcWindow *openWindow(const QString &fb = QString()) { return openLarge(fb.isEmpty() ? m_fb : fb); }

    static constexpr int SkipShot = 1, SkipFirst = 10, SkipLast = 15;
    static constexpr double SampleMs = 0.5; // the generated traces' interval

    // A window on fb with the traces data open and the gather of shot
    // shown and in sight, as a user clicks them: a tab of their own on a
    // small screen.
    FbPickQcWindow *openWithTraces(const QString &fb, const QString &data, int shot)
    {
        FbPickQcWindow *window = openLarge(fb);
        TracesPanel *panel = window->findChild<TracesPanel *>();
        QSignalSpy traces(panel, &TracesPanel::shotShown);
        panel->openTraces(data);
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

    // Traces of the line: "1001" and the like a SEG-Y file whose field
    // records are numbered from that ffid; "text" a file that is neither
    // SEG-Y nor SEG-2; "ffid17" a SEG-Y file with each ffid moved from byte
    // 9 to byte 17; "renamed" a folder of SEG-2 files whose shot numbers run
    // from 2001 but whose names give the line's ffids.
    QString tracesFile(const QString &kind)
    {
        const int ffid = kind.toInt();
        const bool renamed = kind == QLatin1String("renamed");
        const QString name = m_dir.filePath(renamed ? kind : kind + QLatin1String(".sgy"));
        if (QFileInfo::exists(name))
            return name;
        if (kind == QLatin1String("text")) {
            return FbTest::writeFile(name, QByteArray(4000, 'x')) ? name : QString();
        }
        FbGenerator::Options line = m_line;
        TraceGenerator::Options options;
        if (ffid > 0 || renamed)
            line.firstFfid = renamed ? 2001 : ffid;
        if (renamed)
            options.format = TraceGenerator::Format::Seg2;
        TraceGenerator::Writer writer;
        if (!writer.write(line, options, name)) {
            qWarning("%s", qPrintable(writer.errorString()));
            return QString();
        }
        if (kind == QLatin1String("renamed")) {
            QDir dir(name);
            for (int shot = 0; shot < line.shots; ++shot)
                dir.rename(QStringLiteral("%1.sg2").arg(2001 + shot),
                           QStringLiteral("shot%1.sg2").arg(m_line.firstFfid + shot));
        } else if (kind == QLatin1String("ffid17")) {
            QByteArray bytes = FbTest::contents(name);
            const int traces = line.shots * line.channels;
            const int traceBytes = (bytes.size() - 3600) / traces;
            for (int t = 0; t < traces; ++t) {
                char *header = bytes.data() + 3600 + t * traceBytes;
                memcpy(header + 16, header + 8, 4);
                memset(header + 8, 0, 4);
            }
            if (!FbTest::writeFile(name, bytes))
                return QString();
        }
        return name;
    }

    FbGenerator::Options m_line, m_skipLine;
    TraceGenerator::Options m_skipTraces;
    QString m_fb, m_skipFb, m_truth, m_skipSgy, m_noisySgy;
};

QTEST_MAIN(TestQcTraces)
#include "tst_qctraces.moc"
