#include "fbpickqcwindow.h"

#include "fbcolumns.h"
#include "imageexport.h"
#include "problemmodel.h"
#include "qccsv.h"
#include "qcmapvalues.h"
#include "shotlistmodel.h"
#include "shotlistview.h"
#include "shotplot.h"
#include "shotrecords.h"
#include "shottablemodel.h"
#include "stationresidualview.h"
#include "stationshotview.h"
#include "surveymap.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
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
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

const QString fbNameKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");

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

FbPickQcWindow::FbPickQcWindow(QWidget *parent)
    : SorvDialog(parent)
{
    setObjectName(QStringLiteral("FbPickQcWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    setWindowTitle(tr("FB Pick QC"));
    buildUi();
    connect(&m_loader, &QcLoader::progressChanged, m_progress, &QProgressBar::setValue);
    connect(&m_loader, &QcLoader::loaded, this, &FbPickQcWindow::onLoaded);
    connect(&m_loader, &QcLoader::failed, this, &FbPickQcWindow::onFailed);
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
    fileMenu->addAction(tr("&Close"), this, &QWidget::close);

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

    auto *shots = new QHBoxLayout;
    shots->addWidget(new QLabel(tr("Shot:")));
    shots->addWidget(m_shotCombo);
    for (QToolButton *b : {m_first, m_previous, m_next, m_last})
        shots->addWidget(b);
    auto *problems = new QHBoxLayout;
    problems->addWidget(m_previousProblem);
    problems->addWidget(m_nextProblem);
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
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);

    m_map = new SurveyMap;
    m_map->setObjectName(QStringLiteral("surveyMap"));
    m_colorBy = new QComboBox;
    m_colorBy->setObjectName(QStringLiteral("mapColorBy"));
    // In the order of QcMapValues::Quantity.
    m_colorBy->addItems({tr("Outliers"), tr("RMS residual"), tr("Picks"), tr("Flagged pairs"), tr("Timing error")});

    m_problemModel = new ProblemModel(this);
    m_problemView = new QTableView;
    m_problemView->setObjectName(QStringLiteral("problemView"));
    m_problemView->setModel(m_problemModel);
    m_problemView->verticalHeader()->hide();
    m_problemView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_problemView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_problemView->setSelectionMode(QAbstractItemView::SingleSelection);
    // File order until the user sorts: a sort of a long list is theirs to ask for.
    m_problemView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_problemView->setSortingEnabled(true);
    m_problemView->horizontalHeader()->setStretchLastSection(true);
    const int problemWidths[] = {110, 60, 70, 80, 70};
    for (int c = 0; c < ProblemModel::DetailColumn; ++c)
        m_problemView->setColumnWidth(c, problemWidths[c]);
    m_kindFilter = new QComboBox;
    m_kindFilter->setObjectName(QStringLiteral("problemKindFilter"));
    m_kindFilter->addItem(tr("All kinds"), -1);
    for (int k = 0; k < PickQc::KindCount; ++k)
        m_kindFilter->addItem(ProblemModel::kindName(PickQc::Kind(k)), k);
    auto *problemPane = new QWidget;
    auto *problemLayout = new QVBoxLayout(problemPane);
    problemLayout->setContentsMargins(0, 0, 0, 0);
    auto *problemRow = new QHBoxLayout;
    problemRow->addWidget(new QLabel(tr("Problems:")));
    problemRow->addWidget(m_kindFilter);
    auto *problemCount = new QLabel;
    problemCount->setObjectName(QStringLiteral("problemCount"));
    problemRow->addWidget(problemCount);
    problemRow->addStretch(1);
    // The view is given long lists a batch at a time; the count is the whole.
    connect(m_problemModel, &QAbstractItemModel::modelReset, problemCount, [this, problemCount] {
        problemCount->setText(tr("%L1 problems").arg(m_problemModel->problemCount()));
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
    m_bottom = new QStackedWidget;
    m_bottom->addWidget(m_summary);
    m_bottom->addWidget(m_loadingRow);

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
    connect(m_problemView, &QTableView::activated, this, &FbPickQcWindow::activateProblem);
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
    m_receiverView->setThreshold(m_settings.outlierMs / 2);
    m_stationShots->setSurvey(m_data->stations, r.index);
    m_stationShots->setDifferences(r.pairs, m_settings.reciprocityMs);
    m_stationShots->setResidualSource(m_data->fileName, m_settings);
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
    goToShot(shot);
    if (record < 0) {
        // The shot's pick at the station, as the axis places it.
        const QVector<FbRecord> &records = m_tableModel->records();
        double best = m_data->stations.cellWidth() / 2;
        for (int i = 0; i < records.size(); ++i) {
            const double d = std::abs(m_data->stations.pickAt(records.at(i)) - coordinate);
            if (d <= best) {
                best = d;
                record = m_tableModel->firstRecord() + i;
            }
        }
    }
    goToShot(shot, record);
}

void FbPickQcWindow::openRemembered()
{
    const QString name = SorvBaseUtil::projectValue(fbNameKey).toString();
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
    m_loadingName = fileName;
    m_message->hide();
    m_progress->setValue(0);
    setLoadingVisible(true);
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
    showMessage(m_data ? tr("Loading %1 was cancelled; %2 stays shown.").arg(m_loadingName, m_data->fileName)
                       : tr("Loading %1 was cancelled.").arg(m_loadingName),
                false);
    emit loadFinished(false);
}

void FbPickQcWindow::setLoadingVisible(bool visible)
{
    m_bottom->setCurrentWidget(visible ? m_loadingRow : static_cast<QWidget *>(m_summary));
}

void FbPickQcWindow::showMessage(const QString &text, bool error)
{
    m_message->setText(text);
    m_message->setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold;")
                                   : QStringLiteral("color: #805000;"));
    m_message->setVisible(!text.isEmpty());
}

void FbPickQcWindow::onFailed(const QString &message)
{
    setLoadingVisible(false);
    showMessage(tr("Cannot open %1: %2").arg(m_loadingName, message), true);
    emit loadFinished(false);
}

void FbPickQcWindow::onLoaded(std::shared_ptr<const QcData> data)
{
    setLoadingVisible(false);
    // The views let go of the previous file's data before it is freed.
    const std::shared_ptr<const QcData> previous = std::move(m_data);
    m_data = std::move(data);
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

    const int n = r.index.size();
    m_syncing = true;
    m_shotList->setShots(r.index);
    m_shotCombo->setMinimumContentsLength(m_shotList->longestTextLength());
    m_syncing = false;

    m_problemModel->setProblems(&r, &m_data->problems);
    // The counts, then every kind found, as the kind table names them.
    QStringList found;
    for (int k = 0; k < PickQc::KindCount; ++k) {
        const PickQc::KindInfo &kind = PickQc::kinds()[k];
        if (r.count(kind.kind) > 0)
            found << tr("%1: %L2").arg(kind.title()).arg(r.count(kind.kind));
    }
    m_summary->setText(tr("%1: %L2 shots, %L3 picks (status 0: %L4, status 1: %L5, other: %L6; not picked: %L7). "
                          "Thresholds: outlier %8 ms, reciprocity %9 ms. %10")
                           .arg(m_data->fileName)
                           .arg(n)
                           .arg(r.recordCount)
                           .arg(r.status0)
                           .arg(r.status1)
                           .arg(r.statusOther)
                           .arg(r.notPicked)
                           .arg(r.settings.outlierMs)
                           .arg(r.settings.reciprocityMs)
                           .arg(found.isEmpty() ? tr("Nothing found.") : found.join(QStringLiteral("; ")) + QLatin1Char('.')));
    m_current = -1;
    updateButtons();
    // The map and the first shot follow in the next turn of the event loop,
    // so that no single step of taking over a large file holds the window.
    const QcData *loaded = m_data.get();
    QTimer::singleShot(0, this, [this, loaded] {
        if (m_data.get() != loaded)
            return;
        m_map->setSurvey(m_data->map);
        for (SurveyValues &values : m_mapValues)
            values = SurveyValues();
        const std::shared_ptr<const QcData> shown = m_data;
        m_map->setShotDescriber([shown](int shot) { return QcMapValues::describe(shown->report, shot); });
        updateMapValues();
        showSurveyViews();
        goToShot(0);
        updateButtons();
        emit loadFinished(true);
    });
}

void FbPickQcWindow::goToShot(int shot, qint32 record)
{
    if (!m_data || shot < 0 || shot >= m_data->report.index.size())
        return;
    if (shot != m_current)
        showShot(shot);
    const qint32 row = record - m_tableModel->firstRecord();
    selectRow(record >= 0 && row >= 0 && row < m_tableModel->rowCount() ? row : -1);
}

void FbPickQcWindow::showShot(int shot)
{
    const ShotIndexEntry &entry = m_data->report.index.at(shot);
    m_current = shot;
    QVector<FbRecord> records;
    const qint64 count = qint64(entry.lastRecord) - entry.firstRecord + 1;
    if (count > maxShotRecords())
        showMessage(tr("Shot %1 (ffid %2) holds %L3 picks, too many to show; the other shots can be viewed.")
                        .arg(shot + 1)
                        .arg(entry.ffid)
                        .arg(count),
                    false);
    else
        records = readShotRecords(m_data->fileName, entry.firstRecord, entry.lastRecord);
    PickQc::ShotFit fit = PickQc::fitShot(records, m_settings);

    m_syncing = true;
    m_tableModel->setShot(records, fit, entry.firstRecord);
    for (int c = 0; c < FbColumns::Count; ++c)
        m_table->setColumnWidth(c, FbColumns::widths[c]);
    m_plot->setShot(records, fit, shot, entry.ffid);
    QVector<QPointF> receivers;
    receivers.reserve(records.size());
    for (const FbRecord &r : qAsConst(records))
        receivers.append(QPointF(r.group_x, r.group_y));
    m_map->setCurrentShot(shot, receivers);
    m_stationShots->setCurrentShot(shot);
    m_shotCombo->setCurrentIndex(shot);
    m_syncing = false;
    updateButtons();
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
    const QVector<qint32> &shots = m_problemModel->problemShots();
    m_previousProblem->setEnabled(any && !shots.isEmpty() && shots.first() < m_current);
    m_nextProblem->setEnabled(any && !shots.isEmpty() && shots.last() > m_current);
    for (QAction *action : qAsConst(m_exportActions))
        action->setEnabled(any);
}

void FbPickQcWindow::stepProblemShot(int direction)
{
    const QVector<qint32> &shots = m_problemModel->problemShots();
    if (!m_data || shots.isEmpty())
        return;
    if (direction > 0) {
        const auto it = std::upper_bound(shots.cbegin(), shots.cend(), m_current);
        if (it != shots.cend())
            goToShot(*it);
    } else {
        const auto it = std::lower_bound(shots.cbegin(), shots.cend(), m_current);
        if (it != shots.cbegin())
            goToShot(*(it - 1));
    }
}

// The pick of the current shot nearest to shot B's source: the receiver at B's station
// when there is one, else the nearest receiver position.
int FbPickQcWindow::reciprocalRow(int shotB) const
{
    const PickQc::ShotSummary &b = m_data->report.shots.at(shotB);
    const QVector<FbRecord> &records = m_tableModel->records();
    int nearest = -1;
    double best = qInf();
    for (int i = 0; i < records.size(); ++i) {
        const FbRecord &r = records.at(i);
        if (r.g_line == b.sLine && r.g_stat == b.sStat)
            return i;
        const double d = std::hypot(double(r.group_x) - b.sourceX, double(r.group_y) - b.sourceY);
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
    const PickQc::Finding p = m_problemModel->problem(index.row());
    if (p.shot < 0)
        return;
    const PickQc::Scope scope = PickQc::kindInfo(p.kind).scope;
    goToShot(p.shot, scope == PickQc::Scope::Pick ? p.record : -1);
    if (p.kind == PickQc::Kind::VaryingSource)
        selectRow(m_tableModel->firstDifferingRow(p.column));
    else if (scope == PickQc::Scope::Pair)
        selectRow(reciprocalRow(p.otherShot));
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
    QString error;
    if (!dir.isEmpty() && !QcCsv::writeTables(dir, m_data->report, &error))
        showMessage(error, true);
}
