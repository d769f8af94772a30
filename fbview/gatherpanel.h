#ifndef FBVIEW_GATHERPANEL_H
#define FBVIEW_GATHERPANEL_H

#include <fbview/gatherrenderer.h>

#include <QWidget>

class QActionGroup;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QMenu;
class QToolButton;

namespace FbView {

class GatherView;

// The traces panel: the gather view under its controls (display, order,
// one peak per trace, AGC window, gain, clip) in two short columns, about
// as narrow as the view can be, so that it shares an 800 x 600 screen with
// the shot plot and the pick table. Each control changes the view at once; everything else (the shot,
// the reduction velocity, the selection) goes to view() directly.
//
//   auto *panel = new GatherPanel;
//   panel->view()->setShot(gather, records, fit);
//   connect(panel->view(), &GatherView::rowClicked, ...);
//   settings.setValue("traces/scaling", ...panel->view()->scaling()...);
//
// Re-picking: a Pick toggle (picking with the left button instead of
// panning) whose menu says where a picked time snaps to (onset, first peak,
// first trough, zero crossing, nowhere), and how far it may move; both are
// remembered in the application's settings.
//
// Object names, for tests and style sheets: traceDisplay, traceOrder,
// tracePerTrace, traceAgc (0: off), traceGain, traceClip, tracePickMode,
// traceSnap (the group of snap actions), traceSnapWithin; the view is
// traceView.
class GatherPanel : public QWidget
{
    Q_OBJECT

public:
    explicit GatherPanel(QWidget *parent = nullptr);

    GatherView *view() const { return m_view; }

    // Sets the controls (and so the view) to these, as remembered.
    void setDisplay(GatherRenderer::Display display);
    void setScaling(const GatherRenderer::Scaling &scaling);
    // The controls in one column right of the view rather than above it,
    // for a panel short of height.
    void setControlsBeside(bool beside);
    void setPickMode(bool on);
    // The Pick button's menu (Snap To), for its owner's actions.
    QMenu *pickMenu() const { return m_pickMenu; }

private:
    void applySnap();

    void apply();

    GatherView *m_view = nullptr;
    QBoxLayout *m_layout = nullptr;
    QGridLayout *m_controls = nullptr;
    QComboBox *m_display = nullptr;
    QComboBox *m_order = nullptr;
    QCheckBox *m_perTrace = nullptr;
    QDoubleSpinBox *m_agc = nullptr;
    QDoubleSpinBox *m_gain = nullptr;
    QDoubleSpinBox *m_clip = nullptr;
    QToolButton *m_pick = nullptr;
    QMenu *m_pickMenu = nullptr;
    QActionGroup *m_snap = nullptr;
    QDoubleSpinBox *m_within = nullptr;
    bool m_setting = false; // controls being set from outside
};

} // namespace FbView

#endif // FBVIEW_GATHERPANEL_H
