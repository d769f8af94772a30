#ifndef PICKEDITOR_H
#define PICKEDITOR_H

#include "editsession.h"
#include <fbqc/latestjob.h>
#include <fbfile/progress.h>

#include <QObject>

#include <functional>
#include <memory>

class FbPickQcWindow;
class QAction;
class QDialog;
class QLabel;
class QMenu;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTableView;
class ShotTableModel;

// The QC window's editing: its actions (named, so that the window can be
// driven from outside), the Edit menu and the File menu's entries, the
// shot table's typing, marks and context menu, the dialogs, and the long
// work (a corrected copy, an export, an import) on a worker thread with its
// progress and Cancel in a row of the window. The picks themselves and
// their history are the EditSession's; the window shows what it judges.
//
// Keys: Delete or R rejects the selected picks, Insert or Shift+R restores
// them, Ctrl+Z undoes, Ctrl+Shift+Z redoes, Ctrl+S saves a corrected copy;
// typing a number in an fb_time cell (or F2, or a double click) sets it.
//
// Usage (the window builds it after its table):
//   m_editor = new PickEditor(this, m_table, m_tableModel);
//   m_editor->addFileActions(fileMenu, closeAction);
//   menuBar->insertMenu(viewMenu->menuAction(), m_editor->createEditMenu(menuBar));
//   m_editor->setData(loaded);                               // each new file
//   if (!m_editor->mayDiscardEdits([this] { close(); })) return;   // before closing
class PickEditor : public QObject
{
    Q_OBJECT

public:
    PickEditor(FbPickQcWindow *window, QTableView *table, ShotTableModel *model);
    ~PickEditor() override;

    EditSession *session() { return &m_session; }
    // Save Corrected Copy As, Export Picks and Import Picks, put before
    // `before` in the window's File menu.
    void addFileActions(QMenu *file, QAction *before);
    QMenu *createEditMenu(QWidget *parent);
    // The row with the work's progress and Cancel, shown while it runs.
    QWidget *taskRow() const { return m_taskRow; }
    bool isWorking() const { return m_task.isRunning(); }

    // A newly loaded file.
    void setData(std::shared_ptr<const QcData> data);
    // Edits that no corrected copy holds.
    bool hasUnsavedEdits() const;
    // Before the window closes or opens another file: true when it may go
    // ahead now (nothing unsaved, or the user discards it); false when the
    // user cancels, or chose to save, in which case then() runs once the
    // copy is saved. Other work under way (an export, an import) is
    // cancelled when it may go ahead.
    bool mayDiscardEdits(const std::function<void()> &then);

signals:
    void message(const QString &text, bool error);
    void workingChanged(bool working);

private:
    void buildActions();
    void buildTaskRow();
    void updateActions();
    QVector<qint32> selectedRecords() const;
    QString fileName() const;

    void rejectSelected();
    void restoreSelected();
    void shiftShot();
    void rejectShotOutliers();
    void rejectFileOutliers();
    void showHistory();
    void chooseRejectStatus();
    void showContextMenu(const QPoint &pos);
    // Asks for a name, then writes the copy; then() after it is saved.
    void saveCorrectedCopy(const std::function<void()> &then = {});
    void exportPicks();
    void importPicks();

    // What a piece of work hands back to run on the UI thread once it ended.
    using Done = std::function<void()>;
    using Work = std::function<Done(const FbFile::Progress &progress)>;
    // Starts work with its label in the task row; cancellable unless not.
    void startWork(const QString &label, bool cancellable, Work work);
    void workEnded();
    void cancelWork();
    // A modal question with a name, so that it can be answered from outside.
    int ask(const QString &objectName, const QString &text, int buttons, int defaultButton);

    FbPickQcWindow *m_window;
    QTableView *m_table;
    ShotTableModel *m_model;
    EditSession m_session;
    // Waits for its worker on destruction: a copy being written ends
    // before the editor, and the session its work reads, go.
    FbQc::LatestJob m_task;
    QString m_taskLabelText;
    bool m_saving = false;
    std::function<void()> m_afterSave;

    QWidget *m_taskRow = nullptr;
    QLabel *m_taskLabel = nullptr;
    QProgressBar *m_taskProgress = nullptr;
    QPushButton *m_taskCancel = nullptr;
    QDialog *m_history = nullptr;

    QAction *m_reject = nullptr;
    QAction *m_restore = nullptr;
    QAction *m_shift = nullptr;
    QAction *m_rejectOutliers = nullptr;
    QAction *m_rejectFileOutliers = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_historyAction = nullptr;
    QAction *m_rejectStatus = nullptr;
    QAction *m_save = nullptr;
    QAction *m_export = nullptr;
    QAction *m_import = nullptr;
};

#endif // PICKEDITOR_H
