#include "navigationbar.h"

#include "problempanel.h"
#include "qcdocument.h"
#include <fbview/shotlistmodel.h>
#include <fbview/shotlistview.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

QToolButton *navButton(const QString &objectName, const QString &text, const QString &toolTip)
{
    auto *button = new QToolButton;
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    return button;
}

// A row of widgets without margins, as one group of a WrappingRow.
QWidget *group(const QList<QWidget *> &widgets)
{
    auto *box = new QWidget;
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    return box;
}

// A threshold, named inside its box so that it fits beside the problem
// buttons; applied when a value is entered or stepped, not at every key
// typed, since each change judges the file again.
QDoubleSpinBox *thresholdSpin(const char *name, double value, const QString &prefix, const QString &toolTip)
{
    auto *spin = new QDoubleSpinBox;
    spin->setObjectName(QLatin1String(name));
    spin->setRange(0.1, 99.9);
    spin->setDecimals(1);
    spin->setSingleStep(0.5);
    spin->setPrefix(prefix);
    spin->setSuffix(QStringLiteral(" ms"));
    spin->setKeyboardTracking(false);
    spin->setValue(value);
    spin->setToolTip(toolTip);
    return spin;
}

} // namespace

NavigationBar::NavigationBar(QcDocument *document, ProblemPanel *problems, QWidget *scope)
    : m_document(document), m_problems(problems)
{
    setObjectName(QStringLiteral("navigation"));
    // The shot list as the viewer shows it, then the steps.
    m_shotCombo = new QComboBox;
    m_shotCombo->setObjectName(QStringLiteral("shotCombo"));
    m_shotCombo->setMaxVisibleItems(30);
    m_shotCombo->setStyleSheet(QStringLiteral("combobox-popup:0;"));
    m_shotCombo->setMinimumContentsLength(16);
    // Sized by that length, not by measuring every row.
    m_shotCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The viewer's list, which makes and places a row only when it is in
    // sight: a file may hold millions of shots.
    m_shotList = new ShotListModel(m_shotCombo);
    m_shotCombo->setView(new ShotListView);
    m_shotCombo->setModel(m_shotList);
    m_first = navButton(QStringLiteral("firstButton"), QStringLiteral("|<"), tr("First shot"));
    m_previous = navButton(QStringLiteral("previousButton"), QStringLiteral("<"), tr("Previous shot (Page Up)"));
    m_next = navButton(QStringLiteral("nextButton"), QStringLiteral(">"), tr("Next shot (Page Down)"));
    m_last = navButton(QStringLiteral("lastButton"), QStringLiteral(">|"), tr("Last shot"));
    m_previousProblem = navButton(QStringLiteral("previousProblemButton"), tr("Previous problem"),
                                  tr("Previous shot with a problem (Shift+N)"));
    m_nextProblem =
        navButton(QStringLiteral("nextProblemButton"), tr("Next problem"), tr("Next shot with a problem (N)"));
    const FbQc::Settings &settings = document->settings();
    m_outlierSpin = thresholdSpin("outlierMsSpin", settings.outlierMs, tr("Outlier > "),
                                  tr("A pick further than this from its shot's fitted curve is an outlier"));
    m_reciprocitySpin = thresholdSpin("reciprocityMsSpin", settings.reciprocityMs, tr("Pairs > "),
                                      tr("Reciprocal times or repeats that differ by more than this are flagged"));
    // The same groups in the same order whatever the language: a narrow
    // window breaks only between them.
    m_groups = {group({new QLabel(tr("Shot:")), m_shotCombo, m_first, m_previous, m_next, m_last}),
                group({m_previousProblem, m_nextProblem, m_outlierSpin, m_reciprocitySpin})};
    setRoom(m_groups.at(0), ShotEms * fontMetrics().height());
    setRoom(m_groups.at(1), StepsEms * fontMetrics().height());
    setTrailing(nullptr);

    const auto goTo = [this](int shot) { m_document->goTo(shot, QcDocument::Target()); };
    connect(m_shotCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, goTo);
    connect(m_first, &QToolButton::clicked, this, [goTo] { goTo(0); });
    connect(m_previous, &QToolButton::clicked, this, [this] { stepShot(-1); });
    connect(m_next, &QToolButton::clicked, this, [this] { stepShot(1); });
    connect(m_last, &QToolButton::clicked, this, [this, goTo] { goTo(m_document->shotCount() - 1); });
    connect(m_previousProblem, &QToolButton::clicked, this, [this] { m_problems->step(-1); });
    connect(m_nextProblem, &QToolButton::clicked, this, [this] { m_problems->step(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), scope), &QShortcut::activated, this, [this] { stepShot(-1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), scope), &QShortcut::activated, this, [this] { stepShot(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_N), scope), &QShortcut::activated, this,
            [this] { m_problems->step(1); });
    connect(new QShortcut(QKeySequence(Qt::SHIFT + Qt::Key_N), scope), &QShortcut::activated, this,
            [this] { m_problems->step(-1); });
    for (QDoubleSpinBox *spin : {m_outlierSpin, m_reciprocitySpin})
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] {
            emit thresholdsChosen(m_outlierSpin->value(), m_reciprocitySpin->value());
            m_document->setThresholds(m_outlierSpin->value(), m_reciprocitySpin->value());
        });
    connect(document, &QcDocument::currentShotChanged, this, [this](int shot) {
        const QSignalBlocker blocker(m_shotCombo);
        m_shotCombo->setCurrentIndex(shot);
        updateButtons();
    });
    connect(document, &QcDocument::thresholdsShown, this, &NavigationBar::showThresholds);
    connect(problems, &ProblemPanel::listChanged, this, &NavigationBar::updateButtons);
    updateButtons();
}

void NavigationBar::setTrailing(QWidget *trailing)
{
    if (trailing)
        setRoom(trailing, TrailingEms * fontMetrics().height());
    setGroups(trailing ? m_groups + QList<QWidget *>{trailing} : m_groups);
}

int NavigationBar::heightWith(int width, QWidget *group) const
{
    setRoom(group, TrailingEms * fontMetrics().height());
    return heightAt(width, m_groups + QList<QWidget *>{group});
}

void NavigationBar::showThresholds(const FbQc::Settings &settings)
{
    for (auto spin : {std::make_pair(m_outlierSpin, settings.outlierMs),
                      std::make_pair(m_reciprocitySpin, settings.reciprocityMs)}) {
        const QSignalBlocker blocker(spin.first);
        spin.first->setValue(spin.second);
    }
}

void NavigationBar::showShots(const std::shared_ptr<const QcData> &data)
{
    const QSignalBlocker blocker(m_shotCombo);
    // Both scans of millions of shots stay off the UI thread: the widest
    // text was found as the file was judged, the old list is freed on a worker.
    auto previous = std::make_shared<QVector<ShotIndexEntry>>();
    m_shotList->setShots(data->report.index(), previous.get());
    m_document->letGo(std::move(previous));
    m_shotCombo->setMinimumContentsLength(data->shotTextLength);
}

void NavigationBar::stepShot(int delta)
{
    if (m_document->shotCount() > 0)
        m_document->goTo(qBound(0, m_document->currentShot() + delta, m_document->shotCount() - 1),
                         QcDocument::Target());
}

void NavigationBar::updateButtons()
{
    const int n = m_document->shotCount();
    const int current = m_document->currentShot();
    const bool any = n > 0 && current >= 0;
    m_first->setEnabled(any && current > 0);
    m_previous->setEnabled(any && current > 0);
    m_next->setEnabled(any && current < n - 1);
    m_last->setEnabled(any && current < n - 1);
    m_previousProblem->setEnabled(any && m_problems->adjacentShot(current, -1) >= 0);
    m_nextProblem->setEnabled(any && m_problems->adjacentShot(current, 1) >= 0);
}
