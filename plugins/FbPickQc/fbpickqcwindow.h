#ifndef FBPICKQCWINDOW_H
#define FBPICKQCWINDOW_H

#include "qcloader.h"
#include "qcmapvalues.h"
#include "shotloader.h"

#include <sorvdialog.h>

#include <memory>

class PickEditor;
class ProblemModel;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class QToolButton;
class QTreeView;
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
// a worker thread with a progress bar and Cancel in the window, and so do
// judging the file again when a threshold changes and reading and fitting
// the current shot: the window never waits for a worker. Errors, a file
// that is no FB file and an incomplete one are said in the window's message
// line, not in boxes. The thresholds, the problem list's order and the last
// file are kept per project.
//
// The problem list groups the findings by the shot they are filed under,
// worst first (ProblemList says how shots are weighed); problems activate to
// their shot and pick, and a pair also overlays the partner shot's picks on
// the plot. A click on a source in the map goes to its shot. Beside the map,
// in tabs, the survey-wide views: each receiver's mean residual (a click goes
// to a shot that recorded it, its pick selected) and the stations-by-shots
// image of reciprocal differences or residuals (a click goes to the shot and
// its pick at that station). Page Up / Page Down step through the shots, N
// and Shift+N through the shots with a problem of their own, in the list's
// order. F1 opens the window's help page.
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

    // Opens the FB file the browse dialog last used in the project, else
    // the last one this window had, or asks for one when there is none.
    void openRemembered();
    // Starts loading fileName; the current file stays shown until it is done.
    void openFile(const QString &fileName);
    void cancelLoading();
    bool isLoading() const;

    // The loaded file, or null before the first load succeeds.
    const QcData *data() const { return m_data.get(); }
    // The shot chosen, and the one the table and plot show: they differ
    // until its records have been read and fitted.
    int currentShot() const { return m_current; }
    int shownShot() const { return m_shown; }
    // Shows shot (0-based) and selects the pick of file record `record`
    // when it belongs to the shot, once the shot is shown.
    void goToShot(int shot, qint32 record = -1);

    // Per-project value keys: the window's own are named after it.
    static QString projectKey(const char *name);

signals:
    // A load, or judging the file again with other thresholds, ended: ok
    // when its result is shown.
    void loadFinished(bool ok);
    // The table and plot show shot, with its pick selected when asked.
    void shotShown(int shot);

public slots:
    // Closes unless the user keeps edits that no copy holds.
    void reject() override;

protected:
    QString helpIndex() const override;

private slots:
    void onLoaded(std::shared_ptr<const QcData> data);
    void onFailed(const QString &message);
    void openFileDialog();
    // Judges a file, whatever edits are held: openFile() asks first.
    void startLoading(const QString &fileName);
    void exportDialog(QwtPlot *plot, const QString &title);
    void exportProblemsDialog();
    void activateProblem(const QModelIndex &index);
    void stepProblemShot(int direction);
    void onShotLoaded(std::shared_ptr<const LoadedShot> shot);
    void onPartnerLoaded(int partner, const QVector<QPointF> &picks);
    void onThresholdsChanged();

private:
    // What to select in a shot once it is shown: a pick by its file record,
    // the first record that differs in a source column, or the receiver at
    // a partner's source (whose picks are then overlaid).
    struct Target
    {
        qint32 record = -1;
        int column = -1;
        int partner = -1;
        double station = qQNaN();   // the pick nearest this place on the station axis
    };
    static Target targetOf(const PickQc::Finding &finding);

    void buildUi();
    // The map and the survey-wide views, each a tab.
    QWidget *buildSurveyTabs();
    void showSurveyViews();
    void goToReceiver(int receiver);
    void goToCell(int shot, double coordinate, qint32 record);
    void goTo(int shot, const Target &target);
    void requestShot(int shot);
    void applyTarget();
    void selectRow(int row);
    void updateButtons();
    void updateMapValues();
    void updateSummary();
    void showMessage(const QString &text, bool error);
    void setLoadingVisible(bool visible, bool busy = false);
    void showThresholds(const PickQc::Settings &settings);
    // Keeps a value for the project, and says once when the project folder
    // cannot keep it.
    void keep(const char *name, const QVariant &value);
    int reciprocalRow(int shotB) const;
    // The same file judged again after edits: the views keep their place.
    void showJudged(std::shared_ptr<const QcData> data);
    // The current shot again when its records changed.
    void showEditedShots(const QVector<qint32> &shots);

    QcLoader m_loader;
    ShotLoader m_shotLoader;
    std::shared_ptr<const QcData> m_data;
    PickQc::Settings m_settings;      // the thresholds every load and judging again use
    QString m_loadingName;
    bool m_rejudging = false;         // the loader judges the shown file again
    bool m_keepEdits = false;         // ... for new thresholds: the edits stay
    int m_loads = 0;                  // loads taken over, the latest last
    PickEdits m_judgedEdits;          // the edits the data judged again holds
    int m_current = -1;
    int m_shown = -1;
    Target m_target;                  // of the current shot, applied once it is shown
    int m_partner = -1;               // the partner whose picks the plot overlays
    bool m_shotNote = false;          // the message line speaks of the shot shown
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
    QDoubleSpinBox *m_outlierSpin = nullptr;
    QDoubleSpinBox *m_reciprocitySpin = nullptr;
    ShotPlot *m_plot = nullptr;
    QTableView *m_table = nullptr;
    ShotTableModel *m_tableModel = nullptr;
    QTreeView *m_problemView = nullptr;
    ProblemModel *m_problemModel = nullptr;
    QComboBox *m_kindFilter = nullptr;
    QComboBox *m_order = nullptr;
    QLabel *m_problemCount = nullptr;
    SurveyMap *m_map = nullptr;
    QComboBox *m_colorBy = nullptr;
    SurveyValues m_mapValues[QcMapValues::QuantityCount];   // made when first shown
    QList<QAction *> m_exportActions;
    PickEditor *m_editor = nullptr;
    StationResidualView *m_receiverView = nullptr;
    StationShotView *m_stationShots = nullptr;
};

#endif // FBPICKQCWINDOW_H
