#include <fbview/gatherpanel.h>

#include <fbview/gatherview.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbView {

namespace {

// What the controls allow: an AGC window up to ten seconds, gain and clip
// from a hundredth to a hundred times a trace spacing.
constexpr double MaxAgcMs = 10000, MinScale = 0.01, MaxScale = 100;
constexpr int ComboCharacters = 5;
// A picked time snaps at most this far (ms).
constexpr double MaxSnapWithinMs = 200;
const char *const SnapModeKey = "traces/snapMode";
const char *const SnapWithinKey = "traces/snapWithinMs";

QDoubleSpinBox *spinBox(const QString &name, const QString &prefix, double low, double high, double value,
                        const QString &toolTip)
{
    auto *box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setPrefix(prefix);
    box->setRange(low, high);
    box->setDecimals(2);
    box->setValue(value);
    box->setToolTip(toolTip);
    box->setKeyboardTracking(false);
    return box;
}

} // namespace

GatherPanel::GatherPanel(QWidget *parent) : QWidget(parent)
{
    const GatherRenderer::Scaling defaults;
    m_display = new QComboBox;
    m_display->setObjectName(QStringLiteral("traceDisplay"));
    m_display->addItem(tr("Wiggle"), int(GatherRenderer::Display::Wiggle));
    m_display->addItem(tr("Variable area"), int(GatherRenderer::Display::VariableArea));
    m_display->addItem(tr("Density, grey"), int(GatherRenderer::Display::DensityGrey));
    m_display->addItem(tr("Density, red-white-blue"), int(GatherRenderer::Display::DensityRedBlue));
    m_order = new QComboBox;
    m_order->setObjectName(QStringLiteral("traceOrder"));
    m_order->addItem(tr("By offset"), int(GatherRenderer::Order::ByOffset));
    m_order->addItem(tr("By channel"), int(GatherRenderer::Order::ByChannel));
    // Combos as narrow as a few characters; the list shows the whole names.
    for (QComboBox *combo : {m_display, m_order}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(ComboCharacters);
    }
    m_perTrace = new QCheckBox(tr("Per trace"));
    m_perTrace->setObjectName(QStringLiteral("tracePerTrace"));
    m_perTrace->setToolTip(tr("Each trace scaled to its own peak; off, all to the shot's peak"));
    m_perTrace->setChecked(defaults.perTrace);
    m_agc = spinBox(QStringLiteral("traceAgc"), tr("AGC "), 0, MaxAgcMs, defaults.agcWindowMs,
                    tr("Automatic gain control over a window of this many ms; 0 for none"));
    m_agc->setSuffix(tr(" ms"));
    m_agc->setDecimals(0);
    m_agc->setSpecialValueText(tr("AGC off"));
    m_agc->setSingleStep(50);
    m_gain = spinBox(QStringLiteral("traceGain"), tr("Gain "), MinScale, MaxScale, defaults.gain,
                     tr("A trace's peak swings this many trace spacings"));
    m_gain->setSingleStep(0.25);
    m_clip = spinBox(QStringLiteral("traceClip"), tr("Clip "), MinScale, MaxScale, defaults.clip,
                     tr("Amplitudes beyond this many trace spacings are cut"));
    m_clip->setSingleStep(0.25);

    m_pick = new QToolButton;
    m_pick->setObjectName(QStringLiteral("tracePickMode"));
    m_pick->setText(tr("Pick"));
    m_pick->setCheckable(true);
    m_pick->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_pick->setToolTip(tr("Pick on the traces: a click sets the trace's pick, a drag sets the picks along the line "
                          "drawn, each snapped to the waveform. The middle button pans, the wheel zooms. Keys: Up "
                          "and Down move the selected pick a sample earlier or later, Delete rejects it, Insert "
                          "restores it."));
    // Where a picked time snaps to: a choice in the Pick button's menu,
    // so that picking costs the controls no more width.
    const QSettings settings;
    const int savedMode = settings.value(QLatin1String(SnapModeKey), int(FbQc::SnapMode::Onset)).toInt();
    m_pickMenu = new QMenu(this);
    QMenu *snapMenu = m_pickMenu->addMenu(tr("Snap To"));
    m_snap = new QActionGroup(this);
    m_snap->setObjectName(QStringLiteral("traceSnap"));
    for (int mode = 0; mode < FbQc::SnapModeCount; ++mode) {
        QAction *action = snapMenu->addAction(FbQc::snapModeName(FbQc::SnapMode(mode)));
        action->setCheckable(true);
        action->setData(mode);
        action->setChecked(mode == savedMode || (mode == 0 && (savedMode < 0 || savedMode >= FbQc::SnapModeCount)));
        m_snap->addAction(action);
    }
    m_pick->setMenu(m_pickMenu);
    m_pick->setPopupMode(QToolButton::MenuButtonPopup);
    m_within = spinBox(QStringLiteral("traceSnapWithin"), tr("Snap ±"), 0, MaxSnapWithinMs,
                       settings.value(QLatin1String(SnapWithinKey), FbQc::SnapSettings::DefaultWithinMs).toDouble(),
                       tr("A picked time moves at most this many ms to snap"));
    m_within->setSuffix(tr(" ms"));
    m_within->setDecimals(1);

    auto *controls = m_controls = new QGridLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    // Two columns, so the panel is about as narrow as the view can be.
    controls->addWidget(m_display, 0, 0);
    controls->addWidget(m_order, 0, 1);
    controls->addWidget(m_perTrace, 1, 0);
    controls->addWidget(m_agc, 1, 1);
    controls->addWidget(m_gain, 2, 0);
    controls->addWidget(m_clip, 2, 1);
    // Re-picking in one more row: the toggle, and how far a time snaps.
    controls->addWidget(m_pick, 3, 0);
    controls->addWidget(m_within, 3, 1);
    m_view = new GatherView;
    auto *layout = m_layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(m_view, 1);

    connect(m_display, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &GatherPanel::apply);
    connect(m_order, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &GatherPanel::apply);
    connect(m_perTrace, &QCheckBox::toggled, this, &GatherPanel::apply);
    for (QDoubleSpinBox *box : {m_agc, m_gain, m_clip})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &GatherPanel::apply);
    connect(m_pick, &QToolButton::toggled, m_view, &GatherView::setPickMode);
    connect(m_snap, &QActionGroup::triggered, this, &GatherPanel::applySnap);
    connect(m_within, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &GatherPanel::applySnap);
    applySnap();
}

void GatherPanel::applySnap()
{
    FbQc::SnapSettings snap;
    snap.mode = FbQc::SnapMode(m_snap->checkedAction() ? m_snap->checkedAction()->data().toInt() : 0);
    snap.withinMs = m_within->value();
    m_view->setSnap(snap);
    QSettings settings;
    settings.setValue(QLatin1String(SnapModeKey), int(snap.mode));
    settings.setValue(QLatin1String(SnapWithinKey), snap.withinMs);
}

void GatherPanel::setPickMode(bool on)
{
    m_pick->setChecked(on);
}

void GatherPanel::apply()
{
    if (m_setting)
        return;
    const auto display = GatherRenderer::Display(m_display->currentData().toInt());
    if (display != m_view->display())
        m_view->setDisplay(display);
    GatherRenderer::Scaling scaling;
    scaling.order = GatherRenderer::Order(m_order->currentData().toInt());
    scaling.perTrace = m_perTrace->isChecked();
    scaling.agcWindowMs = m_agc->value();
    scaling.gain = m_gain->value();
    scaling.clip = m_clip->value();
    const GatherRenderer::Scaling now = m_view->scaling();
    // Only a change of scaling scales the traces again.
    if (scaling.order != now.order || scaling.perTrace != now.perTrace || scaling.agcWindowMs != now.agcWindowMs ||
        scaling.gain != now.gain || scaling.clip != now.clip)
        m_view->setScaling(scaling);
}

void GatherPanel::setDisplay(GatherRenderer::Display display)
{
    m_display->setCurrentIndex(m_display->findData(int(display)));
}

void GatherPanel::setScaling(const GatherRenderer::Scaling &scaling)
{
    m_setting = true;
    m_order->setCurrentIndex(m_order->findData(int(scaling.order)));
    m_perTrace->setChecked(scaling.perTrace);
    m_agc->setValue(scaling.agcWindowMs);
    m_gain->setValue(scaling.gain);
    m_clip->setValue(scaling.clip);
    m_setting = false;
    apply();
}

void GatherPanel::setControlsBeside(bool beside)
{
    // Taken in the order they were laid out, row by row.
    QList<QWidget *> controls;
    while (QLayoutItem *item = m_controls->takeAt(0)) {
        if (item->widget())
            controls << item->widget();
        delete item;
    }
    // Above: two columns. Beside: one column right of the view, so that it
    // keeps the height.
    for (int i = 0; i < controls.size(); ++i)
        m_controls->addWidget(controls[i], beside ? i : i / 2, beside ? 0 : i % 2);
    m_controls->setRowStretch(controls.size(), beside ? 1 : 0);
    m_layout->setDirection(beside ? QBoxLayout::RightToLeft : QBoxLayout::TopToBottom);
}

} // namespace FbView
