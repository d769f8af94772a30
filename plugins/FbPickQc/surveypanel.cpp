#include "surveypanel.h"

#include <fbview/stationresidualview.h>
#include <fbview/stationshotview.h>
#include <fbview/surveymap.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <iterator>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

SurveyPanel::SurveyPanel(QcDocument *document, QWidget *parent) : QWidget(parent), m_document(document)
{
    m_map = new SurveyMap;
    m_map->setDrawnOffThread(true);
    m_map->setObjectName(QStringLiteral("surveyMap"));
    m_colorBy = new QComboBox;
    m_colorBy->setObjectName(QStringLiteral("mapColorBy"));
    // In the order of QcMapValues::Quantity.
    m_colorBy->addItems({tr("Outliers"), tr("RMS residual"), tr("Picks"), tr("Flagged pairs"), tr("Timing error")});
    m_receiverView = new StationResidualView;
    m_receiverView->setObjectName(QStringLiteral("receiverView"));
    m_stationShots = new StationShotView;
    m_stationShots->setObjectName(QStringLiteral("stationShotView"));
    auto *kind = new QComboBox;
    kind->setObjectName(QStringLiteral("stationValues"));
    // In the order of StationShotView::Kind.
    kind->addItems({tr("Reciprocal differences"), tr("Residuals")});

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("surveyTabs"));
    m_tabs->addTab(m_map, tr("Map"));
    m_tabs->addTab(m_receiverView, tr("Receivers"));
    m_tabs->addTab(m_stationShots, tr("Stations × shots"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_controlsRow = new QHBoxLayout;
    m_controlsRow->addStretch();
    layout->addLayout(m_controlsRow);
    layout->addWidget(m_tabs);
    // What colours the view shown sits beside the tabs, so that the views
    // keep the height a row of its own would take; only the shown view's
    // list takes room there. Where the tabs would have to scroll or cut
    // their names to leave it room, it takes that row above them instead.
    auto *controls = new QWidget;
    controls->setObjectName(QStringLiteral("surveyControls"));
    m_controls = controls;
    auto *controlsLayout = new QHBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 4, 0);
    QComboBox *const perTab[] = {m_colorBy, nullptr, kind};
    m_colorBy->setToolTip(tr("Colour sources by"));
    kind->setToolTip(tr("Colour cells by"));
    for (QComboBox *combo : perTab) {
        if (combo)
            controlsLayout->addWidget(combo);
    }
    const auto showControl = [this, perTab](int tab) {
        for (int k = 0; k < int(std::size(perTab)); ++k) {
            if (perTab[k])
                perTab[k]->setVisible(k == tab);
        }
        placeControls();
    };
    m_tabs->setCornerWidget(controls);
    showControl(0);
    connect(m_tabs, &QTabWidget::currentChanged, controls, showControl);
    connect(kind, QOverload<int>::of(&QComboBox::currentIndexChanged), m_stationShots,
            [this](int k) { m_stationShots->setKind(StationShotView::Kind(k)); });
    connect(m_receiverView, &StationResidualView::receiverClicked, this, &SurveyPanel::goToReceiver);
    connect(m_stationShots, &StationShotView::cellClicked, this, &SurveyPanel::goToCell);
    connect(m_map, &SurveyMap::shotClicked, this, [this](int shot) { m_document->goTo(shot); });
    connect(m_colorBy, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SurveyPanel::updateMapValues);

    connect(document, &QcDocument::fileShown, this, &SurveyPanel::showVerdicts);
    connect(document, &QcDocument::surveyShown, this, &SurveyPanel::showSurvey);
    connect(document, &QcDocument::verdictsChanged, this, &SurveyPanel::showEdited);
    connect(document, &QcDocument::currentShotChanged, this, [this](int shot) {
        m_map->setCurrentShot(shot, {});
        m_stationShots->setCurrentShot(shot);
    });
    connect(document, &QcDocument::receiversRead, m_map, &SurveyMap::setCurrentShot);
}

SurveyPanel::~SurveyPanel() = default;

void SurveyPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void SurveyPanel::placeControls()
{
    // Room for the widest view's list, so that moving between the views
    // never moves them up or down.
    int widest = 0;
    for (const QComboBox *combo : m_controls->findChildren<QComboBox *>())
        widest = qMax(widest, combo->sizeHint().width());
    const QMargins margins = m_controls->layout()->contentsMargins();
    const bool beside = m_tabs->tabBar()->sizeHint().width() + widest + margins.left() + margins.right() <=
                        m_tabs->contentsRect().width();
    if (beside == (m_tabs->cornerWidget() == m_controls))
        return;
    if (beside) {
        m_controlsRow->removeWidget(m_controls);
        m_tabs->setCornerWidget(m_controls);
    } else {
        m_tabs->setCornerWidget(nullptr);
        m_controlsRow->addWidget(m_controls);
    }
    m_controls->show();
}

void SurveyPanel::showVerdicts(const std::shared_ptr<const QcData> &data)
{
    for (SurveyValues &values : m_mapValues)
        values = SurveyValues();
    m_map->setShotDescriber([data](int shot) { return QcMapValues::describe(data->report, shot); });
}

void SurveyPanel::showSurvey(const std::shared_ptr<const QcData> &data, bool newFile)
{
    if (newFile)
        m_map->setSurvey(data->map);
    updateMapValues();
    const FbQc::Report &r = data->report;
    // The same file judged again from what its pass kept has the same
    // stations, receivers' residuals and shots: only the thresholds differ.
    if (newFile) {
        m_receiverView->setAxis(data->stations);
        m_stationShots->setSurvey(data->stations, r.index());
    }
    // A receiver off by half what makes a pick an outlier, in every shot, is a problem.
    m_receiverView->setThreshold(r.settings.outlierMs / 2);
    m_stationShots->setDifferences(r);
    m_stationShots->setResidualSource(data->fileName, r.settings);
}

void SurveyPanel::showEdited(const std::shared_ptr<const QcData> &data)
{
    showVerdicts(data);
    updateMapValues();
    // The edited shots' pairs; the receivers' means and residuals are the file's.
    m_stationShots->setDifferences(data->report);
}

void SurveyPanel::updateMapValues()
{
    const std::shared_ptr<const QcData> data = m_document->data();
    if (!data)
        return;
    // A file's values never change: each colouring is made once, and going
    // back to it (millions of shots) costs only the drawing. Made off the UI
    // thread: a value per shot of millions takes a second.
    const int quantity = m_colorBy->currentIndex();
    if (m_mapValues[quantity].values.size() == data->report.shots().size()) {
        m_map->setValues(m_mapValues[quantity]);
        return;
    }
    m_valuesJob.run<SurveyValues>(
        [data, quantity](const LatestJob::Ticket &) {
            return QcMapValues::values(data->report, QcMapValues::Quantity(quantity));
        },
        [this, data, quantity](SurveyValues values) {
            if (data != m_document->data())
                return;
            m_mapValues[quantity] = std::move(values);
            if (m_colorBy->currentIndex() == quantity)
                m_map->setValues(m_mapValues[quantity]);
        });
}

void SurveyPanel::goToReceiver(int receiver)
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    if (!data)
        return;
    int shot = -1;
    qint32 record = -1;
    if (data->stations.findRecording(data->fileName, data->report.index(), receiver, &shot, &record,
                                     m_document->currentShot())) {
        QcDocument::Target target;
        target.record = record;
        m_document->goTo(shot, target);
    }
}

void SurveyPanel::goToCell(int shot, double coordinate, qint32 record)
{
    if (!m_document->data())
        return;
    QcDocument::Target target;
    target.record = record;
    // Else the shot's pick at the station, as the axis places it, once the
    // shot is read.
    target.station = record < 0 ? coordinate : qQNaN();
    m_document->goTo(shot, target);
}
