#ifndef QCMAPVALUES_H
#define QCMAPVALUES_H

#include "pickqc.h"
#include "surveymapdata.h"

#include <QCoreApplication>
#include <QString>

// What the QC window and fbtool map show of a judged file on a survey map:
// its sources, a per-shot QC quantity to colour them by, and the lines of a
// shot's tool tip. The map itself knows nothing of QC; this is where the QC
// report's shot summaries become map values, once for both.
//
//   SurveyMapData data = QcMapValues::survey(report, receivers);     // any thread
//   map->setSurvey(data);
//   map->setValues(QcMapValues::values(report, QcMapValues::Outliers));
//   map->setShotDescriber([&report](int shot) { return QcMapValues::describe(report.shots, shot); });
class QcMapValues
{
    Q_DECLARE_TR_FUNCTIONS(QcMapValues)

public:
    enum Quantity { Outliers, RmsResidual, Picks, QuantityCount };

    // The map's data: each shot's source (as its first record gives it) and
    // the receivers (distinct positions); keepGoing as SurveyMapData::build()
    // takes it.
    static SurveyMapData survey(const PickQc::ShotSummaries &shots, QVector<SurveyPoint> receivers,
                                const std::function<bool()> &keepGoing = {});
    // The quantity for every shot of a report: outliers and picks are
    // counts, the RMS residual (ms) a measure, NaN for a shot that has no
    // fit. Counts take time in proportion to the shots; the RMS residual
    // looks each shot's summary up.
    static SurveyValues values(const PickQc::Report &report, Quantity quantity);
    // "ffid F", then the shot's outliers, RMS residual and picks, a line each.
    static QString describe(const PickQc::ShotSummaries &shots, int shot);
};

#endif // QCMAPVALUES_H
