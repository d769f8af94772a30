// Editing picks in the QC window: each action, its undo and redo, the
// verdicts that follow, the corrected copy and its log, export and import,
// the question before edits are lost, and the document's states under a
// load. The opened file never changes.

#include "correctedcopy.h"
#include "editsession.h"
#include "shottabledelegate.h"
#include <fbfile/editlog.h>
#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include "fbpickqcwindow.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "pickeditor.h"
#include "plantedsurvey.h"
#include "problemmodel.h"
#include "qcdocument.h"
#include "qcwindowfixture.h"
#include "qcwindowsteps.h"
#include <fbfile/sgtconverter.h>
#include <fbfile/sgtfile.h>
#include <fbview/shotplot.h>
#include "shottablemodel.h"
#include <fbview/statuscolors.h>

#include <QtTest>
#include <QtWidgets>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// Every row of a problem list as its cells read (a shot's, then each
// finding's under it), sorted: two lists are the same when the window lists
// the same problems with the same values.
QStringList problemRows(QAbstractItemModel *model, const QModelIndex &parent = QModelIndex())
{
    while (model->canFetchMore(parent))
        model->fetchMore(parent);
    QStringList rows;
    for (int r = 0; r < model->rowCount(parent); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(parent); ++c)
            cells << model->index(r, c, parent).data().toString();
        rows << cells.join(QLatin1Char('|'));
        for (const QString &row : problemRows(model, model->index(r, 0, parent)))
            rows << cells.first() + QLatin1String(" > ") + row;
    }
    rows.sort();
    return rows;
}

// A planted outlier's record.
qint32 spikeRecord(int shot, int channel)
{
    return shot * Channels + channel - 1;
}

} // namespace

class TestQcEditing : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_surveyBytes = surveyBytes();
        startSettings(m_surveyBytes);
        m_surveyTime = QFileInfo(m_survey).lastModified();
    }

    // Whatever a test did, the opened file is as it was written.
    void cleanup()
    {
        if (m_window)
            m_window->findChild<PickEditor *>()->session()->undoStack()->setClean();
        delete m_window;
        QSettings().clear();
        QCOMPARE(FbTest::contents(m_survey), m_surveyBytes);
        QCOMPARE(QFileInfo(m_survey).lastModified(), m_surveyTime);
    }

    // Each action changes the cell at once and the verdicts once the shot is
    // judged again; undo gives the file's cell and verdicts back exactly,
    // redo the edit's again. One action is one step, however many picks.
    // Typed text that is not a time changes nothing, nor does No to a
    // question.
    void editsUndoAndRedo_data()
    {
        QTest::addColumn<int>("shot");
        QTest::addColumn<QVector<int>>("rows"); // selected
        QTest::addColumn<QString>("how");       // a key, an action's name, or "type:TEXT"
        QTest::addColumn<int>("rejectStatus");  // the setting; 0 for the default
        QTest::addColumn<int>("status");        // of the first row after the edit
        QTest::addColumn<float>("time");        // of the first row after the edit; NaN: as in the file
        QTest::addColumn<QStringList>("gone");  // problems the edit fixes
        QTest::addColumn<QString>("step");      // as the history names it; empty: refused
        QTest::addColumn<QString>("asked");     // the start of the question first; empty: none
        QTest::addColumn<QString>("first");     // an action taken on shot A before, answered Yes
        const float asFile = qQNaN();
        // "pick 21 (ffid 1003, channel 5)": one pick as the history names it.
        const auto pick = [](int shot, int row) {
            const FbRecord r = plantedSurvey().at(shot * Channels + row);
            return QStringLiteral("pick %1 (ffid %2, channel %3)")
                .arg(shot * Channels + row + 1)
                .arg(r.ffid)
                .arg(r.channel);
        };
        const int spikeA = SpikeChannelA - 1;
        const QString outlierA = problem(FbQc::Kind::Outlier, SpikeShotA, spikeRecord(SpikeShotA, SpikeChannelA));
        QTest::newRow("Delete rejects") << SpikeShotA << QVector<int>{spikeA} << "Delete" << 0 << 2 << asFile
                                        << QStringList{outlierA} << "Reject " + pick(SpikeShotA, spikeA) << QString()
                                        << QString();
        QTest::newRow("R rejects with the chosen status")
            << SpikeShotA << QVector<int>{spikeA} << "R" << 7 << 7 << asFile << QStringList{outlierA}
            << "Reject " + pick(SpikeShotA, spikeA) << QString() << QString();
        // The spike's time as the curve gives it: 30 ms early of the planted one.
        const float fitted = plantedSurvey().at(spikeRecord(SpikeShotA, SpikeChannelA)).fb_time - 30.0f;
        QTest::newRow("a typed time") << SpikeShotA << QVector<int>{spikeA}
                                      << QStringLiteral("type:") + ShotTableModel::editText(fitted) << 0 << 0 << fitted
                                      << QStringList{outlierA}
                                      << QStringLiteral("fb_time of record %1 (ffid %2, channel %3): %4 ms")
                                             .arg(spikeRecord(SpikeShotA, SpikeChannelA) + 1)
                                             .arg(plantedSurvey().at(spikeRecord(SpikeShotA, SpikeChannelA)).ffid)
                                             .arg(SpikeChannelA)
                                             .arg(double(fitted))
                                      << QString() << QString();
        // Row 1 of a shot is status 2 in the file.
        QTest::newRow("Insert restores what the file rejected")
            << 5 << QVector<int>{1} << "Insert" << 0 << 1 << asFile << QStringList() << "Restore " + pick(5, 1)
            << QString() << QString();
        // Three receivers around a partner's source: the pair has no time
        // there any more, so it is no longer compared.
        const int partner = shiftedPartners().first();
        const int atPartner = rowAtSource(ShiftedShot, partner);
        QTest::newRow("a selection that ends a pair")
            << ShiftedShot << QVector<int>{atPartner - 1, atPartner, atPartner + 1} << "rejectPicksAction" << 0 << 2
            << asFile << QStringList{problem(FbQc::Kind::Reciprocity, ShiftedShot)} << "Reject 3 picks" << QString()
            << QString();
        // Refused with a message, and nothing changes.
        QTest::newRow("text that is no time") << 0 << QVector<int>{3} << "type:abc" << 0 << 0 << asFile << QStringList()
                                              << QString() << QString() << QString();
        // Rejecting outliers says how many first, and does nothing on No;
        // undone and done again, the step is whole.
        const QString outlierB = problem(FbQc::Kind::Outlier, SpikeShotB, spikeRecord(SpikeShotB, SpikeChannelB));
        const QString inFile = QStringLiteral("Outliers of the file: 2, in 2 shots.");
        QTest::newRow("outliers of this shot")
            << SpikeShotA << QVector<int>{spikeA} << "rejectOutliersAction" << 0 << 2 << asFile << QStringList{outlierA}
            << QStringLiteral("Reject 1 outlier of shot %1").arg(SpikeShotA + 1)
            << QStringLiteral("Outliers of shot %1 (ffid %2): 1.").arg(SpikeShotA + 1).arg(5001 + SpikeShotA)
            << QString();
        QTest::newRow("outliers of the file")
            << SpikeShotA << QVector<int>{spikeA} << "rejectFileOutliersAction" << 0 << 2 << asFile
            << QStringList{outlierA, outlierB} << "Reject 2 outliers of the file" << inFile << QString();
        QTest::newRow("outliers of the file, answered No")
            << SpikeShotA << QVector<int>{spikeA} << "rejectFileOutliersAction" << 0 << 0 << asFile << QStringList()
            << QString() << inFile << QString();
        const int spikeB = SpikeChannelB - 1;
        QTest::newRow("one outlier left in the file")
            << SpikeShotB << QVector<int>{spikeB} << "rejectFileOutliersAction" << 0 << 2 << asFile
            << QStringList{outlierB} << "Reject 1 outlier of the file"
            << "Outliers of the file: 1, in 1 shot."
            << "rejectOutliersAction";
    }

    void editsUndoAndRedo()
    {
        QFETCH(int, shot);
        QFETCH(QVector<int>, rows);
        QFETCH(QString, how);
        QFETCH(int, rejectStatus);
        QFETCH(int, status);
        QFETCH(float, time);
        QFETCH(QStringList, gone);
        QFETCH(QString, step);
        QFETCH(QString, asked);
        QFETCH(QString, first);
        if (rejectStatus)
            QSettings().setValue(QStringLiteral("FbPickQc/rejectStatus"), rejectStatus);
        openSurvey();
        if (!first.isEmpty()) {
            showShot(SpikeShotA);
            ModalDriver yes([](QWidget *modal) { return answer(modal, QMessageBox::Yes); });
            action(qPrintable(first))->trigger();
            waitJudged();
        }
        showShot(shot);
        auto *table = child<QTableView>(m_window, "shotTable");
        const QAbstractItemModel *model = table->model();
        const QModelIndex cell = model->index(rows.first(), FbColumns::FbTime);
        const FbRecord file = plantedSurvey().at(shot * Channels + rows.first());
        const QStringList before = problemRows(problemModel());
        const QStringList keysBefore = problemKeys(problemModel());
        const QString beforeTitle = plot()->title().text();

        const int steps = undoStack()->count();
        QString question;
        ModalDriver driver([&](QWidget *modal) {
            if (modal->objectName() != QLatin1String("confirmRejectOutliersBox"))
                return false;
            question = qobject_cast<QMessageBox *>(modal)->text();
            return answer(modal, step.isEmpty() ? QMessageBox::No : QMessageBox::Yes);
        });
        select(rows);
        edit(how);
        // The file's outliers are gathered on a worker before the question.
        QTRY_COMPARE(question.isEmpty(), asked.isEmpty());
        QVERIFY2(question.startsWith(asked), qPrintable(question));
        QVERIFY2(asked.isEmpty() || question.section(QLatin1Char('\n'), -1).startsWith(QLatin1String("Reject them?")),
                 qPrintable(question));
        if (step.isEmpty()) {
            QCOMPARE(undoStack()->count(), steps);
            const QLabel *message = child<QLabel>(m_window, "messageLabel");
            if (how.startsWith(QLatin1String("type:")))
                QVERIFY2(message->isVisible() && message->text().contains(QStringLiteral("'abc' is not a time")),
                         qPrintable(message->text()));
            waitJudged();
            QCOMPARE(problemRows(problemModel()), before);
            return;
        }
        QCOMPARE(undoStack()->count(), steps + 1);
        QCOMPARE(undoStack()->text(steps), step);
        const auto checkEdited = [&] {
            QVERIFY2(cell.data(ShotTableModel::EditedRole).toBool(), "the cell is not marked");
            QCOMPARE(cell.data(Qt::EditRole).toString(), ShotTableModel::editText(qIsNaN(time) ? file.fb_time : time));
            QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(),
                     StatusColors::background(FbColumns::pickClass(status)));
            QVERIFY2(cell.data(Qt::ToolTipRole)
                         .toString()
                         .contains(qIsNaN(time)
                                       ? QStringLiteral("fb_status %1").arg(file.fb_status)
                                       : QStringLiteral("fb_time %1").arg(ShotTableModel::editText(file.fb_time))),
                     qPrintable(cell.data(Qt::ToolTipRole).toString()));
            waitJudged();
            QStringList expected = keysBefore;
            for (const QString &g : gone)
                expected.removeOne(g);
            QCOMPARE(problemKeys(problemModel()), expected);
        };
        checkEdited();
        // The mark is drawn in the cell's corner.
        table->scrollTo(cell);
        const QRect rect = table->visualRect(cell);
        QCOMPARE(table->viewport()->grab().toImage().pixelColor(rect.topLeft() + QPoint(1, 1)),
                 ShotTableDelegate::editedMarkColor());
        // A fixed outlier is no longer ringed.
        if (gone.value(0).startsWith(ProblemModel::kindName(FbQc::Kind::Outlier) + QLatin1Char('|')))
            QVERIFY2(plot()->title().text().contains(QStringLiteral("outliers: 0")),
                     qPrintable(plot()->title().text()));

        // A question's box took the window's keys; the user clicks back in.
        QApplication::setActiveWindow(m_window);
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!cell.data(ShotTableModel::EditedRole).toBool());
        QCOMPARE(cell.data(Qt::EditRole).toString(), ShotTableModel::editText(file.fb_time));
        QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(),
                 StatusColors::background(FbColumns::pickClass(file.fb_status)));
        waitJudged();
        QCOMPARE(problemRows(problemModel()), before);
        QCOMPARE(plot()->title().text(), beforeTitle);

        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        checkEdited();
    }

    // The shift is offered as the shot's estimated timing error, negated;
    // applied, the shot is no longer late and its pairs agree. A file whose
    // times are stored in seconds is shown, shifted and typed into in ms.
    void shiftingTheLateShot_data()
    {
        QTest::addColumn<double>("ms"); // NaN: the offered shift
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<double>("secondsPerTime");
        QTest::newRow("by the offered time") << qQNaN() << true << 0.001;
        QTest::newRow("by half of it: still late") << -6.0 << false << 0.001;
        QTest::newRow("stored in seconds, by the offered time") << qQNaN() << true << 1.0;
        QTest::newRow("stored in seconds, by half of it: still late") << -6.0 << false << 1.0;
    }

    void shiftingTheLateShot()
    {
        QFETCH(double, ms);
        QFETCH(bool, fixed);
        QFETCH(double, secondsPerTime);
        const bool inSeconds = secondsPerTime != 0.001;
        if (inSeconds) {
            const QVector<FbRecord> survey = plantedSurvey();
            const QString name = m_dir.filePath(QStringLiteral("seconds.fb"));
            QVERIFY(FbTest::writeFile(name, FbTest::inSeconds(FbTest::fileBytes(survey, FbTest::headerFor(survey)))));
            SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("timeUnit"), QStringLiteral("s"));
            openSurvey(name);
            SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("timeUnit"), QStringLiteral("ms"));
        } else {
            openSurvey();
        }
        showShot(ShiftedShot);
        double offered = qQNaN();
        ModalDriver driver([&](QWidget *modal) {
            auto *spin = modal->findChild<QDoubleSpinBox *>(QStringLiteral("shiftMsSpin"));
            if (modal->objectName() != QLatin1String("shiftShotDialog") || !spin)
                return false;
            offered = spin->value();
            if (!qIsNaN(ms))
                spin->setValue(ms);
            qobject_cast<QDialog *>(modal)->accept();
            return true;
        });
        action("shiftShotAction")->trigger();
        QVERIFY2(qAbs(offered + 12.0) < 0.5, qPrintable(QString::number(offered)));
        waitJudged();
        const QStringList keys = problemKeys(problemModel());
        const QString late = problem(FbQc::Kind::TimingError, ShiftedShot);
        QCOMPARE(keys.contains(late), !fixed);
        QCOMPARE(keys.count(problem(FbQc::Kind::Reciprocity, ShiftedShot)), fixed ? 0 : shiftedPartners().size());
        const double shifted = qIsNaN(ms) ? offered : ms;
        const FbRecord first = plantedSurvey().at(ShiftedShot * Channels);
        const double now = double(first.fb_time) + shifted;
        const double cell = table()->model()->index(0, FbColumns::FbTime).data(Qt::EditRole).toDouble();
        QVERIFY2(qAbs(cell - now) < 1e-3, qPrintable(QString::number(cell)));
        // Its tool tip gives the file's time and the new one in ms too.
        const QString tip = table()->model()->index(0, FbColumns::FbTime).data(Qt::ToolTipRole).toString();
        const QRegularExpressionMatch said =
            QRegularExpression(QStringLiteral("fb_time (\\S+) \\(now (\\S+)\\)")).match(tip);
        QVERIFY2(said.hasMatch() && qAbs(said.captured(1).toDouble() - double(first.fb_time)) < 1e-3 &&
                     qAbs(said.captured(2).toDouble() - now) < 1e-3,
                 qPrintable(tip));
        // Stored in the file's own unit.
        const PickEdits edits = editor()->session()->edits();
        const qint32 record = ShiftedShot * Channels;
        QVERIFY2(qAbs(double(edits.value(record).time) * secondsPerTime * 1000.0 - now) < 1e-3,
                 qPrintable(QString::number(double(edits.value(record).time))));
        QCOMPARE(undoStack()->count(), 1);
        // A time typed in, in ms.
        QVERIFY(table()->model()->setData(table()->model()->index(1, FbColumns::FbTime), QStringLiteral("50.5")));
        QCOMPARE(undoStack()->count(), 2);
        const double typed = double(editor()->session()->edits().value(record + 1).time) * secondsPerTime * 1000.0;
        QVERIFY2(qAbs(typed - 50.5) < 1e-4, qPrintable(QString::number(typed)));
    }

    // A step planned over edits that changed meanwhile is refused: pushed,
    // its undo would take those changes back too.
    void plannedOverOtherEditsIsRefused()
    {
        openSurvey();
        showShot(SpikeShotA);
        EditSession *session = m_window->findChild<PickEditor *>()->session();
        const auto plan = session->planFileOutliers();
        QVERIFY(plan);
        select({SpikeChannelA - 1});
        edit(QStringLiteral("rejectPicksAction"));
        QSignalSpy failed(session, &EditSession::failed);
        QCOMPARE(session->pushPlanned(plan(Progress())), qint64(0));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(undoStack()->count(), 1);
        QVERIFY(session->pushPlanned(session->planFileOutliers()(Progress())) > 0);
    }

    // The corrected copy differs from the file only in the edited words, its
    // log names each of them, the session is clean after it, and the copy
    // opened shows no problem of those fixed: the verdicts the window gave
    // the edits (made without waiting for them), judged from the copy
    // afresh, in one batch or a shot at a time.
    void savesACorrectedCopy_data()
    {
        QTest::addColumn<qint64>("batchFindings");
        QTest::newRow("in one batch") << EditSession::DefaultBatchFindings;
        QTest::newRow("a shot at a time") << qint64(1);
    }

    void savesACorrectedCopy()
    {
        QFETCH(qint64, batchFindings);
        openSurvey();
        editor()->session()->setBatchFindings(batchFindings);
        showShot(SpikeShotA);
        select({SpikeChannelA - 1});
        edit(QStringLiteral("rejectPicksAction"));
        showShot(SpikeShotB);
        const qint32 typed = spikeRecord(SpikeShotB, SpikeChannelB);
        select({SpikeChannelB - 1});
        edit(QStringLiteral("type:%1").arg(double(plantedSurvey().at(typed).fb_time) + 25.0));
        showShot(ShiftedShot);
        {
            ModalDriver driver([](QWidget *modal) {
                if (modal->objectName() != QLatin1String("shiftShotDialog"))
                    return false;
                qobject_cast<QDialog *>(modal)->accept();
                return true;
            });
            action("shiftShotAction")->trigger();
        }
        // A shot whose finding stays, judged again before the last shot is;
        // the last edit made while the one before is being judged.
        for (int shot : {VaryingShot, Shots - 1}) {
            showShot(shot);
            select({2});
            edit(QStringLiteral("rejectPicksAction"));
        }
        waitJudged();
        const QStringList judged = problemRows(problemModel());
        const QString summary =
            child<QLabel>(m_window, "summaryLabel")->text().mid(QFileInfo(m_survey).fileName().size());

        const QString copy = m_dir.filePath(QStringLiteral("fixed-%1.fb").arg(QTest::currentDataTag()));
        QSignalSpy loaded(m_window, &FbPickQcWindow::loadFinished);
        bool cleanWhenAsked = false;
        // The title marks the edits that no copy holds, until one does.
        QVERIFY(m_window->isWindowModified() && m_window->windowTitle().endsWith(QLatin1String("[*]")));
        ModalDriver driver([&](QWidget *modal) {
            if (modal->objectName() == QLatin1String("openCopyBox")) {
                cleanWhenAsked = undoStack()->isClean() && !m_window->isWindowModified();
                return answer(modal, QMessageBox::Yes);
            }
            return chooseFile(modal, copy);
        });
        action("saveCorrectedCopyAction")->trigger();
        QVERIFY2(loaded.wait(20000), qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
        QVERIFY2(cleanWhenAsked, "the saved edits still count as unsaved");

        // Only the edited words differ: the statuses, the typed time and the
        // shifted shot's times.
        const QByteArray fixed = FbTest::contents(copy);
        QCOMPARE(fixed.size(), m_surveyBytes.size());
        QSet<qint64> words;
        for (int i = 0; i < fixed.size(); ++i) {
            if (fixed.at(i) != m_surveyBytes.at(i))
                words.insert(FbLayout::HeaderSize + (i - FbLayout::HeaderSize) / 4 * 4);
        }
        const auto wordOf = [](qint32 record, const char *field) {
            return FbLayout::recordPosition(record) + FbLayout::fieldNamed(field)->offset;
        };
        QSet<qint64> edited{wordOf(spikeRecord(SpikeShotA, SpikeChannelA), "fb_status"), wordOf(typed, "fb_time"),
                            wordOf(VaryingShot * Channels + 2, "fb_status"),
                            wordOf((Shots - 1) * Channels + 2, "fb_status")};
        for (int c = 0; c < Channels; ++c)
            edited.insert(wordOf(ShiftedShot * Channels + c, "fb_time"));
        QCOMPARE(words, edited);
        EditLog log;
        QVERIFY2(log.read(copy + QStringLiteral(".edits.csv")), qPrintable(log.errorString()));
        QCOMPARE(log.rows().size(), edited.size());
        for (const EditLogRow &row : log.rows())
            QVERIFY(edited.contains(FbLayout::recordPosition(row.record) + row.field->offset));

        QCOMPARE(m_window->data()->fileName, copy);
        QCOMPARE(problemKeys(problemModel()),
                 QStringList{problem(FbQc::Kind::VaryingSource, VaryingShot, VaryingShot * Channels)});
        QCOMPARE(problemRows(problemModel()), judged);
        QCOMPARE(child<QLabel>(m_window, "summaryLabel")->text().mid(QFileInfo(copy).fileName().size()), summary);
    }

    // A corrected copy and its log, byte for byte, as they have always been
    // written: a file of several copy blocks, edits on both sides of each
    // block boundary, on the first and last record, both words of a pick,
    // and reasons the log must quote.
    void correctedCopyBytes_data()
    {
        QTest::addColumn<int>("step"); // every step-th record edited
        QTest::addColumn<QByteArray>("copyMd5");
        QTest::addColumn<QByteArray>("logMd5");
        QTest::newRow("every 7th pick") << 7 << QByteArray("811ecc60ee5b4064b2e3ee602235b8e1")
                                        << QByteArray("9d8a629113f57a1e58c57371f6684a04");
        QTest::newRow("every 12483rd pick, at the block seams")
            << int(FbLayout::BlockRecords) << QByteArray("c22c335df00cd3f2cb6fc453a2248e60")
            << QByteArray("ff4e3b36734f5ff58145ca63cea17452");
    }

    void correctedCopyBytes()
    {
        QFETCH(int, step);
        QFETCH(QByteArray, copyMd5);
        QFETCH(QByteArray, logMd5);
        FbGenerator::Options options;
        options.shots = 130;
        options.channels = 240;
        options.seed = 11;
        const QString source = m_dir.filePath(QStringLiteral("blocks.fb"));
        FbGenerator::FileWriter generator(options);
        QVERIFY2(generator.write(source), qPrintable(generator.errorString()));
        const qint32 records = qint32(FbLayout::recordCount(QFileInfo(source).size()));
        const QByteArray bytes = FbTest::contents(source);
        PickEdits edits;
        const auto add = [&](qint32 record, int kind) {
            PickEdit e;
            const FbRecord r = FbLayout::decodeRecord(bytes.constData() + FbLayout::recordPosition(record));
            e.fileTime = r.fb_time;
            e.fileStatus = r.fb_status;
            e.timeEdited = kind != 1;
            e.time = r.fb_time + float(record % 13) * 0.25f + 0.5f;
            e.timeReason = QStringLiteral("moved, by \"hand\" %1").arg(record);
            e.statusEdited = kind != 0;
            e.status = -1 - record % 3;
            e.statusReason = record % 2 ? QString() : QStringLiteral("bad pick");
            edits.insert(record, e);
        };
        for (qint32 record = 0; record < records; record += step) {
            for (qint32 r = qMax(0, record - 1); r <= qMin(records - 1, record + 1); ++r)
                add(r, r % 3);
        }
        add(records - 1, 2);
        const QString copy = m_dir.filePath(QStringLiteral("blocks-fixed.fb"));
        CorrectedCopy corrected(source, FbFileIdentity::of(source), edits);
        QVERIFY2(corrected.write(copy, copy + QStringLiteral(".edits.csv")), qPrintable(corrected.errorString()));
        const auto md5 = [](const QString &name) {
            return QCryptographicHash::hash(FbTest::contents(name), QCryptographicHash::Md5).toHex();
        };
        QCOMPARE(md5(copy), copyMd5);
        QCOMPARE(md5(copy + QStringLiteral(".edits.csv")), logMd5);
    }

    // Export writes the picks as edited: a rejected pick leaves the .sgt
    // and shows its new status in the CSV table; import makes an FB file of
    // an .sgt and opens it.
    void exportsAsEditedAndImports_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("sgt") << "sgt";
        QTest::newRow("csv") << "csv";
    }

    void exportsAsEditedAndImports()
    {
        QFETCH(QString, suffix);
        openSurvey();
        showShot(SpikeShotA);
        select({SpikeChannelA - 1});
        edit(QStringLiteral("rejectPicksAction"));
        const QString name = m_dir.filePath(QStringLiteral("picks.") + suffix);
        const QString plain = m_dir.filePath(QStringLiteral("plain.") + suffix);
        {
            ModalDriver driver([&](QWidget *modal) { return chooseFile(modal, name); });
            action("exportPicksAction")->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(!editor()->isWorking(), 20000);
        }
        CorrectedCopy unedited(m_survey, FbFileIdentity(), PickEdits());
        QVERIFY(unedited.exportPicks(plain, suffix == QLatin1String("csv") ? CorrectedCopy::Csv : CorrectedCopy::Sgt));
        if (suffix == QLatin1String("csv")) {
            // One line differs: the rejected pick's, in its status.
            const QList<QByteArray> lines = FbTest::contents(name).split('\n'),
                                    plainLines = FbTest::contents(plain).split('\n');
            QCOMPARE(lines.size(), plainLines.size());
            QStringList differing;
            for (int k = 0; k < lines.size(); ++k) {
                if (lines.at(k) != plainLines.at(k))
                    differing << QString::fromLatin1(lines.at(k));
            }
            QCOMPARE(differing.size(), 1);
            QVERIFY2(differing.first().startsWith(QString::number(spikeRecord(SpikeShotA, SpikeChannelA) + 1) +
                                                  QLatin1Char(',')),
                     qPrintable(differing.first()));
            return;
        }
        SgtFile edited, unchanged;
        QVERIFY(edited.read(name) && unchanged.read(plain));
        QCOMPARE(edited.data().size(), unchanged.data().size() - 1);

        const QString imported = m_dir.filePath(QStringLiteral("imported.fb"));
        QSignalSpy loaded(m_window, &FbPickQcWindow::loadFinished);
        ModalDriver driver([&](QWidget *modal) {
            if (modal->objectName() == QLatin1String("unsavedEditsBox"))
                return answer(modal, QMessageBox::Discard);
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            return dialog && chooseFile(modal, dialog->acceptMode() == QFileDialog::AcceptOpen ? name : imported);
        });
        action("importPicksAction")->trigger();
        QVERIFY(loaded.wait(20000));
        QVERIFY(loaded.last().at(0).toBool());
        QCOMPARE(m_window->data()->fileName, imported);
        QCOMPARE(qint64(m_window->data()->report.recordCount), qint64(edited.data().size()));
    }

    // Closing with edits that no copy holds asks, however the window is
    // closed; Cancel keeps it and the edits, Discard closes, Save closes
    // once the copy is saved.
    void closingWithUnsavedEditsAsks_data()
    {
        QTest::addColumn<QString>("how"); // Escape, close, closeAll (as the host closing)
        QTest::addColumn<int>("edits");   // 0, 1, or -1: one made and undone
        QTest::addColumn<int>("button");  // the answer; 0 when nothing must be asked
        QTest::addColumn<bool>("closes");
        QTest::newRow("Escape, Cancel") << "Escape" << 1 << int(QMessageBox::Cancel) << false;
        QTest::newRow("close, Discard") << "close" << 1 << int(QMessageBox::Discard) << true;
        QTest::newRow("the host closes all, Cancel") << "closeAll" << 1 << int(QMessageBox::Cancel) << false;
        QTest::newRow("Escape, Save") << "Escape" << 1 << int(QMessageBox::Save) << true;
        QTest::newRow("no edit: not asked") << "Escape" << 0 << 0 << true;
        QTest::newRow("an edit undone: not asked") << "close" << -1 << 0 << true;
    }

    void closingWithUnsavedEditsAsks()
    {
        QFETCH(QString, how);
        QFETCH(int, edits);
        QFETCH(int, button);
        QFETCH(bool, closes);
        openSurvey();
        showShot(SpikeShotA);
        if (edits != 0) {
            select({SpikeChannelA - 1});
            edit(QStringLiteral("rejectPicksAction"));
        }
        if (edits < 0)
            undoStack()->undo();
        const QString copy = m_dir.filePath(QStringLiteral("closing-%1.fb").arg(QTest::currentDataTag()));
        QStringList asked;
        ModalDriver driver([&](QWidget *modal) {
            asked << modal->objectName();
            if (modal->objectName() == QLatin1String("unsavedEditsBox"))
                return answer(modal, QMessageBox::StandardButton(button));
            return chooseFile(modal, copy);
        });
        if (how == QLatin1String("Escape"))
            QTest::keyClick(m_window, Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            m_window->close();
        else
            QApplication::closeAllWindows();
        QCOMPARE(asked.contains(QStringLiteral("unsavedEditsBox")), button != 0);
        if (closes) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_window, 20000);
        } else {
            QTest::qWait(100);
            QVERIFY(m_window && m_window->isVisible());
            QCOMPARE(undoStack()->count(), 1);
        }
        QCOMPARE(QFileInfo::exists(copy), button == QMessageBox::Save);
    }

    // The document without a window: the states a load, judging again, a
    // failure and Cancel go through, what each ends in, and that the place
    // (shot, selected pick) and the edits, judged anew, survive new
    // thresholds, whether judged from what the pass kept or from the file.
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

private:
    PickEditor *editor() const { return m_window->findChild<PickEditor *>(); }
    QUndoStack *undoStack() const { return editor()->session()->undoStack(); }
    QTableView *table() const { return child<QTableView>(m_window, "shotTable"); }
    ShotPlot *plot() const { return child<ShotPlot>(m_window, "shotPlot"); }
    ProblemModel *problemModel() const
    {
        return qobject_cast<ProblemModel *>(child<QTreeView>(m_window, "problemView")->model());
    }
    QAction *action(const char *name) const { return child<QAction>(m_window, name); }

    void select(const QVector<int> &rows)
    {
        QTableView *view = table();
        view->setFocus();
        view->clearSelection();
        for (int row : rows)
            view->selectionModel()->select(view->model()->index(row, FbColumns::FbTime),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view->selectionModel()->setCurrentIndex(view->model()->index(rows.first(), FbColumns::FbTime),
                                                QItemSelectionModel::NoUpdate);
    }

    // A key on the table, an action by name, or "type:TEXT" typed into the
    // current fb_time cell and entered.
    void edit(const QString &how)
    {
        QTableView *view = table();
        if (how.startsWith(QLatin1String("type:"))) {
            const QString text = how.mid(5);
            QTest::keyClicks(view, text.left(1));
            QPointer<QWidget> editor = QApplication::focusWidget();
            QVERIFY2(editor && editor != view, "typing opened no editor");
            QTest::keyClicks(editor, text.mid(1));
            QTest::keyClick(editor, Qt::Key_Return);
            // The text is committed in the next turn of the event loop.
            QTRY_VERIFY(!editor);
        } else if (how.endsWith(QLatin1String("Action"))) {
            action(qPrintable(how))->trigger();
        } else {
            const int key = QKeySequence(how)[0];
            QTest::keyClick(view, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        }
    }

    void waitJudged() { QTRY_VERIFY_WITH_TIMEOUT(!editor()->session()->isJudging(), 20000); }

    QByteArray m_surveyBytes;
    QDateTime m_surveyTime;
};

QTEST_MAIN(TestQcEditing)
#include "tst_qcediting.moc"
