#ifndef FBPICKQCWINDOW_H
#define FBPICKQCWINDOW_H

#include "qcloader.h"
#include "qcmapvalues.h"

#include <sorvdialog.h>

#include <memory>

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
class StationResidualView;
class StationShotView;
class SurveyMap;

// The pick QC window: one FB file judged as a whole, and one shot at a time
// in a plot of its picks against offset and in the viewer's table, beside
// the list of problems and the survey map, all moving together.
//
// Modeless and deleted on close. Loading (index, QC pass, receivers) runs on
// a worker thread with a progress bar and Cancel in the window; errors and an
// incomplete file are said in the window's message line, not in boxes.
// Problems activate to their shot and pick; a click on a source in the map
// goes to its shot. Beside the map, in tabs, the survey-wide views: each
// receiver's mean residual (a click goes to a shot that recorded it, its
// pick selected) and the stations-by-shots image of reciprocal differences
// or residuals (a click goes to the shot and its pick at that station).
// Page Up / Page Down step through the shots, N and Shift+N through the
// shots with problems. F1 opens the window's help page.
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
    void goToReceiver(int receiver);
    void goToCell(int shot, double coordinate, qint32 record);

private:
    void buildUi();
    // The map and the survey-wide views, each a tab.
    QWidget *buildSurveyTabs();
    void showSurveyViews();
    void showShot(int shot);
    void selectRow(int row);
    void updateButtons();
    void updateMapValues();
    void showMessage(const QString &text, bool error);
    void setLoadingVisible(bool visible);
    int reciprocalRow(int shotB) const;

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
    StationResidualView *m_receiverView = nullptr;
    StationShotView *m_stationShots = nullptr;
    QList<QAction *> m_exportActions;
};

#endif // FBPICKQCWINDOW_H
