#include "pickeditor.h"

#include "correctedcopy.h"
#include "fbpickqcwindow.h"
#include "shiftshotdialog.h"
#include "shottablemodel.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QUndoView>
#include <QVBoxLayout>

#include <limits>
#include <set>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

const QString rejectStatusKey = QStringLiteral("FbPickQc/rejectStatus");
const QString logSuffix = QStringLiteral(".edits.csv");

QAction *namedAction(QObject *parent, const char *objectName, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

} // namespace

PickEditor::PickEditor(FbPickQcWindow *window, QTableView *table, ShotTableModel *model)
    : QObject(window), m_window(window), m_table(table), m_model(model),
      m_task(LatestJob::Concurrent, nullptr, LatestJob::Wait)
{
    const QVariant status = QSettings().value(rejectStatusKey);
    if (status.isValid())
        m_session.setRejectStatus(status.toInt());
    buildActions();
    buildTaskRow();

    m_model->setEditable(true);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &PickEditor::showContextMenu);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &PickEditor::updateActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PickEditor::updateActions);
    connect(m_model, &ShotTableModel::timeEntered, this,
            [this](qint32 record, float ms) { m_session.setTime(record, ms); });
    connect(m_model, &ShotTableModel::timeRefused, this, [this](const QString &text) {
        emit message(tr("'%1' is not a time in ms; fb_time is unchanged.").arg(text), true);
    });

    connect(&m_session, &EditSession::judgingChanged, this, &PickEditor::updateActions);
    connect(&m_session, &EditSession::picksChanged, this, &PickEditor::updateActions);
    connect(&m_session, &EditSession::failed, this, [this](const QString &text) { emit message(text, true); });
    connect(&m_session, &EditSession::judgeFailed, this, [this](const QString &text) { emit message(text, true); });
    connect(&m_task, &LatestJob::progressChanged, m_taskProgress, &QProgressBar::setValue);
    updateActions();
}

PickEditor::~PickEditor() = default;

void PickEditor::buildActions()
{
    m_reject = namedAction(m_window, "rejectPicksAction", tr("Re&ject Picks"));
    m_reject->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_R)});
    m_reject->setToolTip(tr("Reject the selected picks: their status becomes the reject status (Delete, R)"));
    m_restore = namedAction(m_window, "restorePicksAction", tr("Re&store Picks"));
    m_restore->setShortcuts({QKeySequence(Qt::Key_Insert), QKeySequence(Qt::SHIFT + Qt::Key_R)});
    m_restore->setToolTip(tr("Put the selected rejected picks back in use (Insert, Shift+R)"));
    m_shift = namedAction(m_window, "shiftShotAction", tr("Shi&ft Shot..."));
    m_shift->setToolTip(tr("Shift every pick of the current shot by a time, such as its estimated timing error"));
    m_rejectOutliers = namedAction(m_window, "rejectOutliersAction", tr("Reject &Outliers of This Shot..."));
    m_rejectFileOutliers = namedAction(m_window, "rejectFileOutliersAction", tr("Reject Outliers of the Fi&le..."));
    m_undo = m_session.undoStack()->createUndoAction(m_window, tr("&Undo"));
    m_undo->setObjectName(QStringLiteral("undoAction"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Z));
    m_redo = m_session.undoStack()->createRedoAction(m_window, tr("&Redo"));
    m_redo->setObjectName(QStringLiteral("redoAction"));
    m_redo->setShortcut(QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z));
    m_historyAction = namedAction(m_window, "editHistoryAction", tr("Edit &History..."));
    m_rejectStatus = namedAction(m_window, "rejectStatusAction", tr("Reject S&tatus..."));
    m_save = namedAction(m_window, "saveCorrectedCopyAction", tr("Save Corrected Copy &As..."));
    m_save->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_S));
    m_export = namedAction(m_window, "exportPicksAction", tr("Export Pic&ks..."));
    m_import = namedAction(m_window, "importPicksAction", tr("&Import Picks..."));
    // The keys work wherever the focus is in the window, as its other keys do.
    m_window->addActions({m_reject, m_restore, m_undo, m_redo, m_save});

    connect(m_reject, &QAction::triggered, this, &PickEditor::rejectSelected);
    connect(m_restore, &QAction::triggered, this, &PickEditor::restoreSelected);
    connect(m_shift, &QAction::triggered, this, &PickEditor::shiftShot);
    connect(m_rejectOutliers, &QAction::triggered, this, &PickEditor::rejectShotOutliers);
    connect(m_rejectFileOutliers, &QAction::triggered, this, &PickEditor::rejectFileOutliers);
    connect(m_historyAction, &QAction::triggered, this, &PickEditor::showHistory);
    connect(m_rejectStatus, &QAction::triggered, this, &PickEditor::chooseRejectStatus);
    connect(m_save, &QAction::triggered, this, [this] { saveCorrectedCopy(); });
    connect(m_export, &QAction::triggered, this, &PickEditor::exportPicks);
    connect(m_import, &QAction::triggered, this, &PickEditor::importPicks);
}

void PickEditor::buildTaskRow()
{
    m_taskRow = new QWidget;
    m_taskLabel = new QLabel;
    m_taskLabel->setObjectName(QStringLiteral("taskLabel"));
    m_taskProgress = new QProgressBar;
    m_taskProgress->setObjectName(QStringLiteral("taskProgress"));
    m_taskCancel = new QPushButton(tr("Cancel"));
    m_taskCancel->setObjectName(QStringLiteral("taskCancelButton"));
    auto *row = new QHBoxLayout(m_taskRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_taskLabel);
    row->addWidget(m_taskProgress, 1);
    row->addWidget(m_taskCancel);
    connect(m_taskCancel, &QPushButton::clicked, this, &PickEditor::cancelWork);
}

void PickEditor::addFileActions(QMenu *file, QAction *before)
{
    file->insertAction(before, m_save);
    file->insertSeparator(before);
    file->insertAction(before, m_export);
    file->insertAction(before, m_import);
    file->insertSeparator(before);
}

QMenu *PickEditor::createEditMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("&Edit"), parent);
    menu->setObjectName(QStringLiteral("editMenu"));
    menu->addAction(m_undo);
    menu->addAction(m_redo);
    menu->addAction(m_historyAction);
    menu->addSeparator();
    menu->addAction(m_reject);
    menu->addAction(m_restore);
    menu->addAction(m_shift);
    menu->addSeparator();
    menu->addAction(m_rejectOutliers);
    menu->addAction(m_rejectFileOutliers);
    menu->addSeparator();
    menu->addAction(m_rejectStatus);
    return menu;
}

void PickEditor::setData(std::shared_ptr<const QcData> data)
{
    if (m_history)
        m_history->hide();
    m_session.reset(std::move(data));
    updateActions();
}

QString PickEditor::fileName() const
{
    const std::shared_ptr<const QcData> data = m_session.data();
    return data ? data->fileName : QString();
}

bool PickEditor::hasUnsavedEdits() const
{
    // Edits all undone leave the file as it is: nothing to lose.
    return m_session.isModified() && !m_session.edits().isEmpty();
}

void PickEditor::updateActions()
{
    const bool shot = m_session.data() && m_window->currentShot() >= 0;
    const bool selected = shot && m_table->selectionModel()->hasSelection();
    m_reject->setEnabled(selected);
    m_restore->setEnabled(selected);
    m_shift->setEnabled(shot);
    m_rejectOutliers->setEnabled(shot);
    // The file's outliers are counted from the verdicts, which must be those
    // of every edit made.
    m_rejectFileOutliers->setEnabled(shot && !m_session.isJudging() && !m_task.isRunning());
    m_save->setEnabled(shot && !m_session.edits().isEmpty() && !m_task.isRunning());
    m_export->setEnabled(shot && !m_task.isRunning());
    m_import->setEnabled(!m_task.isRunning());
}

QVector<qint32> PickEditor::selectedRecords() const
{
    std::set<int> rows;
    const QModelIndexList selected = m_table->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : selected)
        rows.insert(index.row());
    QVector<qint32> records;
    for (int row : rows)
        records.append(m_model->firstRecord() + row);
    return records;
}

void PickEditor::rejectSelected()
{
    const QVector<qint32> records = selectedRecords();
    if (!records.isEmpty() && m_session.rejectPicks(records) == 0)
        emit message(tr("The selected picks are rejected already."), false);
}

void PickEditor::restoreSelected()
{
    const QVector<qint32> records = selectedRecords();
    if (!records.isEmpty() && m_session.restorePicks(records) == 0)
        emit message(tr("The selected picks are in use already."), false);
}

void PickEditor::shiftShot()
{
    const std::shared_ptr<const QcData> data = m_session.data();
    const int shot = m_window->currentShot();
    if (!data || shot < 0)
        return;
    ShiftShotDialog dialog(shot, data->report.index().at(shot).ffid, data->report.timingOf(shot), m_window);
    if (dialog.exec() == QDialog::Accepted && dialog.ms() != 0.0 && m_session.shiftShot(shot, dialog.ms()) == 0)
        emit message(tr("Shot %1 has no pick to shift.").arg(shot + 1), false);
}

void PickEditor::rejectShotOutliers()
{
    const std::shared_ptr<const QcData> data = m_session.data();
    const int shot = m_window->currentShot();
    if (!data || shot < 0)
        return;
    // The shot's verdicts as the table shows them: its picks as they stand.
    QVector<FbQc::Finding> outliers;
    const FbQc::ShotFit &fit = m_model->fit();
    for (int row = 0; row < fit.picks.size(); ++row) {
        if (fit.picks.at(row).outlier) {
            FbQc::Finding f;
            f.record = m_model->firstRecord() + row;
            f.value = fit.picks.at(row).residual;
            outliers.append(f);
        }
    }
    if (outliers.isEmpty()) {
        emit message(tr("Shot %1 has no outlier.").arg(shot + 1), false);
        return;
    }
    const QString text = tr("Outliers of shot %1 (ffid %2): %n.", "", outliers.size())
                             .arg(shot + 1)
                             .arg(data->report.index().at(shot).ffid) +
                         QLatin1Char('\n') + tr("Reject them? Their status becomes %1.").arg(m_session.rejectStatus());
    if (ask(QStringLiteral("confirmRejectOutliersBox"), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
        QMessageBox::Yes)
        m_session.rejectOutliers(outliers, shot);
}

void PickEditor::rejectFileOutliers()
{
    if (m_session.isJudging() || m_task.isRunning())
        return;
    auto plan = m_session.planFileOutliers();
    if (!plan)
        return;
    // Millions of outliers take seconds to gather and plan: on a worker,
    // with Cancel; the question comes once it is known what would change.
    startWork(tr("Gathering the outliers of the file"), true, [this, plan](const Progress &progress) {
        auto planned = std::make_shared<EditSession::Planned>(plan(progress));
        return Done([this, planned] {
            if (planned->error.isEmpty() && planned->picks == 0) {
                emit message(tr("The file has no outlier."), false);
                return;
            }
            const QString text = tr("Outliers of the file: %n, in %1.", "", int(planned->picks))
                                     .arg(tr("%Ln shot(s)", "", int(planned->shotsOfFindings))) +
                                 QLatin1Char('\n') +
                                 tr("Reject them? Their status becomes %1.").arg(m_session.rejectStatus());
            if (!planned->error.isEmpty() ||
                ask(QStringLiteral("confirmRejectOutliersBox"), text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::Yes) == QMessageBox::Yes)
                m_session.pushPlanned(std::move(*planned));
        });
    });
}

void PickEditor::showHistory()
{
    if (!m_history) {
        m_history = new QDialog(m_window);
        m_history->setObjectName(QStringLiteral("editHistoryDialog"));
        m_history->setWindowTitle(tr("Edit History"));
        auto *view = new QUndoView(m_session.undoStack());
        view->setObjectName(QStringLiteral("editHistoryView"));
        view->setEmptyLabel(tr("<the file as opened>"));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, m_history, &QDialog::hide);
        auto *layout = new QVBoxLayout(m_history);
        layout->addWidget(new QLabel(tr("Click a step to go back or forward to it.")));
        layout->addWidget(view);
        layout->addWidget(buttons);
        m_history->resize(420, 320);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void PickEditor::chooseRejectStatus()
{
    QInputDialog dialog(m_window);
    dialog.setObjectName(QStringLiteral("rejectStatusDialog"));
    dialog.setWindowTitle(tr("Reject Status"));
    dialog.setLabelText(tr("The fb_status that rejecting a pick sets: any value but 0 and 1."));
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    dialog.setIntValue(m_session.rejectStatus());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_session.setRejectStatus(dialog.intValue())) {
        emit message(tr("%1 is a status of picks in use; the reject status stays %2.")
                         .arg(dialog.intValue())
                         .arg(m_session.rejectStatus()),
                     true);
        return;
    }
    QSettings().setValue(rejectStatusKey, m_session.rejectStatus());
}

void PickEditor::showContextMenu(const QPoint &pos)
{
    if (!m_session.data())
        return;
    QMenu menu(m_table);
    menu.addAction(m_reject);
    menu.addAction(m_restore);
    menu.addSeparator();
    menu.addAction(m_shift);
    menu.addAction(m_rejectOutliers);
    menu.exec(m_table->viewport()->mapToGlobal(pos));
}

// The question goes on a line of its own after the facts, so that the box
// never wraps a lone word or number of it onto a line of its own.
int PickEditor::ask(const QString &objectName, const QString &text, int buttons, int defaultButton)
{
    QMessageBox box(QMessageBox::Question, m_window->windowTitle(), text, QMessageBox::StandardButtons(buttons),
                    m_window);
    box.setObjectName(objectName);
    box.setDefaultButton(QMessageBox::StandardButton(defaultButton));
    return box.exec();
}

bool PickEditor::mayDiscardEdits(const std::function<void()> &then)
{
    if (m_saving) {
        // The copy being saved holds the edits: go ahead once it is.
        m_afterSave = then;
        return false;
    }
    if (hasUnsavedEdits()) {
        const int n = m_session.edits().size();
        const QString text =
            tr("Edited picks of %1 that no saved copy holds: %n.", "", n).arg(QFileInfo(fileName()).fileName()) +
            QLatin1Char('\n') + tr("Save a corrected copy first?");
        const int answer = ask(QStringLiteral("unsavedEditsBox"), text,
                               QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Save)
            saveCorrectedCopy(then);
        if (answer != QMessageBox::Discard)
            return false;
    }
    if (m_task.isRunning())
        cancelWork();
    return true;
}

void PickEditor::saveCorrectedCopy(const std::function<void()> &then)
{
    const QString source = fileName();
    if (source.isEmpty() || m_session.edits().isEmpty() || m_task.isRunning())
        return;
    const QFileInfo info(source);
    const QString suggested = info.dir().filePath(info.completeBaseName() + QStringLiteral("-corrected.") +
                                                  (info.suffix().isEmpty() ? QStringLiteral("fb") : info.suffix()));
    const QString target = QFileDialog::getSaveFileName(m_window, tr("Save Corrected Copy As"), suggested,
                                                        tr("FB files (*.fb *.cal *.fit)"));
    if (target.isEmpty())
        return;
    const PickEdits edits = m_session.edits();
    const FbFileIdentity judged = m_session.data() ? m_session.data()->identity : FbFileIdentity();
    const QString logName = target + logSuffix;
    m_saving = true;
    m_afterSave = then;
    startWork(tr("Saving the corrected copy %1").arg(QFileInfo(target).fileName()), true,
              [this, source, judged, edits, target, logName](const Progress &progress) {
                  CorrectedCopy copy(source, judged, edits);
                  const bool ok = copy.write(target, logName, progress);
                  const QString error = copy.errorString();
                  const int changed = copy.changedWords();
                  return Done([this, ok, error, changed, edits, target, logName] {
                      const std::function<void()> then = std::move(m_afterSave);
                      m_afterSave = nullptr;
                      m_saving = false;
                      if (!ok) {
                          emit message(tr("Cannot save the corrected copy: %1").arg(error), true);
                          return;
                      }
                      // Edits made while it was written are not in it.
                      if (m_session.edits() == edits)
                          m_session.markSaved();
                      emit message(
                          tr("Saved the corrected copy %1 (words changed: %n) and its edit log %2.", "", changed)
                              .arg(target, logName),
                          false);
                      if (then)
                          then();
                      else if (ask(QStringLiteral("openCopyBox"),
                                   tr("Open the corrected copy %1?").arg(QFileInfo(target).fileName()),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes)
                          m_window->openFile(target);
                  });
              });
}

void PickEditor::exportPicks()
{
    const QString source = fileName();
    if (source.isEmpty() || m_task.isRunning())
        return;
    const QFileInfo info(source);
    const QString sgtFilter = tr("Unified data format (*.sgt)");
    const QString csvFilter = tr("CSV table of every record (*.csv)");
    QString filter = sgtFilter;
    QString target = QFileDialog::getSaveFileName(m_window, tr("Export Picks"),
                                                  info.dir().filePath(info.completeBaseName() + QStringLiteral(".sgt")),
                                                  sgtFilter + QStringLiteral(";;") + csvFilter, &filter);
    if (target.isEmpty())
        return;
    // The name's own suffix decides; a name without one takes the filter's.
    const QString suffix = QFileInfo(target).suffix().toLower();
    CorrectedCopy::Format format = filter == csvFilter ? CorrectedCopy::Csv : CorrectedCopy::Sgt;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("sgt"))
        format = suffix == QLatin1String("csv") ? CorrectedCopy::Csv : CorrectedCopy::Sgt;
    else
        target += format == CorrectedCopy::Csv ? QStringLiteral(".csv") : QStringLiteral(".sgt");
    const PickEdits edits = m_session.edits();
    const FbFileIdentity judged = m_session.data() ? m_session.data()->identity : FbFileIdentity();
    startWork(tr("Exporting the picks to %1").arg(QFileInfo(target).fileName()), true,
              [this, source, judged, edits, target, format](const Progress &progress) {
                  CorrectedCopy copy(source, judged, edits);
                  const bool ok = copy.exportPicks(target, format, progress);
                  const QString error = copy.errorString();
                  const SgtConverter::ExportCounts counts = copy.sgtCounts();
                  const qint64 records = copy.csvRecords();
                  const bool edited = !edits.isEmpty();
                  return Done([this, ok, error, counts, records, edited, target, format] {
                      if (!ok) {
                          emit message(tr("Cannot export the picks: %1").arg(error), true);
                          return;
                      }
                      QString text = format == CorrectedCopy::Csv
                                         ? tr("Exported %L1 records to %2.").arg(records).arg(target)
                                         : tr("Exported %L1 picks between %L2 sensors to %3; left out: %L4 rejected, "
                                              "%L5 without a positive time, %L6 at a non-finite position, %L7 whose "
                                              "source and receiver are one sensor.")
                                               .arg(counts.written)
                                               .arg(counts.sensors)
                                               .arg(target)
                                               .arg(counts.rejected)
                                               .arg(counts.noTime)
                                               .arg(counts.badPosition)
                                               .arg(counts.atSource);
                      if (edited)
                          text += QLatin1Char(' ') + tr("The picks are as edited.");
                      emit message(text, false);
                  });
              });
}

void PickEditor::importPicks()
{
    if (m_task.isRunning())
        return;
    const QString dir = fileName().isEmpty() ? QString() : QFileInfo(fileName()).absolutePath();
    const QString sgt =
        QFileDialog::getOpenFileName(m_window, tr("Import Picks"), dir, tr("Unified data format (*.sgt)"));
    if (sgt.isEmpty())
        return;
    const QFileInfo info(sgt);
    const QString target = QFileDialog::getSaveFileName(
        m_window, tr("Save Imported Picks As"), info.dir().filePath(info.completeBaseName() + QStringLiteral(".fb")),
        tr("FB files (*.fb *.cal *.fit)"));
    if (target.isEmpty())
        return;
    // The conversion cannot be stopped part-way: no Cancel.
    startWork(tr("Importing %1").arg(info.fileName()), false, [this, sgt, target](const Progress &) {
        SgtConverter converter;
        const bool ok = converter.importSgt(sgt, target);
        const QString error = converter.errorString();
        const qint64 records = converter.importedRecords();
        const int shots = converter.importedShots();
        return Done([this, ok, error, records, shots, sgt, target] {
            if (!ok) {
                emit message(tr("Cannot import the picks: %1").arg(error), true);
                return;
            }
            emit message(tr("Imported %L1 picks in %L2 shots of %3 into %4.").arg(records).arg(shots).arg(sgt, target),
                         false);
            m_window->openFile(target);
        });
    });
}

void PickEditor::startWork(const QString &label, bool cancellable, Work work)
{
    m_taskLabelText = label;
    m_taskLabel->setText(label + QStringLiteral("..."));
    m_taskProgress->setRange(0, cancellable ? 100 : 0);
    m_taskProgress->setValue(0);
    m_taskCancel->setEnabled(cancellable);
    m_task.run<Done>([work = std::move(work)](const LatestJob::Ticket &ticket) { return work(ticket.progress()); },
                     [this](const Done &done) {
                         if (done)
                             done();
                         workEnded();
                     });
    emit workingChanged(true);
    updateActions();
}

void PickEditor::workEnded()
{
    m_saving = false;
    emit workingChanged(false);
    updateActions();
}

void PickEditor::cancelWork()
{
    if (!m_task.isRunning() || !m_taskCancel->isEnabled())
        return;
    m_task.cancel();
    m_saving = false;
    m_afterSave = nullptr;
    emit message(tr("%1: cancelled.").arg(m_taskLabelText), false);
    emit workingChanged(false);
    updateActions();
}
