#ifndef FBPICKQCWINDOW_H
#define FBPICKQCWINDOW_H

#include "qcloader.h"
#include "qcmapvalues.h"

#include <sorvdialog.h>

#include <memory>

class PickEditor;
class ProblemModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;
class QwtPlot;
class ShotListModel;
class ShotPlot;
class ShotTableModel;
class SurveyMap;

// The pick QC window: one FB file judged as a whole, and one shot at a time
// in a plot of its picks against offset and in the viewer's table, beside
// the list of problems and the survey map, all moving together.
//
// Modeless and deleted on close. Loading (index, QC pass, receivers) runs on
// a worker thread with a progress bar and Cancel in the window; errors and an
// incomplete file are said in the window's message line, not in boxes.
// Problems activate to their shot and pick; a click on a source in the map
// goes to its shot. Page Up / Page Down step through the shots, N and
// Shift+N through the shots with problems. F1 opens the window's help page.
//
// Picks are edited in the window (PickEditor: reject, restore, type a time,
// shift a shot, reject outliers, undo and redo), never in the file: the
// table and the plot show the shot as edited, the summary, the problem
// list and the map follow as the edited shots are judged again, and a
// corrected copy is saved beside the file. Closing, or opening another
// file, with edits that no copy holds asks first.
//
// Usage:
//   auto *window = new FbPickQcWindow;
//   window->show();
//   window->openRemembered();   // or openFile(name)
class FbPickQcWindow : public SorvDialog
{
    Q_OBJECT

public:
    explicit FbPickQcWindow(QWidget *parent = nullptr);
    ~FbPickQcWindow() override;

    // Opens the FB file the browse dialog remembers for the project, or asks
    // for one when there is none.
    void openRemembered();
    // Starts loading fileName; the current file stays shown until it is done.
    void openFile(const QString &fileName);
    void cancelLoading();
    bool isLoading() const;

    // The loaded file, or null before the first load succeeds.
    const QcData *data() const { return m_data.get(); }
    int currentShot() const { return m_current; }
    // Shows shot (0-based) and selects the pick of file record `record`
    // when it belongs to the shot.
    void goToShot(int shot, qint32 record = -1);

signals:
    // A load ended: ok when the new file is shown.
    void loadFinished(bool ok);

public slots:
    // Closes unless the user keeps edits that no copy holds.
    void reject() override;

protected:
    QString helpIndex() const override;

private slots:
    void onLoaded(std::shared_ptr<const QcData> data);
    void onFailed(const QString &message);
    void openFileDialog();
    void exportDialog(QwtPlot *plot, const QString &title);
    void exportProblemsDialog();
    void activateProblem(const QModelIndex &index);
    void stepProblemShot(int direction);

private:
    void buildUi();
    void showShot(int shot);
    void selectRow(int row);
    void updateButtons();
    void updateMapValues();
    void showMessage(const QString &text, bool error);
    void setLoadingVisible(bool visible);
    int reciprocalRow(int shotB) const;
    void updateSummary();
    // The same file judged again after edits: the views keep their place.
    void showJudged(std::shared_ptr<const QcData> data);
    // The current shot again when its records changed.
    void showEditedShots(const QVector<qint32> &shots);

    QcLoader m_loader;
    std::shared_ptr<const QcData> m_data;
    PickQc::Settings m_settings;
    QString m_loadingName;
    int m_current = -1;
    bool m_syncing = false;

    QLabel *m_message = nullptr;
    QLabel *m_summary = nullptr;
    QWidget *m_loadingRow = nullptr;
    QStackedWidget *m_bottom = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    QComboBox *m_shotCombo = nullptr;
    ShotListModel *m_shotList = nullptr;
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QToolButton *m_previousProblem = nullptr;
    QToolButton *m_nextProblem = nullptr;
    QLineEdit *m_velocity = nullptr;
    QCheckBox *m_residuals = nullptr;
    ShotPlot *m_plot = nullptr;
    QTableView *m_table = nullptr;
    ShotTableModel *m_tableModel = nullptr;
    QTableView *m_problemView = nullptr;
    ProblemModel *m_problemModel = nullptr;
    QComboBox *m_kindFilter = nullptr;
    SurveyMap *m_map = nullptr;
    QComboBox *m_colorBy = nullptr;
    SurveyValues m_mapValues[QcMapValues::QuantityCount];   // made when first shown
    QList<QAction *> m_exportActions;
    PickEditor *m_editor = nullptr;
};

#endif // FBPICKQCWINDOW_H
