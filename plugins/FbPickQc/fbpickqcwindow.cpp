#include "fbpickqcwindow.h"

#include "fbcolumns.h"
#include "imageexport.h"
#include "pickeditor.h"
#include "problemmodel.h"
#include "qccsv.h"
#include "qcmapvalues.h"
#include "shotlistmodel.h"
#include "shotlistview.h"
#include "shotplot.h"
#include "shotrecords.h"
#include "shottabledelegate.h"
#include "shottablemodel.h"
#include "stationresidualview.h"
#include "stationshotview.h"
#include "surveymap.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScrollBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtMath>

#include <qwt_plot_zoomer.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

// The file the browse dialog last used in the project.
const QString browsedFileKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
// The window's own values.
const char *const outlierKey = "outlierMs";
const char *const reciprocityKey = "reciprocityMs";
const char *const fileKey = "fbName";
const char *const orderKey = "problemOrder";

// fb_time at full precision, with room for the outlier ring.
constexpr int FbTimeWidth = 110;
// Shots named in the summary's list of the shots in the most flagged pairs.
constexpr int MostFlaggedListed = 3;

// A threshold as the project keeps it, or the default when it keeps none
// that makes sense.
double threshold(const QVariant &kept, double fallback)
{
    bool ok = false;
    const double ms = kept.toDouble(&ok);
    return ok && std::isfinite(ms) && ms > 0.0 ? ms : fallback;
}

// A share of a count as a percentage that never reads 0% for a share that
// is not 0: one decimal, or one significant digit below 0.1%.
QString percentText(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return QString();
    const double percent = 100.0 * double(part) / double(whole);
    const QLocale locale;
    if (part == 0 || percent >= 0.1)
        return locale.toString(percent, 'f', 1) + QLatin1Char('%');
    return locale.toString(percent, 'g', 1) + QLatin1Char('%');
}

// A count for tr()'s %n, which is an int.
int plural(qint64 n)
{
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

// Groups of controls laid out as words are: as many on a line as fit, the
// rest on the next, so that the window fits a small screen.
class WrappingRow : public QWidget
{
public:
    explicit WrappingRow(const QList<QBoxLayout *> &groups)
    {
        m_lines = new QVBoxLayout(this);
        m_lines->setContentsMargins(0, 0, 0, 0);
        for (QBoxLayout *group : groups) {
            auto *box = new QWidget(this);
            group->setContentsMargins(0, 0, 0, 0);
            box->setLayout(group);
            m_groups.append(box);
        }
        arrange(QWIDGETSIZE_MAX);
    }
    QSize minimumSizeHint() const override
    {
        // One group a line at the narrowest.
        int width = 0, height = -m_lines->spacing();
        for (const QWidget *group : m_groups) {
            width = qMax(width, group->minimumSizeHint().width());
            height += group->sizeHint().height() + m_lines->spacing();
        }
        return QSize(width, height);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        arrange(width());
        QWidget::resizeEvent(event);
    }

private:
    // Which groups go on which line at a width.
    QList<QList<int>> lines(int width) const
    {
        QList<QList<int>> result;
        int used = 0;
        for (int g = 0; g < m_groups.size(); ++g) {
            const int w = m_groups.at(g)->sizeHint().width();
            if (result.isEmpty() || used + m_lines->spacing() + w > width) {
                result.append(QList<int>());
                used = 0;
            } else {
                used += m_lines->spacing();
            }
            result.last().append(g);
            used += w;
        }
        return result;
    }
    void arrange(int width)
    {
        const QList<QList<int>> wanted = lines(width);
        if (wanted == m_arranged)
            return;
        m_arranged = wanted;
        // The groups stay children of this widget; only the lines change.
        while (QLayoutItem *item = m_lines->takeAt(0)) {
            if (QLayout *line = item->layout()) {
                while (QLayoutItem *inner = line->takeAt(0))
                    delete inner;
            }
            delete item;
        }
        for (const QList<int> &line : wanted) {
            auto *row = new QHBoxLayout;
            for (int g : line)
                row->addWidget(m_groups.at(g));
            row->addStretch(1);
            m_lines->addLayout(row);
        }
        updateGeometry();
    }

    QList<QWidget *> m_groups;
    QVBoxLayout *m_lines;
    QList<QList<int>> m_arranged;
};

// The summary and, while a file loads, the progress in its place. As high as
// the summary at its width whichever shows, so that the panes above keep
// their size: a stack sizes a hidden word-wrapped label by a hint made for
// no width in particular.
class SummaryStack : public QStackedWidget
{
public:
    void fit()
    {
        int height = 0;
        for (int i = 0; i < count(); ++i) {
            const QWidget *page = widget(i);
            height = qMax(height, page->hasHeightForWidth() ? page->heightForWidth(width())
                                                             : page->sizeHint().height());
        }
        if (height != maximumHeight())
            setFixedHeight(height);
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QStackedWidget::resizeEvent(event);
        fit();
    }
};

QToolButton *navButton(const QString &objectName, const QString &text, const QString &toolTip)
{
    auto *button = new QToolButton;
    button->setObjectName(objectName);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    return button;
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
    const QString probe = QCoreApplication::translate("FbPickQcWindow", "%Ln problem(s)", nullptr, 2);
    if (!probe.contains(QLatin1String("(s)")))
        return;
    auto *plurals = new QTranslator(QCoreApplication::instance());
    if (plurals->load(QStringLiteral(":/resource/translations/fbpickqc_en.qm")))
        QCoreApplication::installTranslator(plurals);
    else
        delete plurals;
}

FbPickQcWindow::FbPickQcWindow(QWidget *parent)
    : SorvDialog(parent)
{
    setObjectName(QStringLiteral("FbPickQcWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    installPluralForms();
    setWindowTitle(tr("FB Pick QC"));
    // The project's thresholds, for every load of this window.
    m_settings.outlierMs = threshold(SorvBaseUtil::projectValue(projectKey(outlierKey)), m_settings.outlierMs);
    m_settings.reciprocityMs = threshold(SorvBaseUtil::projectValue(projectKey(reciprocityKey)),
                                         m_settings.reciprocityMs);
    buildUi();
    connect(&m_loader, &QcLoader::progressChanged, m_progress, &QProgressBar::setValue);
    connect(&m_loader, &QcLoader::loaded, this, &FbPickQcWindow::onLoaded);
    connect(&m_loader, &QcLoader::failed, this, &FbPickQcWindow::onFailed);
    connect(&m_shotLoader, &ShotLoader::shotLoaded, this, &FbPickQcWindow::onShotLoaded);
    connect(&m_shotLoader, &ShotLoader::partnerLoaded, this, &FbPickQcWindow::onPartnerLoaded);
    updateButtons();
    // The window fits a screen of 800 x 600: the plots give up the room
    // their axes would like rather than push the window off the screen.
    const QList<QwtPlot *> plots = findChildren<QwtPlot *>();
    for (QwtPlot *plot : plots)
        plot->setMinimumSize(160, 120);
    resize(1400, 900);
    rememberGeometry(QStringLiteral("FbPickQcWindow"));
}

FbPickQcWindow::~FbPickQcWindow() = default;

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
    auto *menuBar = new QMenuBar(this);
    QMenu *fileMenu = menuBar->addMenu(tr("&File"));
    QAction *open = fileMenu->addAction(tr("&Open..."), this, &FbPickQcWindow::openFileDialog);
    open->setShortcut(QKeySequence::Open);
    fileMenu->addSeparator();
    m_exportActions << fileMenu->addAction(tr("Export &Plot..."), this,
                                           [this] { exportDialog(m_plot, tr("Export Plot")); })
                    << fileMenu->addAction(tr("Export &Map..."), this,
                                           [this] { exportDialog(m_map, tr("Export Map")); })
                    << fileMenu->addAction(tr("Export P&roblems as CSV..."), this,
                                           &FbPickQcWindow::exportProblemsDialog);
    fileMenu->addSeparator();
    QAction *closeAction = fileMenu->addAction(tr("&Close"), this, &QWidget::close);

    // Navigation: the shot list as the viewer shows it, then the steps.
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
    m_nextProblem = navButton(QStringLiteral("nextProblemButton"), tr("Next problem"),
                              tr("Next shot with a problem (N)"));
    m_velocity = new QLineEdit;
    m_velocity->setObjectName(QStringLiteral("reductionVelocity"));
    m_velocity->setPlaceholderText(tr("plain time"));
    m_velocity->setToolTip(tr("Plot reduced time t - |x| / V; empty plots plain time"));
    auto *validator = new QDoubleValidator(0.0, 1e9, 3, m_velocity);
    validator->setLocale(QLocale::c());
    m_velocity->setValidator(validator);
    m_velocity->setMaximumWidth(110);
    m_residuals = new QCheckBox(tr("Residuals"));
    m_residuals->setObjectName(QStringLiteral("residualMode"));
    m_residuals->setToolTip(tr("Plot each pick's residual (time - fitted curve) instead of its time"));
    auto *resetZoom = new QPushButton(tr("Reset Zoom"));
    resetZoom->setObjectName(QStringLiteral("resetZoomButton"));
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
    m_outlierSpin = thresholdSpin("outlierMsSpin", m_settings.outlierMs, tr("Outlier > "),
                                  tr("A pick further than this from its shot's fitted curve is an outlier"));
    m_reciprocitySpin = thresholdSpin("reciprocityMsSpin", m_settings.reciprocityMs, tr("Pairs > "),
                                      tr("Reciprocal times or repeats that differ by more than this are flagged"));

    auto *shots = new QHBoxLayout;
    shots->addWidget(new QLabel(tr("Shot:")));
    shots->addWidget(m_shotCombo);
    for (QToolButton *b : {m_first, m_previous, m_next, m_last})
        shots->addWidget(b);
    // The problems, and the thresholds that make them.
    auto *problems = new QHBoxLayout;
    problems->addWidget(m_previousProblem);
    problems->addWidget(m_nextProblem);
    problems->addWidget(m_outlierSpin);
    problems->addWidget(m_reciprocitySpin);
    auto *plotControls = new QHBoxLayout;
    plotControls->addSpacing(16);
    plotControls->addWidget(new QLabel(tr("Reduction velocity:")));
    plotControls->addWidget(m_velocity);
    plotControls->addWidget(m_residuals);
    plotControls->addWidget(resetZoom);
    auto *nav = new WrappingRow({shots, problems, plotControls});

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("messageLabel"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();

    m_loadingRow = new QWidget;
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("loadProgress"));
    m_progress->setRange(0, 100);
    m_cancel = new QPushButton(tr("Cancel"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    auto *loading = new QHBoxLayout(m_loadingRow);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->addWidget(new QLabel(tr("Judging the picks...")));
    loading->addWidget(m_progress, 1);
    loading->addWidget(m_cancel);

    m_plot = new ShotPlot;
    m_plot->setObjectName(QStringLiteral("shotPlot"));
    m_plot->setOutlierThreshold(m_settings.outlierMs);
    m_tableModel = new ShotTableModel(this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("shotTable"));
    m_table->setModel(m_tableModel);
    m_table->verticalHeader()->hide();
    // fb_time takes a typed number; several picks are rejected at once.
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setItemDelegate(new ShotTableDelegate(m_table));
    m_editor = new PickEditor(this, m_table, m_tableModel);
    m_editor->addFileActions(fileMenu, closeAction);
    menuBar->addMenu(m_editor->createEditMenu(menuBar));
    // So that a pick scrolled to sits in the middle, not at a row's edge.
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_map = new SurveyMap;
    m_map->setObjectName(QStringLiteral("surveyMap"));
    m_colorBy = new QComboBox;
    m_colorBy->setObjectName(QStringLiteral("mapColorBy"));
    // In the order of QcMapValues::Quantity.
    m_colorBy->addItems({tr("Outliers"), tr("RMS residual"), tr("Picks"), tr("Flagged pairs"), tr("Timing error")});

    m_problemModel = new ProblemModel(this);
    m_problemView = new QTreeView;
    m_problemView->setObjectName(QStringLiteral("problemView"));
    m_problemView->setModel(m_problemModel);
    m_problemView->setUniformRowHeights(true);
    m_problemView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_problemView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_problemView->setSelectionMode(QAbstractItemView::SingleSelection);
    // The chosen order until the user sorts by a column.
    m_problemView->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_problemView->setSortingEnabled(true);
    m_problemView->header()->setStretchLastSection(true);
    const int problemWidths[] = {130, 75, 110, 135, 60};
    for (int c = 0; c < ProblemModel::DetailColumn; ++c)
        m_problemView->setColumnWidth(c, problemWidths[c]);
    m_kindFilter = new QComboBox;
    m_kindFilter->setObjectName(QStringLiteral("problemKindFilter"));
    m_kindFilter->addItem(tr("All kinds"), -1);
    for (int k = 0; k < PickQc::KindCount; ++k)
        m_kindFilter->addItem(ProblemModel::kindName(PickQc::Kind(k)), k);
    // Narrow in its row, whole in its list: some kinds have long names.
    m_kindFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_kindFilter->setMinimumContentsLength(14);
    m_kindFilter->view()->setMinimumWidth(m_kindFilter->view()->sizeHintForColumn(0) + 24);
    m_order = new QComboBox;
    m_order->setObjectName(QStringLiteral("problemOrder"));
    // In the order of ProblemModel::Order.
    m_order->addItems({tr("Worst first"), tr("File order")});
    m_order->setToolTip(tr("The order of the shots in the list, and the order N and Shift+N visit them in"));
    m_order->setCurrentIndex(qBound(0, SorvBaseUtil::projectValue(projectKey(orderKey), 0).toInt(), 1));
    m_problemModel->setOrder(ProblemModel::Order(m_order->currentIndex()));
    auto *problemPane = new QWidget;
    auto *problemLayout = new QVBoxLayout(problemPane);
    problemLayout->setContentsMargins(0, 0, 0, 0);
    auto *problemRow = new QHBoxLayout;
    problemRow->addWidget(new QLabel(tr("Problems:")));
    problemRow->addWidget(m_kindFilter);
    problemRow->addWidget(new QLabel(tr("Order:")));
    problemRow->addWidget(m_order);
    m_problemCount = new QLabel;
    m_problemCount->setObjectName(QStringLiteral("problemCount"));
    problemRow->addWidget(m_problemCount);
    problemRow->addStretch(1);
    // The view is given long lists a batch at a time; the counts are the whole.
    connect(m_problemModel, &QAbstractItemModel::modelReset, m_problemCount, [this] {
        m_problemCount->setText(tr("%1, %2").arg(tr("%Ln problem(s)", nullptr, plural(m_problemModel->problemCount())),
                                                 tr("%Ln shot(s)", nullptr, plural(m_problemModel->shotCount()))));
        updateButtons();
    });
    problemLayout->addLayout(problemRow);
    problemLayout->addWidget(m_problemView, 1);

    auto *left = new QSplitter(Qt::Vertical);
    left->addWidget(m_plot);
    left->addWidget(m_table);
    auto *right = new QSplitter(Qt::Vertical);
    right->addWidget(buildSurveyTabs());
    right->addWidget(problemPane);
    auto *panes = new QSplitter(Qt::Horizontal);
    panes->setObjectName(QStringLiteral("panes"));
    panes->addWidget(left);
    panes->addWidget(right);
    panes->setStretchFactor(0, 3);
    panes->setStretchFactor(1, 2);

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

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(nav);
    layout->addWidget(m_message);
    layout->addWidget(panes, 1);
    layout->addWidget(m_bottom);

    connect(m_cancel, &QPushButton::clicked, this, &FbPickQcWindow::cancelLoading);
    connect(m_shotCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int row) {
        if (!m_syncing)
            goToShot(row);
    });
    auto step = [this](int delta) {
        if (m_data && !m_data->report.index.isEmpty())
            goToShot(qBound(0, m_current + delta, m_data->report.index.size() - 1));
    };
    connect(m_first, &QToolButton::clicked, this, [this] { goToShot(0); });
    connect(m_previous, &QToolButton::clicked, this, [step] { step(-1); });
    connect(m_next, &QToolButton::clicked, this, [step] { step(1); });
    connect(m_last, &QToolButton::clicked, this, [this] {
        if (m_data)
            goToShot(m_data->report.index.size() - 1);
    });
    connect(m_previousProblem, &QToolButton::clicked, this, [this] { stepProblemShot(-1); });
    connect(m_nextProblem, &QToolButton::clicked, this, [this] { stepProblemShot(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), this), &QShortcut::activated, this, [step] { step(-1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), this), &QShortcut::activated, this, [step] { step(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_N), this), &QShortcut::activated, this,
            [this] { stepProblemShot(1); });
    connect(new QShortcut(QKeySequence(Qt::SHIFT + Qt::Key_N), this), &QShortcut::activated, this,
            [this] { stepProblemShot(-1); });

    connect(m_velocity, &QLineEdit::editingFinished, this,
            [this] { m_plot->setReductionVelocity(QLocale::c().toDouble(m_velocity->text())); });
    connect(m_residuals, &QCheckBox::toggled, this,
            [this](bool on) { m_plot->setMode(on ? ShotPlot::Residuals : ShotPlot::Times); });
    connect(resetZoom, &QPushButton::clicked, m_plot, &ShotPlot::resetZoom);
    connect(m_plot, &ShotPlot::rowClicked, this, &FbPickQcWindow::selectRow);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing)
                    m_plot->setSelectedRow(current.isValid() ? current.row() : -1);
            });
    connect(m_map, &SurveyMap::shotClicked, this, [this](int shot) { goToShot(shot); });
    connect(m_colorBy, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FbPickQcWindow::updateMapValues);
    connect(m_kindFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { m_problemModel->setKind(m_kindFilter->itemData(i).toInt()); });
    connect(m_order, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int order) {
        m_problemModel->setOrder(ProblemModel::Order(order));
        m_problemView->header()->setSortIndicator(-1, Qt::AscendingOrder);
        keep(orderKey, order);
    });
    connect(m_problemView, &QTreeView::activated, this, &FbPickQcWindow::activateProblem);

    connect(m_editor, &PickEditor::message, this, &FbPickQcWindow::showMessage);
    connect(m_editor, &PickEditor::workingChanged, this, [this](bool working) {
        if (!m_loader.isRunning())
            m_bottom->setCurrentWidget(working ? m_editor->taskRow() : static_cast<QWidget *>(m_summary));
    });
    connect(m_editor->session(), &EditSession::judged, this, &FbPickQcWindow::showJudged);
    connect(m_editor->session(), &EditSession::picksChanged, this, &FbPickQcWindow::showEditedShots);
    for (QDoubleSpinBox *spin : {m_outlierSpin, m_reciprocitySpin})
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &FbPickQcWindow::onThresholdsChanged);
}

QWidget *FbPickQcWindow::buildSurveyTabs()
{
    m_receiverView = new StationResidualView;
    m_receiverView->setObjectName(QStringLiteral("receiverView"));
    m_stationShots = new StationShotView;
    m_stationShots->setObjectName(QStringLiteral("stationShotView"));
    auto *kind = new QComboBox;
    kind->setObjectName(QStringLiteral("stationValues"));
    // In the order of StationShotView::Kind.
    kind->addItems({tr("Reciprocal differences"), tr("Residuals")});

    auto *tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("surveyTabs"));
    tabs->addTab(m_map, tr("Map"));
    tabs->addTab(m_receiverView, tr("Receivers"));
    tabs->addTab(m_stationShots, tr("Stations × shots"));
    // What colours the view shown sits beside the tabs, so that the views
    // keep the height a row of its own would take; only the shown view's
    // list takes room there.
    auto *controls = new QWidget;
    auto *controlsLayout = new QHBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 4, 0);
    QComboBox *const perTab[] = {m_colorBy, nullptr, kind};
    m_colorBy->setToolTip(tr("Colour sources by"));
    kind->setToolTip(tr("Colour cells by"));
    for (QComboBox *combo : perTab) {
        if (combo)
            controlsLayout->addWidget(combo);
    }
    const auto showControl = [perTab](int tab) {
        for (int k = 0; k < int(std::size(perTab)); ++k) {
            if (perTab[k])
                perTab[k]->setVisible(k == tab);
        }
    };
    showControl(0);
    tabs->setCornerWidget(controls);
    connect(tabs, &QTabWidget::currentChanged, controls, showControl);
    connect(kind, QOverload<int>::of(&QComboBox::currentIndexChanged), m_stationShots,
            [this](int k) { m_stationShots->setKind(StationShotView::Kind(k)); });
    connect(m_receiverView, &StationResidualView::receiverClicked, this, &FbPickQcWindow::goToReceiver);
    connect(m_stationShots, &StationShotView::cellClicked, this, &FbPickQcWindow::goToCell);
    return tabs;
}

void FbPickQcWindow::showSurveyViews()
{
    const PickQc::Report &r = m_data->report;
    m_receiverView->setAxis(m_data->stations);
    // A receiver off by half what makes a pick an outlier, in every shot, is a problem.
    m_receiverView->setThreshold(r.settings.outlierMs / 2);
    m_stationShots->setSurvey(m_data->stations, r.index);
    m_stationShots->setDifferences(r.pairs, r.settings.reciprocityMs);
    m_stationShots->setResidualSource(m_data->fileName, r.settings);
}

void FbPickQcWindow::goToReceiver(int receiver)
{
    if (!m_data)
        return;
    int shot = -1;
    qint32 record = -1;
    if (m_data->stations.findRecording(m_data->fileName, m_data->report.index, receiver, &shot, &record, m_current))
        goToShot(shot, record);
}

void FbPickQcWindow::goToCell(int shot, double coordinate, qint32 record)
{
    if (!m_data)
        return;
    Target target;
    target.record = record;
    // Else the shot's pick at the station, as the axis places it, once the
    // shot is read.
    target.station = record < 0 ? coordinate : qQNaN();
    goTo(shot, target);
}

void FbPickQcWindow::openRemembered()
{
    // The browse dialog's file, else this window's last; one that is gone
    // is still opened, to say why it cannot be.
    const QString browsed = SorvBaseUtil::projectValue(browsedFileKey).toString();
    const QString own = SorvBaseUtil::projectValue(projectKey(fileKey)).toString();
    QString name = browsed;
    if (!QFileInfo(browsed).isFile() && QFileInfo(own).isFile())
        name = own;
    if (name.isEmpty())
        name = own;
    if (name.isEmpty())
        openFileDialog();
    else
        openFile(name);
}

void FbPickQcWindow::openFileDialog()
{
    const QString dir = m_data ? QFileInfo(m_data->fileName).absolutePath()
                               : SorvProjectManager::instance().define().projectDir;
    const QString name = QFileDialog::getOpenFileName(this, tr("Open"), dir,
                                                      QStringLiteral("FB files (*.cal *.fb *.fit)"));
    if (!name.isEmpty())
        openFile(name);
}

void FbPickQcWindow::openFile(const QString &fileName)
{
    if (!m_editor->mayDiscardEdits([this, fileName] { openFile(fileName); }))
        return;
    m_keepEdits = false;
    startLoading(fileName);
}

void FbPickQcWindow::startLoading(const QString &fileName)
{
    m_loadingName = fileName;
    m_rejudging = false;
    // What the message line says stays until the load ends, so that the
    // panes keep their place meanwhile.
    setLoadingVisible(true);
    m_progress->setValue(0);
    m_loader.start(fileName, m_settings);
}

bool FbPickQcWindow::isLoading() const
{
    return m_loader.isRunning();
}

void FbPickQcWindow::cancelLoading()
{
    if (!m_loader.isRunning())
        return;
    m_loader.cancel();
    setLoadingVisible(false);
    if (m_rejudging || (m_data && m_loadingName == m_data->fileName)) {
        // The thresholds stay those of the judgement shown.
        showThresholds(m_data->report.settings);
        showMessage(tr("Judging %1 again was cancelled; it stays shown as judged before.").arg(m_data->fileName),
                    false);
    } else {
        showMessage(m_data ? tr("Loading %1 was cancelled; %2 stays shown.").arg(m_loadingName, m_data->fileName)
                           : tr("Loading %1 was cancelled.").arg(m_loadingName),
                    false);
    }
    m_rejudging = false;
    emit loadFinished(false);
}

void FbPickQcWindow::setLoadingVisible(bool visible, bool busy)
{
    if (visible)
        m_progress->setRange(0, busy ? 0 : 100);
    m_bottom->setCurrentWidget(visible ? m_loadingRow : static_cast<QWidget *>(m_summary));
}

void FbPickQcWindow::showMessage(const QString &text, bool error)
{
    m_shotNote = false;
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold;")
                                   : QStringLiteral("color: #805000;"));
    m_message->setVisible(!text.isEmpty());
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
    m_settings.outlierMs = settings.outlierMs;
    m_settings.reciprocityMs = settings.reciprocityMs;
    for (auto spin : {std::make_pair(m_outlierSpin, settings.outlierMs),
                      std::make_pair(m_reciprocitySpin, settings.reciprocityMs)}) {
        const QSignalBlocker blocker(spin.first);
        spin.first->setValue(spin.second);
    }
    keep(outlierKey, m_settings.outlierMs);
    keep(reciprocityKey, m_settings.reciprocityMs);
}

void FbPickQcWindow::onThresholdsChanged()
{
    m_settings.outlierMs = m_outlierSpin->value();
    m_settings.reciprocityMs = m_reciprocitySpin->value();
    keep(outlierKey, m_settings.outlierMs);
    keep(reciprocityKey, m_settings.reciprocityMs);
    // A load under way starts again with them.
    if (m_loader.isRunning() && !m_rejudging) {
        startLoading(m_loadingName);
        return;
    }
    if (!m_data)
        return;
    const PickQc::Settings &shown = m_data->report.settings;
    if (shown.outlierMs == m_settings.outlierMs && shown.reciprocityMs == m_settings.reciprocityMs) {
        // Back to what is shown: what was under way is not wanted.
        if (m_rejudging) {
            m_loader.cancel();
            m_rejudging = false;
            setLoadingVisible(false);
        }
        return;
    }
    // The edits stay: judged again on top of the new verdicts.
    m_keepEdits = true;
    if (!m_loader.rejudge(m_data, m_settings.outlierMs, m_settings.reciprocityMs)) {
        // Below what the pass kept: the file is judged again from its records.
        m_judgedEdits = {};
        startLoading(m_data->fileName);
        return;
    }
    m_judgedEdits = m_editor->session()->shownEdits();
    m_loadingName = m_data->fileName;
    m_rejudging = true;
    setLoadingVisible(true, true);
}

void FbPickQcWindow::onFailed(const QString &message)
{
    setLoadingVisible(false);
    // Judging the shown file again failed: the thresholds stay its own.
    if (m_data && (m_rejudging || m_loadingName == m_data->fileName))
        showThresholds(m_data->report.settings);
    m_rejudging = false;
    showMessage(tr("Cannot open %1: %2").arg(m_loadingName, message), true);
    emit loadFinished(false);
}

void FbPickQcWindow::onLoaded(std::shared_ptr<const QcData> data)
{
    const bool rejudged = m_rejudging;
    m_rejudging = false;
    setLoadingVisible(false);
    const PickQc::Report &judged = data->report;
    if (judged.notFbFile()) {
        // Its records are no records: a list of what they hold would mislead.
        const PickQc::Finding f = judged.findings(PickQc::Kind::NotFbFile).at(0);
        showMessage(tr("%1 is not an FB file: %2")
                        .arg(m_loadingName, PickQc::kindInfo(PickQc::Kind::NotFbFile).describe(f, judged)),
                    true);
        if (m_data)
            showThresholds(m_data->report.settings);
        emit loadFinished(false);
        return;
    }
    // The views let go of the previous file's data before it is freed.
    const std::shared_ptr<const QcData> previous = std::move(m_data);
    m_data = std::move(data);
    // New thresholds keep the edits, judged again on the new verdicts; a
    // file opened anew starts without.
    if (m_keepEdits && previous && previous->fileName == m_data->fileName)
        m_editor->session()->adopt(m_data, m_judgedEdits);
    else
        m_editor->setData(m_data);
    m_keepEdits = false;
    const PickQc::Report &r = m_data->report;
    setWindowTitle(tr("FB Pick QC - %1").arg(QFileInfo(m_data->fileName).fileName()));

    if (!m_data->complete())
        showMessage(tr("The file is incomplete: its header declares %L1 picks, but it holds %L2 complete "
                       "records. The records it holds are judged.")
                        .arg(r.header.fb_count)
                        .arg(r.recordCount),
                    false);
    else
        showMessage(QString(), false);
    m_problemModel->setProblems(&r, m_data->problems);
    // A sort by a column is kept across judging again.
    const QHeaderView *header = m_problemView->header();
    if (header->sortIndicatorSection() >= 0 && header->sortIndicatorSection() < ProblemModel::DetailColumn)
        m_problemModel->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    m_plot->setOutlierThreshold(r.settings.outlierMs);
    for (SurveyValues &values : m_mapValues)
        values = SurveyValues();
    updateSummary();
    const std::shared_ptr<const QcData> shown = m_data;
    m_map->setShotDescriber([shown](int shot) { return QcMapValues::describe(shown->report, shot); });

    // The same file judged again stays on its shot, fitted anew, with the
    // same pick selected and partner shown.
    const bool again = previous && previous->fileName == m_data->fileName && m_current >= 0
                       && m_current < r.index.size();
    Target target;
    if (again) {
        target = m_target;
        const int row = m_table->currentIndex().row();
        if (target.record < 0 && target.column < 0 && row >= 0 && m_shown == m_current)
            target.record = m_tableModel->firstRecord() + row;
        if (target.partner < 0)
            target.partner = m_partner;
    }
    // (Judged again before its first shot was shown, it is taken over whole.)
    if (rejudged && m_current >= 0) {
        updateMapValues();
        showSurveyViews();
        m_target = target;
        requestShot(m_current);
        updateButtons();
        emit loadFinished(true);
        return;
    }

    keep(fileKey, m_data->fileName);
    m_syncing = true;
    m_shotList->setShots(r.index);
    m_shotCombo->setMinimumContentsLength(m_shotList->longestTextLength());
    m_syncing = false;
    const int first = again ? m_current : 0;
    m_current = m_shown = -1;
    updateButtons();
    // The map and the first shot follow in the next turn of the event loop,
    // so that no single step of taking over a large file holds the window.
    // (Edited shots judged again meanwhile replace the data, not the load.)
    const int load = ++m_loads;
    QTimer::singleShot(0, this, [this, load, first, target] {
        if (m_loads != load)
            return;
        m_map->setSurvey(m_data->map);
        updateMapValues();
        showSurveyViews();
        goTo(first, target);
        updateButtons();
        emit loadFinished(true);
    });
}

void FbPickQcWindow::updateSummary()
{
    const PickQc::Report &r = m_data->report;
    const ProblemList &problems = *m_data->problems;
    const qint64 judged = r.status0 + r.status1 + r.statusOther - r.notJudged;
    // Every kind found, as the kind table names it, with what its count
    // means beside it.
    QStringList found;
    for (int k = 0; k < PickQc::KindCount; ++k) {
        const PickQc::KindInfo &kind = PickQc::kinds()[k];
        const qint64 count = r.count(kind.kind);
        if (count == 0)
            continue;
        QString text = tr("%1: %L2").arg(kind.title()).arg(count);
        if (kind.kind == PickQc::Kind::Outlier)
            text += QLatin1Char(' ') + tr("(%1 of judged picks)").arg(percentText(count, judged));
        else if (kind.kind == PickQc::Kind::Reciprocity)
            text += QLatin1Char(' ')
                    + tr("(of %L1 compared; %L2 explained by shot timing errors)")
                          .arg(r.pairs.size())
                          .arg(problems.explainedPairs);
        found << text;
    }
    QString text = tr("%1: %2, %3 (status 0: %L4, status 1: %L5, other: %L6; not picked: %L7). "
                      "Thresholds: outlier %8 ms, reciprocity %9 ms.")
                       .arg(m_data->fileName, tr("%Ln shot(s)", nullptr, r.index.size()),
                            tr("%Ln pick(s)", nullptr, plural(r.recordCount)))
                       .arg(r.status0)
                       .arg(r.status1)
                       .arg(r.statusOther)
                       .arg(r.notPicked)
                       .arg(QLocale().toString(r.settings.outlierMs))
                       .arg(QLocale().toString(r.settings.reciprocityMs));
    text += QLatin1Char('\n')
            + (found.isEmpty() ? tr("Nothing found.") : found.join(QStringLiteral("; ")) + QLatin1Char('.'));
    // The shots in the most flagged pairs, as fbtool qc lists them.
    QStringList most;
    for (size_t k = 0; k < problems.mostFlagged.size() && k < size_t(MostFlaggedListed); ++k) {
        const qint32 shot = problems.mostFlagged[k].first;
        QString item = tr("%1 > %2: %3")
                           .arg(shot + 1)
                           .arg(r.index.at(shot).ffid)
                           .arg(tr("%Ln flagged pair(s)", nullptr, plural(problems.mostFlagged[k].second)));
        if (const PickQc::TimingEstimate *t = r.timingOf(shot))
            item += QLatin1String(", ")
                    + tr("estimated timing error %1 ms")
                          .arg((t->delay > 0 ? QStringLiteral("+") : QString())
                               + QLocale().toString(double(t->delay), 'f', 1));
        most << item;
    }
    if (!most.isEmpty())
        text += QLatin1Char('\n') + tr("Shots in the most flagged pairs: %1.").arg(most.join(QStringLiteral("; ")));
    m_summary->setText(text);
    static_cast<SummaryStack *>(m_bottom)->fit();
}

void FbPickQcWindow::goToShot(int shot, qint32 record)
{
    Target target;
    target.record = record;
    goTo(shot, target);
}

void FbPickQcWindow::goTo(int shot, const Target &target)
{
    if (!m_data || shot < 0 || shot >= m_data->report.index.size())
        return;
    m_target = target;
    if (shot != m_current)
        requestShot(shot);
    else if (m_shown == shot)
        applyTarget();
}

// Asks for a shot's records and fit; the table and plot keep the shot they
// show until it arrives.
void FbPickQcWindow::requestShot(int shot)
{
    m_current = shot;
    const ShotIndexEntry &entry = m_data->report.index.at(shot);
    m_shotLoader.request(m_data->fileName, entry, shot, m_data->report.settings, m_editor->session()->edits());
    m_syncing = true;
    m_shotCombo->setCurrentIndex(shot);
    m_syncing = false;
    m_map->setCurrentShot(shot, {});
    m_stationShots->setCurrentShot(shot);
    updateButtons();
}

void FbPickQcWindow::onShotLoaded(std::shared_ptr<const LoadedShot> loaded)
{
    if (!m_data || loaded->shot != m_current)
        return;
    const int shot = loaded->shot;
    const QString name = QStringLiteral("%1 > %2").arg(shot + 1).arg(loaded->ffid);
    // A note about the shot shown before goes with it.
    if (m_shotNote)
        showMessage(QString(), false);
    const QString picks = tr("%Ln pick(s)", nullptr, plural(loaded->picks));
    if (loaded->state == LoadedShot::NotJudged)
        showMessage(tr("Shot %1 holds %2, too many to judge: the QC reports it as too large, and its records "
                       "are listed unfitted, not plotted.")
                        .arg(name, picks),
                    false);
    else if (loaded->state == LoadedShot::NotRead)
        showMessage(tr("Shot %1 holds %2, too many to show; the other shots can be viewed.").arg(name, picks), false);
    m_shotNote = loaded->state != LoadedShot::Judged;

    m_syncing = true;
    // Only the records and fit are handed over; the pass over them was the worker's.
    m_tableModel->setEdits(m_editor->session()->edits());
    ShotTableModel::Shot table = loaded->table;
    m_tableModel->setShot(std::move(table));
    for (int c = 0; c < FbColumns::Count; ++c)
        m_table->setColumnWidth(c, c == FbColumns::FbTime ? FbTimeWidth : FbColumns::widths[c]);
    m_map->setCurrentShot(shot, loaded->receivers);
    m_syncing = false;
    // The plot in the next turn of the event loop: a shot of a million
    // picks takes tens of milliseconds to draw, the table and map as many.
    QTimer::singleShot(0, this, [this, loaded, picks] {
        const int shot = loaded->shot;
        if (shot != m_current || m_tableModel->firstRecord() != loaded->table.firstRecord)
            return;
        // A shot too large to judge is listed, not plotted: drawing millions
        // of picks would hold the window for longer than a look is worth.
        const bool judged = loaded->state == LoadedShot::Judged;
        m_plot->setShot(judged ? m_tableModel->records() : QVector<FbRecord>(), m_tableModel->fit(), shot,
                        loaded->ffid);
        if (loaded->state == LoadedShot::NotJudged)
            m_plot->setTitle(
                tr("Shot %1 > ffid %2: %3, too many to judge").arg(shot + 1).arg(loaded->ffid).arg(picks));
        else if (loaded->state == LoadedShot::NotRead)
            m_plot->setTitle(
                tr("Shot %1 > ffid %2: %3, too many to show").arg(shot + 1).arg(loaded->ffid).arg(picks));
        m_shown = shot;
        m_partner = -1;
        applyTarget();
        updateButtons();
        emit shotShown(shot);
    });
}

FbPickQcWindow::Target FbPickQcWindow::targetOf(const PickQc::Finding &f)
{
    Target target;
    switch (PickQc::kindInfo(f.kind).scope) {
    case PickQc::Scope::Pick: target.record = f.record; break;
    case PickQc::Scope::Pair: target.partner = f.otherShot; break;
    default:
        if (f.kind == PickQc::Kind::VaryingSource)
            target.column = f.column;
        break;
    }
    return target;
}

void FbPickQcWindow::applyTarget()
{
    const Target target = m_target;
    m_target = Target();
    int row = -1;
    if (target.record >= 0) {
        const qint64 at = qint64(target.record) - m_tableModel->firstRecord();
        row = at >= 0 && at < m_tableModel->rowCount() ? int(at) : -1;
    } else if (target.column >= 0) {
        row = m_tableModel->firstDifferingRow(target.column);
    } else if (target.partner >= 0) {
        row = reciprocalRow(target.partner);
    } else if (std::isfinite(target.station)) {
        const QVector<FbRecord> &records = m_tableModel->records();
        double best = m_data->stations.cellWidth() / 2;
        for (int i = 0; i < records.size(); ++i) {
            const double d = std::abs(m_data->stations.pickAt(records.at(i)) - target.station);
            if (d <= best) {
                best = d;
                row = i;
            }
        }
    }
    selectRow(row);
    if (target.partner != m_partner) {
        m_partner = target.partner;
        if (m_partner >= 0)
            m_shotLoader.requestPartner(m_data->fileName, m_data->report.index.at(m_partner), m_partner,
                                        m_data->report.settings, m_editor->session()->edits());
        else
            m_plot->setPartnerPicks({}, QString());
    }
}

void FbPickQcWindow::onPartnerLoaded(int partner, const QVector<QPointF> &picks)
{
    if (!m_data || partner != m_partner || m_shown != m_current)
        return;
    m_plot->setPartnerPicks(picks, tr("Shot %1 > ffid %2 (reciprocal partner)")
                                       .arg(partner + 1)
                                       .arg(m_data->report.index.at(partner).ffid));
}

void FbPickQcWindow::selectRow(int row)
{
    m_syncing = true;
    if (row >= 0) {
        const QModelIndex index = m_tableModel->index(row, FbColumns::FbTime);
        m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                              | QItemSelectionModel::Rows);
        m_table->scrollTo(index, QAbstractItemView::PositionAtCenter);
    } else {
        m_table->selectionModel()->clearSelection();
    }
    m_syncing = false;
    if (m_plot->selectedRow() != row)
        m_plot->setSelectedRow(row);
}

void FbPickQcWindow::updateButtons()
{
    const int n = m_data ? m_data->report.index.size() : 0;
    const bool any = n > 0 && m_current >= 0;
    m_first->setEnabled(any && m_current > 0);
    m_previous->setEnabled(any && m_current > 0);
    m_next->setEnabled(any && m_current < n - 1);
    m_last->setEnabled(any && m_current < n - 1);
    m_previousProblem->setEnabled(any && m_problemModel->adjacentShot(m_current, -1) >= 0);
    m_nextProblem->setEnabled(any && m_problemModel->adjacentShot(m_current, 1) >= 0);
    for (QAction *action : qAsConst(m_exportActions))
        action->setEnabled(any);
}

void FbPickQcWindow::stepProblemShot(int direction)
{
    if (!m_data)
        return;
    const qint32 shot = m_problemModel->adjacentShot(m_current, direction);
    if (shot < 0)
        return;
    // The shot's row in the list, and its first problem in the table.
    const QModelIndex row = m_problemModel->shotIndex(shot);
    m_problemView->setCurrentIndex(row);
    m_problemView->scrollTo(row);
    const QModelIndex first = m_problemModel->firstProblemOf(row);
    goTo(shot, first.isValid() ? targetOf(m_problemModel->problem(first)) : Target());
}

// The pick of the current shot nearest to shot B's source: the receiver at B's station
// when there is one, else the nearest receiver position.
int FbPickQcWindow::reciprocalRow(int shotB) const
{
    const PickQc::ShotSource &b = m_data->report.shots.source(shotB);
    const QVector<FbRecord> &records = m_tableModel->records();
    int nearest = -1;
    double best = qInf();
    for (int i = 0; i < records.size(); ++i) {
        const FbRecord &r = records.at(i);
        if (r.g_line == b.line && r.g_stat == b.stat)
            return i;
        const double d = std::hypot(double(r.group_x) - b.x, double(r.group_y) - b.y);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

void FbPickQcWindow::activateProblem(const QModelIndex &index)
{
    if (!index.isValid() || !m_data)
        return;
    // A shot's row goes to its first problem.
    const QModelIndex finding = m_problemModel->isShotRow(index) ? m_problemModel->firstProblemOf(index) : index;
    const qint32 shot = index.data(ProblemModel::ShotRole).toInt();
    if (shot >= 0)
        goTo(shot, finding.isValid() ? targetOf(m_problemModel->problem(finding)) : Target());
}

void FbPickQcWindow::updateMapValues()
{
    if (!m_data)
        return;
    // A file's values never change: each colouring is made once, and going
    // back to it (millions of shots) costs only the drawing.
    SurveyValues &values = m_mapValues[m_colorBy->currentIndex()];
    if (values.values.size() != m_data->report.shots.size())
        values = QcMapValues::values(m_data->report, QcMapValues::Quantity(m_colorBy->currentIndex()));
    m_map->setValues(values);
}

void FbPickQcWindow::exportDialog(QwtPlot *plot, const QString &title)
{
    const QString name = QFileDialog::getSaveFileName(
        this, title, QString(), tr("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    ImageExport image;
    if (!name.isEmpty() && !image.write(plot, name, ImageExport::sizeFor(plot->size())))
        showMessage(image.errorString(), true);
}

void FbPickQcWindow::exportProblemsDialog()
{
    if (!m_data)
        return;
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Export Problems to Folder"),
                                                          QFileInfo(m_data->fileName).absolutePath());
    QcCsv::Tables tables;
    if (!dir.isEmpty() && !tables.write(dir, m_data->report))
        showMessage(tables.errorString(), true);
}

void FbPickQcWindow::reject()
{
    if (!m_editor->mayDiscardEdits([this] { close(); }))
        return;
    SorvDialog::reject();
}

void FbPickQcWindow::showJudged(std::shared_ptr<const QcData> data)
{
    if (!m_data || !data || data->fileName != m_data->fileName)
        return;
    // The views let go of the previous data before it is freed.
    const std::shared_ptr<const QcData> previous = std::move(m_data);
    m_data = std::move(data);
    QScrollBar *problemScroll = m_problemView->verticalScrollBar();
    const int scrolled = problemScroll->value();
    m_problemModel->setProblems(&m_data->report, m_data->problems);
    const QHeaderView *header = m_problemView->header();
    if (header->sortIndicatorSection() >= 0 && header->sortIndicatorSection() < ProblemModel::DetailColumn)
        m_problemModel->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    problemScroll->setValue(scrolled);
    updateSummary();
    for (SurveyValues &values : m_mapValues)
        values = SurveyValues();
    const std::shared_ptr<const QcData> shown = m_data;
    m_map->setShotDescriber([shown](int shot) { return QcMapValues::describe(shown->report, shot); });
    updateMapValues();
    // The edited shots' pairs; the receivers' means and residuals are the file's.
    m_stationShots->setDifferences(m_data->report.pairs, m_data->report.settings.reciprocityMs);
    updateButtons();
}

void FbPickQcWindow::showEditedShots(const QVector<qint32> &shots)
{
    if (!m_data || m_current < 0 || m_shown != m_current
        || !std::binary_search(shots.cbegin(), shots.cend(), m_current))
        return;
    const ShotIndexEntry &entry = m_data->report.index.at(m_current);
    // Edits are made in shots the window shows, fitted: never in one too
    // large to judge.
    if (qint64(entry.lastRecord) - entry.firstRecord + 1 > m_data->report.settings.maxJudgedPicks)
        return;
    const QVector<FbRecord> records = m_editor->session()->records(m_current);
    const PickQc::ShotFit fit = PickQc::fitShot(records, m_data->report.settings);
    m_tableModel->setEdits(m_editor->session()->edits());
    m_tableModel->updatePicks(records, fit);
    // The plot keeps the user's zoom and the selected pick.
    auto *zoomer = m_plot->findChild<QwtPlotZoomer *>();
    const bool zoomed = zoomer && zoomer->zoomRectIndex() > 0;
    const QRectF zoom = zoomed ? zoomer->zoomRect() : QRectF();
    m_plot->setShot(records, fit, m_current, entry.ffid);
    if (zoomed)
        zoomer->zoom(zoom);
    const QModelIndex current = m_table->currentIndex();
    m_plot->setSelectedRow(current.isValid() ? current.row() : -1);
}
