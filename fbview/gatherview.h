#ifndef FBVIEW_GATHERVIEW_H
#define FBVIEW_GATHERVIEW_H

#include <fbfile/fblayout.h>
#include <fbview/gatherrenderer.h>
#include <fbqc/repick.h>
#include <fbqc/shotfit.h>

#include <fbview/viewplot.h>

#include <QString>
#include <QVector>

#include <atomic>
#include <memory>
#include <thread>

class QKeyEvent;
class QwtPlotCurve;
class QwtPlotPanner;
class QwtPlotMarker;

namespace FbView {

class GatherItem;

// One shot's traces under its picks (object name "traceView"): wiggle,
// variable area or variable density, the picks on their traces in their
// status colours, the fitted first-break curve, outliers ringed and the
// selected trace and its pick marked on top. Traces stand by signed offset
// (a picked trace where the shot plot puts its pick) or by channel; time
// runs down and may be reduced by a velocity as in the shot plot.
//
// Scaling runs on a worker thread whenever the traces or the scaling
// change; until it is done the view keeps what it showed (isReady() is
// false, and ready() is emitted after). Drawing, zoom and pan are on the UI
// thread. The wheel zooms time about the mouse (with Ctrl, the traces), a
// left or middle drag pans, a double click shows the whole shot again, a
// click selects the trace under the mouse, and the mouse's channel, offset,
// time and amplitude show beside it.
//
// Re-picking: in pick mode a left click sets the clicked trace's pick and a
// left drag sets the pick of every trace the line crosses, each time moved
// onto its trace's waveform as setSnap() says; the middle button still pans
// and the wheel still zooms (a left double click picks too, rather than
// showing the whole shot). With the view focused, Up and Down move the
// selected pick a sample earlier or later, Delete asks to reject it and
// Insert to restore it. The view changes no pick itself: it says what the
// user asked through timesPicked(), rejectRequested() and restoreRequested(),
// and shows the records it is given next. Only records on a trace can be
// set (a trace without a record has no pick to change). Proposed times
// (setSuggestions()) stand beside their picks in StatusColors::suggestion().
//
//   view->setShot(gather, records, FbQc::fitShot(records, settings));
//   connect(view, &GatherView::rowClicked, table, &PickTable::selectRow);
//   view->setSelectedRow(row);             // from the table or the shot plot
//   view->clear(tr("No traces for this line."));
class GatherView : public ViewPlot
{
    Q_OBJECT

public:
    explicit GatherView(QWidget *parent = nullptr);
    ~GatherView() override;

    // The traces of a shot with the shot's picks (records in file order) and
    // their fit. A pick stands on the trace of its channel; rowTrace, when
    // given (one per record), names the trace of each record instead (-1:
    // none). A trace holds one pick: a later record naming it is not drawn.
    // The time window opens around the picks (all of the traces without any).
    // position, when known, is the shot's place in the FB file (0 = first):
    // the title then names the shot as the shot plot does.
    void setShot(const FbTrace::ShotGather &gather, const QVector<FbFile::FbRecord> &records, const FbQc::ShotFit &fit,
                 const QVector<int> &rowTrace = {}, int position = -1);
    // No traces: says message, or that no traces are open.
    void clear(const QString &message = QString());
    // The text shown instead of traces; empty while traces are shown.
    QString message() const;

    void setDisplay(GatherRenderer::Display display);
    GatherRenderer::Display display() const { return m_display; }
    void setScaling(const GatherRenderer::Scaling &scaling);
    GatherRenderer::Scaling scaling() const { return m_scaling; }
    // Velocity in offset unit per second; 0 or less: plain time.
    void setReductionVelocity(double velocity);
    double reductionVelocity() const { return m_velocity; }
    void setOffsetUnit(const QString &unit);
    // Time from t0 to t1 ms (reduced time when reducing), down the view.
    void setTimeWindow(double t0, double t1);
    // Every trace, and time around the picks.
    void resetView();

    // False while a scaling runs; waitUntilReady() blocks until it is shown.
    bool isReady() const;
    void waitUntilReady();

    // The trace of the gather under a canvas pixel (within half a spacing of
    // it), or -1; and the readout for that pixel, empty off the traces.
    int traceAt(const QPoint &canvasPos) const;
    QString readoutAt(const QPoint &canvasPos) const;
    // Plot position (x, shown time) of a record's pick; NaN y for a record
    // not drawn.
    QPointF pickPoint(int row) const;
    int selectedTrace() const { return m_selectedTrace; }
    int selectedRow() const;

    // The trace of a record, and the record on a trace: -1 for none.
    int traceOfRow(int row) const;
    int rowOfTrace(int trace) const;

    // Re-picking (see above); pick mode off at first, snapping to the onset.
    void setPickMode(bool on);
    bool pickMode() const { return m_pickMode; }
    void setSnap(const FbQc::SnapSettings &snap) { m_snap = snap; }
    FbQc::SnapSettings snap() const { return m_snap; }
    // New times proposed for records of the shot shown (rows); setShot()
    // of another shot drops them.
    void setSuggestions(const QVector<FbQc::Suggestion> &suggestions);
    const QVector<FbQc::Suggestion> &suggestions() const { return m_suggestions; }
    // What is shown: the gather and its records.
    const FbTrace::ShotGather &gather() const { return m_gather; }
    const QVector<FbFile::FbRecord> &records() const { return m_records; }
    const FbQc::ShotFit &fit() const { return m_fit; }
    // The canvas pixel of a trace at a time (not reduced): where a user
    // clicks to pick it there.
    QPoint canvasPoint(int trace, double timeMs) const;

    enum class Gesture { Click, Drag, Nudge };
    Q_ENUM(Gesture)

    // Each record's trace by channel: the first trace of the record's channel.
    static QVector<int> matchByChannel(const FbTrace::ShotGather &gather, const QVector<FbFile::FbRecord> &records);

public slots:
    // Marks a trace of the gather (and its pick), -1 for none.
    void selectTrace(int trace);
    // Marks the record's trace and pick, -1 for none.
    void setSelectedRow(int row);

signals:
    // A click on a trace: its index in the gather, and its record's row
    // when it has a pick (rowClicked is not emitted for a trace without).
    void traceClicked(int trace);
    void rowClicked(int row);
    // The scaled traces are shown.
    void ready();
    // The user set these records' (rows of the shot) times, in ms, by one
    // gesture: one edit.
    void timesPicked(const QVector<int> &rows, const QVector<double> &timesMs, GatherView::Gesture gesture);
    void rejectRequested(int row);
    void restoreRequested(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startScaling();
    void launchScaling();
    void scalingDone();
    // Waits for the worker, then shows its result or starts the latest.
    void finishScaling();
    void rebuildMarks();
    void updateSelection();
    void updateTitles();
    void zoomAxis(int axis, double at, double factor);
    // The axes for every trace and the time around the picks; for a time
    // window; neither draws.
    void placeWholeShot();
    void placeTime(double t0, double t1);
    double traceOffset(int trace) const;
    double traceX(int trace) const;
    double shownTime(int trace, double timeMs) const;
    // A shown (maybe reduced) time of a trace as recorded.
    double recordedTime(int trace, double shownMs) const;
    bool pickEvent(QEvent *event);
    QPointF invTransformed(const QPoint &canvasPos) const;
    bool keyEvent(QKeyEvent *event);
    // The stroke from press to pos: the picks it sets, snapped.
    void finishStroke(const QPoint &pos);
    void showPicked(const QVector<int> &rows, const QVector<double> &timesMs);
    void rebuildSuggestions();

    FbTrace::ShotGather m_gather;
    QVector<FbFile::FbRecord> m_records;
    FbQc::ShotFit m_fit;
    QVector<int> m_rowTrace;      // per record
    QVector<int> m_traceRow;      // per trace
    QVector<double> m_pickOffset; // per trace: the signed offset of its pick, NaN without
    bool m_hasShot = false;
    int m_position = -1; // the shot's place in the file, -1 unknown
    QString m_message;

    GatherRenderer::Display m_display = GatherRenderer::Display::Wiggle;
    GatherRenderer::Scaling m_scaling;
    double m_velocity = 0.0;
    QString m_unit = QStringLiteral("m");
    int m_selectedTrace = -1;

    // What the canvas draws, and the scaling on its way.
    std::shared_ptr<const GatherRenderer::GatherDisplay> m_shown;
    std::thread m_worker;                   // one scaling at a time
    GatherRenderer::GatherDisplay m_result; // the worker's, read after joining it
    std::atomic<bool> m_finished{false};    // the worker has written m_result
    quint64 m_wanted = 0;                   // inputs' generation
    quint64 m_running = 0;                  // generation being scaled, 0 for none

    GatherItem *m_item = nullptr;
    QwtPlotCurve *m_status[3] = {};
    QwtPlotCurve *m_rings = nullptr;
    QwtPlotCurve *m_model[2] = {};
    QwtPlotMarker *m_traceMark = nullptr;
    QwtPlotMarker *m_pickMark = nullptr;
    QVector<QPointF> m_points; // per record

    bool m_pickMode = false;
    FbQc::SnapSettings m_snap;
    QwtPlotPanner *m_panner = nullptr; // the left button's
    bool m_stroking = false;
    QPoint m_strokeStart;
    QwtPlotCurve *m_stroke = nullptr;
    QVector<FbQc::Suggestion> m_suggestions;
    QwtPlotCurve *m_suggested = nullptr;
};

} // namespace FbView

#endif // FBVIEW_GATHERVIEW_H
