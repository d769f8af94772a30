#include "fbpickqcwindow.h"

#include "editsession.h"
#include <fbview/gatherview.h>
#include "messageline.h"
#include "navigationbar.h"
#include "pickeditor.h"
#include "problempanel.h"
#include "qcactions.h"
#include "shotpanel.h"
#include <fbview/shotplot.h>
#include "statusarea.h"
#include "surveypanel.h"
#include "tracespanel.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTranslator>
#include <QUndoStack>
#include <QVBoxLayout>

#include <cmath>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

namespace {

// The file the browse dialog last used in the project.
const QString browsedFileKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
// The window's own values.
const char *const outlierKey = "outlierMs";
const char *const reciprocityKey = "reciprocityMs";
const char *const fileKey = "fbName";

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
    const FbQc::Settings defaults;
    m_document.setThresholds(threshold(SorvBaseUtil::projectValue(projectKey(outlierKey)), defaults.outlierMs),
                             threshold(SorvBaseUtil::projectValue(projectKey(reciprocityKey)), defaults.reciprocityMs));
    buildUi();
    updateTitle();
    updateButtons();
    m_actions->reopenTraces();
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
    m_shotPanel->setAsPicked(SorvBaseUtil::projectValue(projectKey(ShotPanel::asPickedKey), false).toBool());
    m_problemPanel = new ProblemPanel(&m_document);
    m_problemPanel->setOrder(SorvBaseUtil::projectValue(projectKey(ProblemPanel::orderKey), 0).toInt());
    m_surveyPanel = new SurveyPanel(&m_document);
    m_tracesPanel = new TracesPanel(&m_document);
    m_editor = new PickEditor(this, m_shotPanel->table(), m_shotPanel->tableModel());
    m_document.setSession(m_editor->session());

    m_actions = new QcActions(this, &m_document, m_shotPanel, m_surveyPanel, m_tracesPanel, m_editor);
    m_navigation = new NavigationBar(&m_document, m_problemPanel, this);

    m_message = new MessageLine;

    // The progress takes the summary's place while a file loads, so that
    // the panes keep their size and nothing is laid out again.
    m_bottom = new StatusArea(&m_document, m_editor->taskRow());

    m_panes = new QSplitter(Qt::Horizontal);
    m_panes->setObjectName(QStringLiteral("panes"));
    m_side = new QSplitter(Qt::Vertical);
    m_side->setObjectName(QStringLiteral("sidePanes"));
    m_panelTabs = new QTabWidget;
    m_panelTabs->setObjectName(QStringLiteral("panelTabs"));
    // Once the layout has settled: the user may have moved the splitter
    // over the table, or the summary grown.
    m_measure = new QTimer(this);
    m_measure->setSingleShot(true);
    m_measure->setInterval(0);
    connect(m_measure, &QTimer::timeout, this, &FbPickQcWindow::measureSideBySide);
    m_placement = new QStackedWidget;
    m_placement->addWidget(m_panes);
    m_placement->addWidget(m_panelTabs);
    // The side-by-side arrangement's minimum would hold the window wider
    // than a small screen: below it the panels go to tabs instead.
    m_placement->setMinimumSize(2 * PlotMinimum.width(), PlotMinimum.height());

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(m_actions->menuBar());
    layout->addWidget(m_navigation);
    m_compact = true; // so that the first placing places
    placePanels(false, false);
    layout->addWidget(m_message);
    layout->addWidget(m_placement, 1);
    layout->addWidget(m_bottom);

    connect(&m_document, &QcDocument::message, m_message, &MessageLine::showMessage);
    connect(&m_document, &QcDocument::thresholdsShown, this, [this](const FbQc::Settings &settings) {
        keep(outlierKey, settings.outlierMs);
        keep(reciprocityKey, settings.reciprocityMs);
    });
    connect(m_navigation, &NavigationBar::thresholdsChosen, this, [this](double outlierMs, double reciprocityMs) {
        keep(outlierKey, outlierMs);
        keep(reciprocityKey, reciprocityMs);
    });
    connect(m_actions, &QcActions::message, m_message, &MessageLine::showMessage);
    connect(&m_document, &QcDocument::editsReset, m_editor, &PickEditor::setData);
    connect(&m_document, &QcDocument::fileShown, this, &FbPickQcWindow::showFile);
    connect(&m_document, &QcDocument::verdictsChanged, this, &FbPickQcWindow::updateButtons);
    connect(&m_document, &QcDocument::currentShotChanged, this, &FbPickQcWindow::updateButtons);
    connect(&m_document, &QcDocument::shotShown, this, [this](int shot) {
        // A file's first shot brings the plot's title and the table's
        // header: side by side is measured anew, in tabs at the next resize.
        if (m_newFile) {
            m_newFile = false;
            m_sideChrome = -1;
            m_measure->start();
        }
        updateButtons();
        emit shotShown(shot);
    });
    connect(&m_document, &QcDocument::surveyShown, this, &FbPickQcWindow::updateButtons);
    connect(&m_document, &QcDocument::loadFinished, this, &FbPickQcWindow::loadFinished);
    connect(m_shotPanel, &ShotPanel::shotNote, m_message, &MessageLine::showShotNote);
    connect(m_problemPanel, &ProblemPanel::orderChosen, this,
            [this](int order) { keep(ProblemPanel::orderKey, order); });
    connect(m_shotPanel, &ShotPanel::asPickedChosen, this,
            [this](bool asPicked) { keep(ShotPanel::asPickedKey, asPicked); });
    connect(m_editor, &PickEditor::message, m_message, &MessageLine::showMessage);
    connect(m_tracesPanel, &TracesPanel::message, m_message, &MessageLine::showMessage);
    // The traces reduce time as the shot plot does, so that picks line up in both.
    if (auto *velocity = m_shotPanel->controls()->findChild<QLineEdit *>(QStringLiteral("reductionVelocity")))
        connect(velocity, &QLineEdit::editingFinished, this, [this, velocity] {
            m_tracesPanel->view()->setReductionVelocity(QLocale::c().toDouble(velocity->text()));
        });
    connect(m_panelTabs, &QTabWidget::currentChanged, this, &FbPickQcWindow::enablePlotControls);
    connect(m_tracesPanel, &TracesPanel::openRequested, m_actions, &QcActions::openTracesDialog);
    connect(m_tracesPanel, &TracesPanel::slimChanged, this, &FbPickQcWindow::sharePanes);
    connect(m_tracesPanel, &TracesPanel::opened, this, [this](const TracesSource &source) {
        keep(QcActions::TracesKey, source.path);
        keep(QcActions::FirstSampleKey,
             std::isfinite(source.firstSampleMs) ? QVariant(source.firstSampleMs) : QVariant(QString()));
        keep(QcActions::TracesReadingKey, source.toVariant());
    });
    connect(m_editor, &PickEditor::workingChanged, &m_document, &QcDocument::setSaving);
    connect(m_editor->session()->undoStack(), &QUndoStack::cleanChanged, this, &FbPickQcWindow::updateTitle);
    // The plots give up the room their axes would like rather than push the
    // window off a small screen, but never below what shows a shot.
    const QList<QwtPlot *> plots = findChildren<QwtPlot *>();
    for (QwtPlot *plot : plots)
        plot->setMinimumSize(160, 120);
    m_shotPanel->plot()->setMinimumSize(PlotMinimum);
    m_shotPanel->plot()->canvas()->installEventFilter(this);
}

bool FbPickQcWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && !m_compact && watched == m_shotPanel->plot()->canvas())
        m_measure->start();
    return SorvDialog::eventFilter(watched, event);
}

void FbPickQcWindow::placePanels(bool compact, bool controlsInCorner)
{
    // The plot's controls sit in the tabs' corner when compact and there
    // is room beside the tabs, saving a line of the navigation; else they
    // end the navigation.
    if (m_controlsInCorner && !controlsInCorner)
        m_panelTabs->setCornerWidget(nullptr);
    m_navigation->setTrailing(controlsInCorner ? nullptr : m_shotPanel->controls());
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
        m_panelTabs->setCurrentIndex(m_tab);
        m_tracesPanel->setSlimWhenEmpty(false);
        m_tracesPanel->setInTab(true);
        m_shotPanel->setOrientation(Qt::Horizontal);
        m_placement->setCurrentWidget(m_panelTabs);
    } else {
        m_tab = m_panelTabs->currentIndex();
        m_panelTabs->clear();
        m_side->addWidget(m_surveyPanel);
        m_side->addWidget(m_problemPanel);
        m_panes->addWidget(m_shotPanel);
        m_panes->addWidget(m_tracesPanel);
        m_panes->addWidget(m_side);
        m_tracesPanel->setSlimWhenEmpty(true);
        m_tracesPanel->setInTab(false);
        sharePanes();
        m_side->setSizes({SplitUnit, SplitUnit});
        m_shotPanel->setOrientation(Qt::Vertical);
        m_placement->setCurrentWidget(m_panes);
        enablePlotControls();
        // Pages a tab hid show again side by side.
        for (QWidget *panel : {static_cast<QWidget *>(m_shotPanel), static_cast<QWidget *>(m_problemPanel),
                               static_cast<QWidget *>(m_surveyPanel), static_cast<QWidget *>(m_tracesPanel)})
            panel->show();
    }
}

void FbPickQcWindow::enablePlotControls()
{
    // In tabs, the plot's controls act only on the tabs they show with:
    // the plot, and the traces for the reduction velocity. In the tabs'
    // corner they go where none acts; in the tool bar they stay, greyed,
    // so that its lines do not break anew on every tab.
    const QWidget *shown = m_compact ? m_panelTabs->currentWidget() : m_shotPanel;
    const bool acts = shown == m_shotPanel || shown == m_tracesPanel;
    m_shotPanel->controls()->setEnabled(acts);
    m_shotPanel->controls()->setVisible(acts || !m_controlsInCorner);
    m_shotPanel->setPlotShown(shown == m_shotPanel);
}

void FbPickQcWindow::sharePanes()
{
    if (m_compact)
        return;
    // Panels back from the tabs come with no width of their own: the
    // shot, the traces beside it and the map over the problems share
    // the width so that each keeps room above its narrowest down to
    // the smallest window that is not tabbed. A slim traces strip keeps
    // its width; the shot and the problem list's titles share the rest.
    const bool slim = m_tracesPanel->isSlim();
    const int shares[] = {slim ? 61 : 46, slim ? 0 : 31, slim ? 63 : 47};
    for (int i = 0; i < 3; ++i)
        m_panes->setStretchFactor(i, shares[i]);
    m_panes->setSizes(
        {shares[0] * SplitUnit, slim ? m_tracesPanel->maximumWidth() : shares[1] * SplitUnit, shares[2] * SplitUnit});
}

void FbPickQcWindow::resizeEvent(QResizeEvent *event)
{
    placeForSize(event->size());
    SorvDialog::resizeEvent(event);
}

void FbPickQcWindow::showEvent(QShowEvent *event)
{
    // Laid out for the first time: side by side is measured before it is
    // drawn, and left at once if the plot would be short.
    placeForSize(size());
    SorvDialog::showEvent(event);
}

void FbPickQcWindow::placeForSize(const QSize &size)
{
    if (m_placing)
        return;
    m_placing = true;
    const bool wide = size.width() >= CompactWidth;
    // Side by side the plot's controls end the tool bar unfolded.
    if (wide)
        m_shotPanel->setControlsFolded(false);
    bool compact = !wide;
    if (wide && m_sideChrome >= 0) {
        const int spare = m_compact ? BackToSideLines * fontMetrics().lineSpacing() : 0;
        compact = sideBySideCanvas(size) < LeastCanvasHeight + spare;
    }
    placeControls(compact, size.width());
    if (!compact && m_sideChrome < 0 && isVisible()) {
        // Laid out now, so that tabs, if they must be, are the first thing drawn.
        for (int pass = 0; pass < 3 && layout()->activate(); ++pass) { }
        measureSideBySide();
        if (sideBySideCanvas(size) < LeastCanvasHeight)
            placeControls(true, size.width());
    }
    m_placing = false;
}

void FbPickQcWindow::placeControls(bool compact, int width)
{
    if (compact != m_compact)
        placePanels(compact, false);
    if (!compact)
        return;
    // Beside the tabs when there is room, folded if that makes it; else
    // at the tool bar's end.
    const int room =
        width - m_panelTabs->tabBar()->sizeHint().width() - 2 * layout()->margin() - 2 * qMax(layout()->spacing(), 0);
    const bool folded = m_shotPanel->controlsWidth(false) > room;
    m_shotPanel->setControlsFolded(folded);
    const bool inCorner = m_shotPanel->controlsWidth(folded) <= room;
    if (inCorner != m_controlsInCorner)
        placePanels(compact, inCorner);
    enablePlotControls();
}

void FbPickQcWindow::measureSideBySide()
{
    if (m_compact || !isVisible())
        return;
    // A message line comes and goes: the panes are placed as if it were not there.
    const int message = m_message->isVisible() ? m_placement->y() - m_message->y() : 0;
    m_sideChrome =
        height() - m_shotPanel->plot()->canvas()->height() - m_navigation->height() - m_bottom->height() - message;
}

int FbPickQcWindow::sideBySideCanvas(const QSize &size) const
{
    const QMargins margins = layout()->contentsMargins();
    const int width = size.width() - margins.left() - margins.right();
    return size.height() - m_sideChrome - m_navigation->heightWith(width, m_shotPanel->controls()) -
           m_bottom->heightAt(width);
}

void FbPickQcWindow::goToShot(int shot, qint32 record)
{
    QcDocument::Target target;
    target.record = record;
    m_document.goTo(shot, target);
}

void FbPickQcWindow::updateButtons()
{
    m_navigation->updateButtons();
    m_actions->updateActions();
}

void FbPickQcWindow::showFile(const std::shared_ptr<const QcData> &data, bool newFile)
{
    updateTitle();
    if (newFile) {
        m_newFile = true;
        keep(fileKey, data->fileName);
        m_navigation->showShots(data);
    }
    updateButtons();
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
        m_actions->openFileDialog();
    else
        openFile(name);
}

void FbPickQcWindow::openFile(const QString &fileName)
{
    if (!m_editor->mayDiscardEdits([this, fileName] { openFile(fileName); }))
        return;
    m_document.open(fileName);
}

void FbPickQcWindow::reject()
{
    if (!m_editor->mayDiscardEdits([this] { close(); }))
        return;
    SorvDialog::reject();
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
    m_message->append(note);
}
