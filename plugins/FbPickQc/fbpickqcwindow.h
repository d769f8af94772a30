#ifndef FBPICKQCWINDOW_H
#define FBPICKQCWINDOW_H

#include "qcdocument.h"

#include <SorvBase/sorvdialog.h>

#include <memory>

class NavigationBar;
class PickEditor;
class ProblemPanel;
class QcActions;
class MessageLine;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTimer;
class ShotPanel;
class StatusArea;
class SurveyPanel;
class TracesPanel;

// The pick QC window: one FB file judged as a whole, and one shot at a time
// in a plot of its picks against offset and in the viewer's table, beside
// the list of problems and the survey views, all moving together.
//
// The window is wiring and placement: the file and where the user is in
// it are the QcDocument's; the panels (ShotPanel, ProblemPanel,
// SurveyPanel, TracesPanel) each show a part of it and ask it to move,
// never each other; the menus and their dialogs are QcActions', the tool
// bar the NavigationBar's. On a large window the shot sits left (plot over table) and the
// survey views over the problems right, in splitters; on a small one
// (narrower than CompactWidth, or too low for the plot to keep
// LeastCanvasHeight over the table) the panels are tabs and the plot sits
// beside the table.
//
// Modeless and deleted on close. Loading, judging again, reading a shot
// and sorting run off the UI thread with a progress bar and Cancel; errors
// are said in the window's message line, not in boxes. The thresholds, the
// problem list's order, the last file and the traces (TracesPanel, File >
// Open Traces...) are kept per project. The title
// marks edits that no corrected copy holds.
//
// Page Up / Page Down step through the shots, N and Shift+N through the
// shots with a problem of their own, in the list's order. F1 opens the
// window's help page. Picks are edited through PickEditor, never in the
// file; closing, or opening another file, with unsaved edits asks first.
//
// Usage:
//   auto *window = new FbPickQcWindow;
//   window->show();
//   window->openRemembered();   // or openFile(name)
class FbPickQcWindow : public SorvDialog
{
    Q_OBJECT

public:
    // Below this width the panels go to tabs: narrower, the tool bar takes
    // a third line and the problem list's titles break.
    static constexpr int CompactWidth = 1280;
    // Side by side, the shot plot's canvas keeps at least this height, else
    // the panels go to tabs: lower, the plot over the table cannot tell a
    // pick off its curve. How high the window must be for that depends on
    // the tool bar's lines and the summary's, so it is found by laying out.
    static constexpr int LeastCanvasHeight = 200;
    // Back from tabs, the canvas must come out this many lines of text
    // higher still: a summary that grew meanwhile does not send the panels
    // straight back.
    static constexpr int BackToSideLines = 2;

    explicit FbPickQcWindow(QWidget *parent = nullptr);
    ~FbPickQcWindow() override;

    // Opens the FB file the browse dialog last used in the project, else
    // the last one this window had (saying that the browsed one is gone),
    // or asks for one when there is none.
    void openRemembered();
    // Starts loading fileName; the current file stays shown until it is done.
    void openFile(const QString &fileName);
    void cancelLoading() { m_document.cancel(); }
    bool isLoading() const { return m_document.isLoading(); }

    QcDocument *document() { return &m_document; }
    // The loaded file, or null before the first load succeeds.
    const QcData *data() const { return m_document.data().get(); }
    // The shot chosen, and the one the table and plot show: they differ
    // until its records have been read and fitted.
    int currentShot() const { return m_document.currentShot(); }
    int shownShot() const { return m_document.shownShot(); }
    // Shows shot (0-based) and selects the pick of file record `record`
    // when it belongs to the shot, once the shot is shown.
    void goToShot(int shot, qint32 record = -1);
    // The panels are tabs (a small window).
    bool isCompact() const { return m_compact; }

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
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    // The panels in splitters, or in tabs when compact; the plot's controls
    // in the tabs' corner or in the navigation.
    // The side-by-side panes' widths, as the traces panel is slim or not.
    void sharePanes();
    void placePanels(bool compact, bool controlsInCorner);
    // The arrangement for the window's size, decided at once from it (the
    // side-by-side canvas' height it leaves), never from what the panes
    // show: a message or a legend entry changes nothing.
    void placeForSize(const QSize &size);
    // Side by side and laid out now: how much of the window's height is not
    // the plot's canvas.
    void measureSideBySide();
    // The side-by-side canvas' height a window of size would have.
    int sideBySideCanvas(const QSize &size) const;
    // The panels and the plot's controls placed: in tabs, the controls in
    // their corner when they fit the window's width there.
    void placeControls(bool compact, int width);
    void enablePlotControls();
    void updateButtons();
    void showFile(const std::shared_ptr<const QcData> &data, bool newFile);
    void updateTitle();
    // Keeps a value for the project, and says once when the project folder
    // cannot keep it.
    void keep(const char *name, const QVariant &value);

    QcDocument m_document;
    bool m_compact = false;
    bool m_controlsInCorner = false;
    // Side by side, the window's height less the canvas', the tool bar's,
    // the summary's and the message line's (which change with the width,
    // or come and go); -1 until laid out so.
    int m_sideChrome = -1;
    bool m_placing = false;
    bool m_newFile = false;
    // The tab shown when the panels last left the tabs.
    int m_tab = 0;
    QTimer *m_measure = nullptr;

    ShotPanel *m_shotPanel = nullptr;
    ProblemPanel *m_problemPanel = nullptr;
    SurveyPanel *m_surveyPanel = nullptr;
    TracesPanel *m_tracesPanel = nullptr;
    PickEditor *m_editor = nullptr;
    QStackedWidget *m_placement = nullptr;
    QSplitter *m_panes = nullptr;
    QSplitter *m_side = nullptr;
    QTabWidget *m_panelTabs = nullptr;
    NavigationBar *m_navigation = nullptr;
    QcActions *m_actions = nullptr;

    MessageLine *m_message = nullptr;
    StatusArea *m_bottom = nullptr;
};

#endif // FBPICKQCWINDOW_H
