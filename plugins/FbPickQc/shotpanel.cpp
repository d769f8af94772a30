#include "shotpanel.h"

#include "editsession.h"
#include <fbfile/fbcolumns.h>
#include <fbqc/latestjob.h>
#include <fbview/shotplot.h>
#include "shottabledelegate.h"
#include "shottablemodel.h"

#include <QCheckBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <qwt_plot_zoomer.h>
#include <qwt_text_label.h>

#include <cmath>
#include <limits>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// Rows the table shows under the plot: a screenful, the last one cut to
// say that more follow.
constexpr double TableRows = 8.5;
// The plot's title beside the table, against the window's font.
constexpr qreal NarrowTitleScale = 0.85;

int plural(qint64 n)
{
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

// The legend's name for a reciprocal partner's picks.
QString partnerTitle(int position, qint32 ffid)
{
    return ShotPanel::tr("Reciprocal %1 > %2").arg(position + 1).arg(ffid);
}

} // namespace

ShotPanel::ShotPanel(QcDocument *document, QWidget *parent)
    : QWidget(parent), m_document(document), m_views(new LatestJob(LatestJob::Serial, this))
{
    m_plot = new ShotPlot;
    m_plot->setObjectName(QStringLiteral("shotPlot"));
    m_plot->setOutlierThreshold(document->settings().outlierMs);
    m_tableModel = new ShotTableModel(this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("shotTable"));
    m_table->setModel(m_tableModel);
    m_table->verticalHeader()->hide();
    // fb_time takes a typed number; several picks are rejected at once.
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setAlternatingRowColors(true);
    m_table->setItemDelegate(new ShotTableDelegate(m_table));
    // So that a pick scrolled to sits in the middle, not at a row's edge.
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_splitter = new QSplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("shotSplitter"));
    m_splitter->addWidget(m_plot);
    m_splitter->addWidget(m_table);
    m_splitter->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    m_controls = new QWidget;
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
    m_asPicked = new QCheckBox(tr("As picked"));
    m_asPicked->setObjectName(QStringLiteral("asPicked"));
    m_asPicked->setToolTip(tr("On a line whose picks follow the topography, plot the picks and the curve at their "
                              "times as picked, the curve following the ground, instead of at the source's height"));
    m_asPicked->setEnabled(false);
    auto *resetZoom = new QPushButton(tr("Reset Zoom"));
    resetZoom->setObjectName(QStringLiteral("resetZoomButton"));
    auto *controls = new QHBoxLayout(m_controls);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(new QLabel(tr("Reduction velocity:")));
    controls->addWidget(m_velocity);
    // The traces follow the reduction velocity too; the rest is the plot's,
    // in a row or folded behind one button.
    m_plotControls = new QWidget;
    auto *plotControls = new QHBoxLayout(m_plotControls);
    plotControls->setContentsMargins(0, 0, 0, 0);
    m_plotRow = new QWidget;
    auto *plotRow = new QHBoxLayout(m_plotRow);
    plotRow->setContentsMargins(0, 0, 0, 0);
    plotRow->addWidget(m_residuals);
    plotRow->addWidget(m_asPicked);
    plotRow->addWidget(resetZoom);
    plotControls->addWidget(m_plotRow);
    m_plotMenu = new QToolButton;
    m_plotMenu->setObjectName(QStringLiteral("plotMenuButton"));
    m_plotMenu->setText(tr("Plot"));
    m_plotMenu->setToolTip(tr("Residuals, as picked, reset zoom"));
    m_plotMenu->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(m_plotMenu);
    menu->setToolTipsVisible(true);
    m_plotMenu->setMenu(menu);
    m_plotMenu->hide();
    plotControls->addWidget(m_plotMenu);
    // The boxes hold the state: the menu shows it as it opens.
    connect(menu, &QMenu::aboutToShow, this, [this, menu, resetZoom] {
        menu->clear();
        for (QAbstractButton *box :
             {static_cast<QAbstractButton *>(m_residuals), static_cast<QAbstractButton *>(m_asPicked),
              static_cast<QAbstractButton *>(resetZoom)}) {
            QAction *action = menu->addAction(box->text());
            action->setToolTip(box->toolTip());
            action->setEnabled(box->isEnabled());
            action->setCheckable(box->isCheckable());
            action->setChecked(box->isChecked());
            connect(action, &QAction::triggered, box, &QAbstractButton::click);
        }
    });
    controls->addWidget(m_plotControls);

    connect(m_velocity, &QLineEdit::editingFinished, this, &ShotPanel::showView);
    connect(m_residuals, &QCheckBox::toggled, this, &ShotPanel::showView);
    connect(m_asPicked, &QCheckBox::clicked, this, [this](bool checked) {
        showView();
        emit asPickedChosen(checked);
    });
    connect(resetZoom, &QPushButton::clicked, m_plot, &ShotPlot::resetZoom);
    connect(m_plot, &ShotPlot::rowClicked, this, &ShotPanel::selectRow);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                const int row = current.isValid() ? current.row() : -1;
                m_document->setSelectedRecord(row >= 0 ? qint32(m_tableModel->firstRecord() + row) : -1);
                if (m_plot->selectedRow() != row)
                    m_plot->setSelectedRow(row);
            });

    connect(&m_loader, &ShotLoader::shotLoaded, this, &ShotPanel::onShotLoaded);
    connect(&m_loader, &ShotLoader::partnerLoaded, this, &ShotPanel::onPartnerLoaded);
    connect(document, &QcDocument::fileShown, this, &ShotPanel::showFile);
    connect(document, &QcDocument::currentShotChanged, this, &ShotPanel::requestShot);
    connect(document, &QcDocument::targetChanged, this, &ShotPanel::applyTarget);
    connect(document, &QcDocument::picksChanged, this, &ShotPanel::showEditedShots);
}

ShotPanel::~ShotPanel() = default;

void ShotPanel::setOrientation(Qt::Orientation orientation)
{
    m_splitter->setOrientation(orientation);
    const bool beside = orientation == Qt::Horizontal;
    // Beside the table the plot takes a little more than half the width,
    // for its title on one line, and both share a wider window. Over it,
    // the table keeps a screenful of rows and the plot, which wants all
    // the room there is, takes the rest, as the window grows or shrinks.
    QSizePolicy plotPolicy = m_plot->sizePolicy(), tablePolicy = m_table->sizePolicy();
    plotPolicy.setHorizontalStretch(1);
    plotPolicy.setVerticalStretch(1);
    tablePolicy.setHorizontalStretch(1);
    tablePolicy.setVerticalStretch(0);
    m_plot->setSizePolicy(plotPolicy);
    m_table->setSizePolicy(tablePolicy);
    if (beside) {
        m_splitter->setSizes({13 * SplitUnit / 10, SplitUnit});
    } else {
        const int rows = m_table->horizontalHeader()->sizeHint().height() +
                         int(TableRows * m_table->verticalHeader()->defaultSectionSize()) +
                         m_table->horizontalScrollBar()->sizeHint().height() + 2 * m_table->frameWidth();
        m_splitter->setSizes({SplitUnit, rows});
    }
    // The title in the window's own font, bold, and smaller beside the
    // table: on one line down to the narrowest plot a small screen leaves.
    QFont titleFont = font();
    titleFont.setBold(true);
    if (beside)
        titleFont.setPointSizeF(titleFont.pointSizeF() * NarrowTitleScale);
    m_plot->titleLabel()->setFont(titleFont);
}

void ShotPanel::setAsPicked(bool asPicked)
{
    m_asPicked->setChecked(asPicked);
    showView();
}

void ShotPanel::setPlotShown(bool shown)
{
    m_plotControls->setEnabled(shown);
}

void ShotPanel::setControlsFolded(bool folded)
{
    if (m_plotMenu->isVisibleTo(m_plotControls) == folded)
        return;
    m_plotRow->setVisible(!folded);
    m_plotMenu->setVisible(folded);
    // Their hints anew at once: the window places them by their width.
    m_plotControls->updateGeometry();
    m_controls->updateGeometry();
}

int ShotPanel::controlsWidth(bool folded) const
{
    // From the parts' hints, which hold whichever of them is hidden.
    const QWidget *plotPart = folded ? static_cast<QWidget *>(m_plotMenu) : m_plotRow;
    return m_controls->sizeHint().width() - m_plotControls->sizeHint().width() + plotPart->sizeHint().width();
}

void ShotPanel::enableHeights()
{
    m_asPicked->setEnabled(ShotPlot::hasHeights(m_plot->fit()));
}

void ShotPanel::showFile(const std::shared_ptr<const QcData> &data)
{
    m_plot->setOutlierThreshold(data->report.settings.outlierMs);
    m_plot->setUnits(data->report.units);
    // Room for the widest partner title: the last shot's number, and the
    // longer of the first and last ffid (ffids mostly run in file order).
    const auto &index = data->report.index();
    if (!index.isEmpty()) {
        const qint32 first = index.first().ffid, last = index.last().ffid;
        const QString firstText = QString::number(first), lastText = QString::number(last);
        m_plot->setPartnerRoom(partnerTitle(index.size() - 1, firstText.size() > lastText.size() ? first : last));
    }
}

// Asks for a shot's records and fit; the table and plot keep the shot they
// show until it arrives.
void ShotPanel::requestShot(int shot)
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    m_refitting = -1;
    m_loader.request(data->fileName, data->report.index().at(shot), shot, data->report.settings,
                     m_document->session()->edits(), wantedView());
}

ShotPlot::View ShotPanel::wantedView() const
{
    ShotPlot::View view = m_plot->view();
    view.mode = m_residuals->isChecked() ? ShotPlot::Residuals : ShotPlot::Times;
    view.velocity = std::max(0.0, QLocale::c().toDouble(m_velocity->text()));
    view.heights = m_asPicked->isChecked() ? ShotPlot::AsPicked : ShotPlot::AtSource;
    return view;
}

void ShotPanel::showView()
{
    const ShotPlot::View wanted = wantedView();
    m_views->cancel();
    if (wanted.mode == m_plot->view().mode && wanted.velocity == m_plot->view().velocity &&
        wanted.heights == m_plot->view().heights)
        return;
    const QVector<FbRecord> records = m_plot->records();
    const FbQc::ShotFit fit = m_plot->fit();
    if (records.size() <= AsidePicks) {
        m_plot->showDrawn(ShotPlot::build(records, fit, wanted));
        return;
    }
    m_views->run<std::shared_ptr<const ShotPlot::Drawn>>(
        [records, fit, wanted](const LatestJob::Ticket &) { return ShotPlot::build(records, fit, wanted); },
        [this](std::shared_ptr<const ShotPlot::Drawn> drawn) { m_plot->showDrawn(drawn); });
}

void ShotPanel::onShotLoaded(std::shared_ptr<const LoadedShot> loaded)
{
    if (!m_document->data() || loaded->shot != m_document->currentShot())
        return;
    if (loaded->shot == m_refitting) {
        m_refitting = -1;
        if (m_document->shownShot() == loaded->shot && loaded->state == LoadedShot::Judged &&
            loaded->table.firstRecord == m_tableModel->firstRecord()) {
            m_tableModel->setEdits(m_document->session()->edits(), m_document->data()->report.settings.units);
            m_tableModel->updatePicks(loaded->table.records, loaded->table.fit);
            showEditedPicks(loaded->table.records, loaded->table.fit, loaded->ffid, loaded->plot);
        }
        return;
    }
    const int shot = loaded->shot;
    const QString name = QStringLiteral("%1 > %2").arg(shot + 1).arg(loaded->ffid);
    const QString picks = tr("%Ln pick(s)", nullptr, plural(loaded->picks));
    if (loaded->state == LoadedShot::NotJudged)
        emit shotNote(tr("Shot %1 holds %2, too many to judge: the QC reports it as too large, and its records "
                         "are listed unfitted, not plotted.")
                          .arg(name, picks));
    else if (loaded->state == LoadedShot::NotRead)
        emit shotNote(tr("Shot %1 holds %2, too many to show; the other shots can be viewed.").arg(name, picks));
    else
        emit shotNote(QString());

    // Only the records and fit are handed over; the pass over them was the worker's.
    m_tableModel->setEdits(m_document->session()->edits(), m_document->data()->report.settings.units);
    ShotTableModel::Shot table = loaded->table;
    m_tableModel->setShot(std::move(table));
    // Each column as wide as its title and its cells, not the viewer's
    // fixed widths: beside the plot on a small screen fb_time shows whole.
    m_table->resizeColumnsToContents();
    m_document->setReceivers(shot, loaded->receivers);
    // The plot in the next turn of the event loop: a shot of a million
    // picks takes tens of milliseconds to draw, the table and map as many.
    QTimer::singleShot(0, this, [this, loaded, picks] {
        const int shot = loaded->shot;
        if (shot != m_document->currentShot() || m_tableModel->firstRecord() != loaded->table.firstRecord)
            return;
        // A shot too large to judge is listed, not plotted: drawing millions
        // of picks would hold the window for longer than a look is worth.
        const bool judged = loaded->state == LoadedShot::Judged;
        m_views->cancel();
        m_plot->setShot(judged ? m_tableModel->records() : QVector<FbRecord>(), m_tableModel->fit(), shot, loaded->ffid,
                        loaded->plot);
        enableHeights();
        // Built for the view wanted when the shot was asked for.
        showView();
        if (loaded->state == LoadedShot::NotJudged)
            m_plot->setTitle(tr("Shot %1 > ffid %2: %3, too many to judge").arg(shot + 1).arg(loaded->ffid).arg(picks));
        else if (loaded->state == LoadedShot::NotRead)
            m_plot->setTitle(tr("Shot %1 > ffid %2: %3, too many to show").arg(shot + 1).arg(loaded->ffid).arg(picks));
        m_document->setPartner(-1);
        applyTarget();
        m_document->setShown(shot);
    });
}

void ShotPanel::applyTarget()
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    const QcDocument::Target target = m_document->takeTarget();
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
        double best = data->stations.cellWidth() / 2;
        for (int i = 0; i < records.size(); ++i) {
            const double d = std::abs(data->stations.pickAt(records.at(i)) - target.station);
            if (d <= best) {
                best = d;
                row = i;
            }
        }
    }
    selectRow(row);
    if (target.partner != m_document->partner()) {
        m_document->setPartner(target.partner);
        if (target.partner >= 0)
            m_loader.requestPartner(data->fileName, data->report.index().at(target.partner), target.partner,
                                    data->report.settings, m_document->session()->edits());
        else
            m_plot->setPartnerPicks({}, QString());
    }
}

void ShotPanel::onPartnerLoaded(int partner, const FbView::ShotPlot::Partner &picks)
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    if (!data || partner != m_document->partner() || m_document->shownShot() != m_document->currentShot())
        return;
    m_plot->setPartnerPicks(picks.picks, partnerTitle(partner, data->report.index().at(partner).ffid), picks.heights);
}

void ShotPanel::selectRow(int row)
{
    if (row >= 0) {
        const QModelIndex index = m_tableModel->index(row, FbColumns::FbTime);
        m_table->selectionModel()->setCurrentIndex(index,
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_table->scrollTo(index, QAbstractItemView::PositionAtCenter);
    } else {
        m_table->selectionModel()->clearSelection();
    }
    if (m_plot->selectedRow() != row)
        m_plot->setSelectedRow(row);
}

int ShotPanel::reciprocalRow(int shotB) const
{
    const FbQc::ShotSource &b = m_document->data()->report.shots().source(shotB);
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

void ShotPanel::showEditedShots(const QVector<qint32> &shots)
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    const int current = m_document->currentShot();
    if (!data || current < 0 || m_document->shownShot() != current ||
        !std::binary_search(shots.cbegin(), shots.cend(), current))
        return;
    const ShotIndexEntry &entry = data->report.index().at(current);
    // Edits are made in shots the window shows, fitted: never in one too
    // large to judge.
    if (qint64(entry.lastRecord) - entry.firstRecord + 1 > data->report.settings.maxJudgedPicks)
        return;
    EditSession *session = m_document->session();
    // A large shot is read and fitted again on a worker; the plot and table
    // show it as it was until then.
    if (qint64(entry.lastRecord) - entry.firstRecord + 1 > AsidePicks) {
        m_refitting = current;
        m_loader.request(data->fileName, entry, current, data->report.settings, session->edits(), wantedView());
        return;
    }
    const QVector<FbRecord> records = session->records(current);
    const FbQc::ShotFit fit = FbQc::fitShot(records, data->report.settings);
    m_tableModel->setEdits(session->edits(), data->report.settings.units);
    m_tableModel->updatePicks(records, fit);
    showEditedPicks(records, fit, entry.ffid, nullptr);
}

void ShotPanel::showEditedPicks(const QVector<FbRecord> &records, const FbQc::ShotFit &fit, qint32 ffid,
                                const std::shared_ptr<const ShotPlot::Drawn> &drawn)
{
    // The plot keeps the user's zoom and the selected pick.
    auto *zoomer = m_plot->findChild<QwtPlotZoomer *>();
    const bool zoomed = zoomer && zoomer->zoomRectIndex() > 0;
    const QRectF zoom = zoomed ? zoomer->zoomRect() : QRectF();
    m_views->cancel();
    m_plot->setShot(records, fit, m_document->shownShot(), ffid, drawn);
    enableHeights();
    showView();
    if (zoomed)
        zoomer->zoom(zoom);
    const QModelIndex index = m_table->currentIndex();
    m_plot->setSelectedRow(index.isValid() ? index.row() : -1);
}
