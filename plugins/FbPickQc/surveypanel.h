#ifndef SURVEYPANEL_H
#define SURVEYPANEL_H

#include <fbqc/latestjob.h>
#include "qcdocument.h"
#include <fbview/qcmapvalues.h>

#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QTabWidget;
namespace FbView {
class StationResidualView;
}
namespace FbView {
class StationShotView;
}
namespace FbView {
class SurveyMap;
}

// The survey-wide views of the QC window, each a tab: the map of sources
// and receivers coloured by a QC quantity (surveyMap, mapColorBy), each
// receiver's mean residual (receiverView) and the stations-by-shots image
// of reciprocal differences or residuals (stationShotView, stationValues).
// They mark the document's current shot; a click on a source, a receiver
// or a cell goes to that shot (and pick) through the document.
class SurveyPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SurveyPanel(QcDocument *document, QWidget *parent = nullptr);
    ~SurveyPanel() override;

    FbView::SurveyMap *map() const { return m_map; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The shown view's controls beside the tabs where both fit, else in a
    // row above them.
    void placeControls();
    void showVerdicts(const std::shared_ptr<const QcData> &data);
    void showSurvey(const std::shared_ptr<const QcData> &data, bool newFile);
    void showEdited(const std::shared_ptr<const QcData> &data);
    void updateMapValues();
    void goToReceiver(int receiver);
    void goToCell(int shot, double coordinate, qint32 record);

    QcDocument *m_document;
    QTabWidget *m_tabs = nullptr;
    QWidget *m_controls = nullptr;
    QHBoxLayout *m_controlsRow = nullptr;
    FbView::SurveyMap *m_map = nullptr;
    QComboBox *m_colorBy = nullptr;
    FbView::StationResidualView *m_receiverView = nullptr;
    FbView::StationShotView *m_stationShots = nullptr;
    FbView::SurveyValues m_mapValues[FbView::QcMapValues::QuantityCount]; // made when first shown
    FbQc::LatestJob m_valuesJob{FbQc::LatestJob::Serial};
};

#endif // SURVEYPANEL_H
