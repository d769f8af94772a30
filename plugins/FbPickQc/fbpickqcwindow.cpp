#include "fbpickqcwindow.h"

#include "editsession.h"
#include "gatherview.h"
#include "imageexport.h"
#include "pickeditor.h"
#include "problemmodel.h"
#include "problempanel.h"
#include "qccsv.h"
#include "qcsummary.h"
#include "summarystack.h"
#include "wrappingrow.h"
#include "shotlistmodel.h"
#include "shotlistview.h"
#include "shotpanel.h"
#include "shotplot.h"
#include "surveymap.h"
#include "surveypanel.h"
#include "tracesdialog.h"
#include "tracespanel.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QSet>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTranslator>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The file the browse dialog last used in the project.
const QString browsedFileKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
// The window's own values.
const char *const outlierKey = "outlierMs";
const char *const reciprocityKey = "reciprocityMs";
const char *const fileKey = "fbName";
// The shot records under the picks, and the time of their first sample
// when the user set it (absent: the format's).
const char *const tracesKey = "tracesPath";
const char *const firstSampleKey = "tracesFirstSampleMs";
// How they are read and matched (TracesSource's map).
const char *const tracesReadingKey = "tracesReading";

// What a plot keeps on any screen: room for its picks and a title on one line.
const QSize PlotMinimum(320, 200);
constexpr int SplitUnit = ShotPanel::SplitUnit;

// A threshold as the project keeps it, or the default when it keeps none
// that makes sense.
double threshold(const QVariant &kept, double fallback)
{
    bool ok = false;
    const double ms = kept.toDouble(&ok);
    return ok && std::isfinite(ms) && ms > 0.0 ? ms : fallback;
}

// A kept time that may be zero or negative; NaN when none was kept.
double keptTime(const QVariant &kept)
{
    bool ok = false;
    const double ms = kept.toDouble(&ok);
    return ok && std::isfinite(ms) ? ms : qQNaN();
}

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

} // namespace

// English plural forms ("1 problem", "3 problems") come from a catalogue of
// their own, built into this library. The host installs it for an English
// user interface; it is installed here, once, when no catalogue gives the
// plural texts at all (a C locale, a language without a catalogue).
static void installPluralForms()
{
    static bool tried = false;
    if (tried)
        return;
    tried = true;
    Q_INIT_RESOURCE(FbPickQcWindow_translations);
    const QString probe = QCoreApplication::translate("ProblemPanel", "%Ln problem(s)", nullptr, 2);
    if (!probe.contains(QLatin1String("(s)")))
        return;
    auto *plurals = new QTranslator(QCoreApplication::instance());
    if (plurals->load(QStringLiteral(":/resource/translations/fbpickqc_en.qm")))
        QCoreApplication::installTranslator(plurals);
    else
        delete plurals;
}

FbPickQcWindow::FbPickQcWindow(QWidget *parent) : SorvDialog(parent)
{
    setObjectName(QStringLiteral("FbPickQcWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    installPluralForms();
    // The project's thresholds, for every load of this window.
    const PickQc::Settings defaults;
    m_document.setThresholds(threshold(SorvBaseUtil::projectValue(projectKey(outlierKey)), defaults.outlierMs),
                             threshold(SorvBaseUtil::projectValue(projectKey(reciprocityKey)), defaults.reciprocityMs));
    buildUi();
    updateTitle();
    updateButtons();
    const TracesSource traces = keptTraces();
    if (!traces.path.isEmpty())
        m_tracesPanel->openTraces(traces);
    resize(1400, 900);
    rememberGeometry(QStringLiteral("FbPickQcWindow"));
}

FbPickQcWindow::~FbPickQcWindow()
{
    // The editor is a child, so it goes with QWidget's part of the window,
    // after this part: its undo stack, cleaned as it goes, must not mark a
    // window that is no longer whole.
    disconnect(m_editor->session()->undoStack(), nullptr, this, nullptr);
}

QString FbPickQcWindow::projectKey(const char *name)
{
    return QStringLiteral("FbPickQc_FbPickQcWindow_") + QLatin1String(name);
}

QString FbPickQcWindow::helpIndex() const
{
    return QStringLiteral("fbpickqc.html");
}

void FbPickQcWindow::buildUi()
{
    m_shotPanel = new ShotPanel(&m_document);
    m_problemPanel = new ProblemPanel(&m_document);
    m_problemPanel->setOrder(SorvBaseUtil::projectValue(projectKey(ProblemPanel::orderKey), 0).toInt());
    m_surveyPanel = new SurveyPanel(&m_document);
    m_tracesPanel = new TracesPanel(&m_document);
    m_editor = new PickEditor(this, m_shotPanel->table(), m_shotPanel->tableModel());
    m_document.setSession(m_editor->session());

    auto *menuBar = new QMenuBar(this);
    buildMenus(menuBar);

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("messageLabel"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();

    m_loadingRow = new QWidget;
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("loadProgress"));
    m_progress->setRange(0, 100);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto *loading = new QHBoxLayout(m_loadingRow);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->addWidget(new QLabel(tr("Judging the picks...")));
    loading->addWidget(m_progress, 1);
    loading->addWidget(cancel);

    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("summaryLabel"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The progress takes the summary's place while a file loads, so that
    // the panes keep their size and nothing is laid out again.
    m_bottom = new SummaryStack;
    m_bottom->addWidget(m_summary);
    m_bottom->addWidget(m_loadingRow);
    m_bottom->addWidget(m_editor->taskRow());

    m_panes = new QSplitter(Qt::Horizontal);
    m_panes->setObjectName(QStringLiteral("panes"));
    m_side = new QSplitter(Qt::Vertical);
    m_side->setObjectName(QStringLiteral("sidePanes"));
    m_panelTabs = new QTabWidget;
    m_panelTabs->setObjectName(QStringLiteral("panelTabs"));
    m_placement = new QStackedWidget;
    m_placement->addWidget(m_panes);
    m_placement->addWidget(m_panelTabs);
    // The side-by-side arrangement's minimum would hold the window wider
    // than a small screen: below it the panels go to tabs instead.
    m_placement->setMinimumSize(2 * PlotMinimum.width(), PlotMinimum.height());

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(buildNavigation());
    m_compact = true; // so that the first placing places
    placePanels(false, false);
    layout->addWidget(m_message);
    layout->addWidget(m_placement, 1);
    layout->addWidget(m_bottom);

    connect(cancel, &QPushButton::clicked, this, &FbPickQcWindow::cancelLoading);
    connect(&m_document, &QcDocument::progressChanged, m_progress, &QProgressBar::setValue);
    connect(&m_document, &QcDocument::stateChanged, this, &FbPickQcWindow::showState);
    connect(&m_document, &QcDocument::message, this, &FbPickQcWindow::showMessage);
    connect(&m_document, &QcDocument::thresholdsShown, this, &FbPickQcWindow::showThresholds);
    connect(&m_document, &QcDocument::editsReset, m_editor, &PickEditor::setData);
    connect(&m_document, &QcDocument::fileShown, this, &FbPickQcWindow::showFile);
    connect(&m_document, &QcDocument::verdictsChanged, this, [this] {
        showSummary();
        updateButtons();
    });
    connect(&m_document, &QcDocument::currentShotChanged, this, [this](int shot) {
        const QSignalBlocker blocker(m_shotCombo);
        m_shotCombo->setCurrentIndex(shot);
        updateButtons();
    });
    connect(&m_document, &QcDocument::shotShown, this, [this](int shot) {
        updateButtons();
        emit shotShown(shot);
    });
    connect(&m_document, &QcDocument::surveyShown, this, &FbPickQcWindow::updateButtons);
    connect(&m_document, &QcDocument::loadFinished, this, &FbPickQcWindow::loadFinished);
    connect(m_shotPanel, &ShotPanel::shotNote, this, &FbPickQcWindow::showShotNote);
    connect(m_problemPanel, &ProblemPanel::listChanged, this, &FbPickQcWindow::updateButtons);
    connect(m_problemPanel, &ProblemPanel::orderChosen, this,
            [this](int order) { keep(ProblemPanel::orderKey, order); });
    connect(m_editor, &PickEditor::message, this, &FbPickQcWindow::showMessage);
    connect(m_tracesPanel, &TracesPanel::message, this, &FbPickQcWindow::showMessage);
    // The traces reduce time as the shot plot does, so that picks line up in both.
    if (auto *velocity = m_shotPanel->controls()->findChild<QLineEdit *>(QStringLiteral("reductionVelocity")))
        connect(velocity, &QLineEdit::editingFinished, this, [this, velocity] {
            m_tracesPanel->view()->setReductionVelocity(QLocale::c().toDouble(velocity->text()));
        });
    connect(m_tracesPanel, &TracesPanel::opened, this, [this](const TracesSource &source) {
        keep(tracesKey, source.path);
        keep(firstSampleKey,
             std::isfinite(source.firstSampleMs) ? QVariant(source.firstSampleMs) : QVariant(QString()));
        keep(tracesReadingKey, source.toVariant());
    });
    connect(m_editor, &PickEditor::workingChanged, &m_document, &QcDocument::setSaving);
    connect(m_editor->session()->undoStack(), &QUndoStack::cleanChanged, this, &FbPickQcWindow::updateTitle);
    // The plots give up the room their axes would like rather than push the
    // window off a small screen, but never below what shows a shot.
    const QList<QwtPlot *> plots = findChildren<QwtPlot *>();
    for (QwtPlot *plot : plots)
        plot->setMinimumSize(160, 120);
    m_shotPanel->plot()->setMinimumSize(PlotMinimum);
}

void FbPickQcWindow::buildMenus(QWidget *bar)
{
    auto *menuBar = static_cast<QMenuBar *>(bar);
    QMenu *fileMenu = menuBar->addMenu(tr("&File"));
    QAction *open = fileMenu->addAction(tr("&Open..."), this, &FbPickQcWindow::openFileDialog);
    open->setShortcut(QKeySequence::Open);
    QAction *openTraces = fileMenu->addAction(tr("Open &Traces..."), this, &FbPickQcWindow::openTracesDialog);
    openTraces->setObjectName(QStringLiteral("actionOpenTraces"));
    fileMenu->addSeparator();
    m_exportActions << fileMenu->addAction(tr("Export &Plot..."), this, [this] {
        exportDialog(m_shotPanel->plot(), tr("Export Plot"), QStringLiteral("shot-%1").arg(currentShot() + 1));
    }) << fileMenu->addAction(tr("Export &Map..."), this, [this] {
        exportDialog(m_surveyPanel->map(), tr("Export Map"), QStringLiteral("map"));
    }) << fileMenu->addAction(tr("Export P&roblems as CSV..."), this, &FbPickQcWindow::exportProblemsDialog);
    fileMenu->addSeparator();
    QAction *closeAction = fileMenu->addAction(tr("&Close"), this, &QWidget::close);
    m_editor->addFileActions(fileMenu, closeAction);
    menuBar->addMenu(m_editor->createEditMenu(menuBar));
}

QWidget *FbPickQcWindow::buildNavigation()
{
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
    // The thresholds, named inside their boxes so that they fit beside the
    // problem buttons; applied when a value is entered or stepped, not at
    // every key typed, since each change judges the file again.
    const auto thresholdSpin = [](const char *name, double value, const QString &prefix, const QString &toolTip) {
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
    };
    const PickQc::Settings &settings = m_document.settings();
    m_outlierSpin = thresholdSpin("outlierMsSpin", settings.outlierMs, tr("Outlier > "),
                                  tr("A pick further than this from its shot's fitted curve is an outlier"));
    m_reciprocitySpin = thresholdSpin("reciprocityMsSpin", settings.reciprocityMs, tr("Pairs > "),
                                      tr("Reciprocal times or repeats that differ by more than this are flagged"));

    m_navigation = new WrappingRow;
    m_navigation->setObjectName(QStringLiteral("navigation"));
    m_navGroups = {group({new QLabel(tr("Shot:")), m_shotCombo, m_first, m_previous, m_next, m_last}),
                   group({m_previousProblem, m_nextProblem, m_outlierSpin, m_reciprocitySpin})};

    connect(m_shotCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int row) { goToShot(row); });
    connect(m_first, &QToolButton::clicked, this, [this] { goToShot(0); });
    connect(m_previous, &QToolButton::clicked, this, [this] { stepShot(-1); });
    connect(m_next, &QToolButton::clicked, this, [this] { stepShot(1); });
    connect(m_last, &QToolButton::clicked, this, [this] { goToShot(m_document.shotCount() - 1); });
    connect(m_previousProblem, &QToolButton::clicked, this, [this] { m_problemPanel->step(-1); });
    connect(m_nextProblem, &QToolButton::clicked, this, [this] { m_problemPanel->step(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), this), &QShortcut::activated, this, [this] { stepShot(-1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), this), &QShortcut::activated, this, [this] { stepShot(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_N), this), &QShortcut::activated, this,
            [this] { m_problemPanel->step(1); });
    connect(new QShortcut(QKeySequence(Qt::SHIFT + Qt::Key_N), this), &QShortcut::activated, this,
            [this] { m_problemPanel->step(-1); });
    for (QDoubleSpinBox *spin : {m_outlierSpin, m_reciprocitySpin})
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] {
            keep(outlierKey, m_outlierSpin->value());
            keep(reciprocityKey, m_reciprocitySpin->value());
            m_document.setThresholds(m_outlierSpin->value(), m_reciprocitySpin->value());
        });
    return m_navigation;
}

void FbPickQcWindow::placePanels(bool compact, bool controlsInCorner)
{
    // The plot's controls sit in the tabs' corner when compact and there
    // is room beside the tabs, saving a line of the navigation; else they
    // end the navigation.
    if (m_controlsInCorner && !controlsInCorner)
        m_panelTabs->setCornerWidget(nullptr);
    m_navigation->setGroups(controlsInCorner ? m_navGroups : m_navGroups + QList<QWidget *>{m_shotPanel->controls()});
    if (controlsInCorner) {
        m_panelTabs->setCornerWidget(m_shotPanel->controls());
        m_shotPanel->controls()->show();
    }
    m_controlsInCorner = controlsInCorner;
    if (compact == m_compact)
        return;
    m_compact = compact;
    // A panel has one place at a time: taken from the other arrangement.
    if (compact) {
        m_panelTabs->addTab(m_shotPanel, tr("Shot"));
        m_panelTabs->addTab(m_problemPanel, tr("Problems"));
        m_panelTabs->addTab(m_surveyPanel, tr("Survey"));
        m_panelTabs->addTab(m_tracesPanel, tr("Traces"));
        m_shotPanel->setOrientation(Qt::Horizontal);
        m_placement->setCurrentWidget(m_panelTabs);
    } else {
        m_panelTabs->clear();
        m_side->addWidget(m_surveyPanel);
        m_side->addWidget(m_problemPanel);
        m_panes->addWidget(m_shotPanel);
        m_panes->addWidget(m_tracesPanel);
        m_panes->addWidget(m_side);
        // Panels back from the tabs come with no width of their own: the
        // shot, the traces beside it and the map over the problems share
        // the width so that each keeps room above its narrowest down to
        // the smallest window that is not tabbed.
        const int shares[] = {46, 31, 47};
        for (int i = 0; i < 3; ++i)
            m_panes->setStretchFactor(i, shares[i]);
        m_panes->setSizes({shares[0] * SplitUnit, shares[1] * SplitUnit, shares[2] * SplitUnit});
        m_side->setSizes({SplitUnit, SplitUnit});
        m_shotPanel->setOrientation(Qt::Vertical);
        m_placement->setCurrentWidget(m_panes);
        // Pages a tab hid show again side by side.
        for (QWidget *panel : {static_cast<QWidget *>(m_shotPanel), static_cast<QWidget *>(m_problemPanel),
                               static_cast<QWidget *>(m_surveyPanel), static_cast<QWidget *>(m_tracesPanel)})
            panel->show();
    }
}

void FbPickQcWindow::resizeEvent(QResizeEvent *event)
{
    const QSize size = event->size();
    const bool compact = size.width() < CompactWidth || size.height() < CompactHeight;
    if (compact != m_compact)
        placePanels(compact, false);
    // The tabs' width is known once they are placed.
    const int besideTabs = m_panelTabs->tabBar()->sizeHint().width() + m_shotPanel->controls()->sizeHint().width() +
                           2 * layout()->margin() + 2 * layout()->spacing();
    const bool inCorner = compact && size.width() >= besideTabs;
    if (inCorner != m_controlsInCorner)
        placePanels(compact, inCorner);
    SorvDialog::resizeEvent(event);
}

void FbPickQcWindow::openTracesDialog()
{
    TracesDialog dialog(this);
    dialog.setSource(m_tracesPanel->tracesPath().isEmpty() ? keptTraces() : m_tracesPanel->source());
    if (dialog.exec() == QDialog::Accepted)
        m_tracesPanel->openTraces(dialog.source());
}

TracesSource FbPickQcWindow::keptTraces() const
{
    TracesSource source = TracesSource::fromVariant(SorvBaseUtil::projectValue(projectKey(tracesReadingKey)));
    source.path = SorvBaseUtil::projectValue(projectKey(tracesKey)).toString();
    source.firstSampleMs = keptTime(SorvBaseUtil::projectValue(projectKey(firstSampleKey)));
    return source;
}

void FbPickQcWindow::goToShot(int shot, qint32 record)
{
    QcDocument::Target target;
    target.record = record;
    m_document.goTo(shot, target);
}

void FbPickQcWindow::stepShot(int delta)
{
    if (m_document.shotCount() > 0)
        goToShot(qBound(0, m_document.currentShot() + delta, m_document.shotCount() - 1));
}

void FbPickQcWindow::updateButtons()
{
    const int n = m_document.shotCount();
    const int current = m_document.currentShot();
    const bool any = n > 0 && current >= 0;
    m_first->setEnabled(any && current > 0);
    m_previous->setEnabled(any && current > 0);
    m_next->setEnabled(any && current < n - 1);
    m_last->setEnabled(any && current < n - 1);
    m_previousProblem->setEnabled(any && m_problemPanel->adjacentShot(current, -1) >= 0);
    m_nextProblem->setEnabled(any && m_problemPanel->adjacentShot(current, 1) >= 0);
    for (QAction *action : qAsConst(m_exportActions))
        action->setEnabled(any);
}

void FbPickQcWindow::showState(QcDocument::State state)
{
    switch (state) {
    case QcDocument::Loading:
    case QcDocument::JudgingAgain:
        // Judging again from what the pass kept cannot say how far it got.
        m_progress->setRange(0, state == QcDocument::JudgingAgain ? 0 : 100);
        m_bottom->setCurrentWidget(m_loadingRow);
        break;
    case QcDocument::Saving:
        m_bottom->setCurrentWidget(m_editor->taskRow());
        break;
    default:
        m_bottom->setCurrentWidget(m_summary);
        break;
    }
}

void FbPickQcWindow::showFile(const std::shared_ptr<const QcData> &data, bool newFile)
{
    updateTitle();
    showSummary();
    if (newFile) {
        keep(fileKey, data->fileName);
        const QSignalBlocker blocker(m_shotCombo);
        m_shotList->setShots(data->report.index);
        m_shotCombo->setMinimumContentsLength(m_shotList->longestTextLength());
    }
    updateButtons();
}

void FbPickQcWindow::showSummary()
{
    m_summary->setText(QcSummary::text(*m_document.data()));
    m_bottom->fit();
}

void FbPickQcWindow::updateTitle()
{
    // [*] marks edits that no corrected copy holds.
    const std::shared_ptr<const QcData> &data = m_document.data();
    setWindowTitle((data ? tr("FB Pick QC - %1").arg(QFileInfo(data->fileName).fileName()) : tr("FB Pick QC")) +
                   QStringLiteral("[*]"));
    setWindowModified(m_editor && m_editor->session()->isModified());
}

void FbPickQcWindow::openRemembered()
{
    // The browse dialog's file, else this window's last, saying that the
    // browsed one is gone; a file that is gone with nothing in its place
    // is still opened, to say why it cannot be.
    const QString browsed = SorvBaseUtil::projectValue(browsedFileKey).toString();
    const QString own = SorvBaseUtil::projectValue(projectKey(fileKey)).toString();
    if (!browsed.isEmpty() && !QFileInfo(browsed).isFile() && QFileInfo(own).isFile()) {
        openFile(own);
        m_document.setNote(tr("%1, the file last browsed, is gone; %2 is opened instead.")
                               .arg(QDir::toNativeSeparators(browsed), QDir::toNativeSeparators(own)));
        return;
    }
    const QString name = browsed.isEmpty() ? own : browsed;
    if (name.isEmpty())
        openFileDialog();
    else
        openFile(name);
}

void FbPickQcWindow::openFileDialog()
{
    const std::shared_ptr<const QcData> &data = m_document.data();
    const QString dir =
        data ? QFileInfo(data->fileName).absolutePath() : SorvProjectManager::instance().define().projectDir;
    const QString name =
        QFileDialog::getOpenFileName(this, tr("Open"), dir, QStringLiteral("FB files (*.cal *.fb *.fit)"));
    if (!name.isEmpty())
        openFile(name);
}

void FbPickQcWindow::openFile(const QString &fileName)
{
    if (!m_editor->mayDiscardEdits([this, fileName] { openFile(fileName); }))
        return;
    m_document.open(fileName);
}

bool FbPickQcWindow::isLoading() const
{
    return m_document.isLoading();
}

void FbPickQcWindow::cancelLoading()
{
    m_document.cancel();
}

void FbPickQcWindow::exportDialog(QwtPlot *plot, const QString &title, const QString &what)
{
    // Beside the file, named after it and what is drawn, as a corrected copy is.
    const std::shared_ptr<const QcData> &data = m_document.data();
    const QFileInfo file(data ? data->fileName : QString());
    const QString dir = data ? file.absolutePath() : SorvProjectManager::instance().define().projectDir;
    const QString suggested =
        QDir(dir).filePath(file.completeBaseName() + QLatin1Char('-') + what + QStringLiteral(".png"));
    const QString name = QFileDialog::getSaveFileName(
        this, title, suggested, tr("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    ImageExport image;
    if (!name.isEmpty() && !image.write(plot, name, ImageExport::sizeFor(plot->size())))
        showMessage(image.errorString(), true);
}

void FbPickQcWindow::exportProblemsDialog()
{
    const std::shared_ptr<const QcData> &data = m_document.data();
    if (!data)
        return;
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Export Problems to Folder"),
                                                          QFileInfo(data->fileName).absolutePath());
    QcCsv::Tables tables;
    if (!dir.isEmpty() && !tables.write(dir, data->report))
        showMessage(tables.errorString(), true);
}

void FbPickQcWindow::reject()
{
    if (!m_editor->mayDiscardEdits([this] { close(); }))
        return;
    SorvDialog::reject();
}

void FbPickQcWindow::showMessage(const QString &text, bool error)
{
    m_shotNote = false;
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold;")
                                   : QStringLiteral("color: #805000;"));
    m_message->setVisible(!text.isEmpty());
}

void FbPickQcWindow::showShotNote(const QString &text)
{
    // A note about the shot shown before goes with it; others stay.
    if (text.isEmpty() && !m_shotNote)
        return;
    showMessage(text, false);
    m_shotNote = !text.isEmpty();
}

void FbPickQcWindow::keep(const char *name, const QVariant &value)
{
    if (SorvBaseUtil::setProjectValue(projectKey(name), value))
        return;
    // Said once per project folder: every later change would say it again.
    static QSet<QString> told;
    const QString dir = SorvProjectManager::instance().define().projectDir;
    if (told.contains(dir))
        return;
    told.insert(dir);
    qWarning("%s cannot be written: the QC window's settings are kept for this run only",
             qPrintable(QDir::toNativeSeparators(dir)));
    const QString note = tr("The project folder %1 cannot be written: the thresholds and the file are kept for "
                            "this run only.")
                             .arg(QDir::toNativeSeparators(dir));
    const bool error = m_message->styleSheet().contains(QLatin1String("bold"));
    showMessage(m_message->text().isEmpty() ? note : m_message->text() + QLatin1Char(' ') + note, error);
}

void FbPickQcWindow::showThresholds(const PickQc::Settings &settings)
{
    for (auto spin : {std::make_pair(m_outlierSpin, settings.outlierMs),
                      std::make_pair(m_reciprocitySpin, settings.reciprocityMs)}) {
        const QSignalBlocker blocker(spin.first);
        spin.first->setValue(spin.second);
    }
    keep(outlierKey, settings.outlierMs);
    keep(reciprocityKey, settings.reciprocityMs);
}
