#ifndef FBVIEW_QCMAPVALUES_H
#define FBVIEW_QCMAPVALUES_H

#include <fbqc/pickqc.h>
#include <fbview/surveymapdata.h>

#include <QCoreApplication>
#include <QString>

namespace FbView {

// What the QC window and fbtool map show of a judged file on a survey map:
// its sources, a per-shot QC quantity to colour them by, and the lines of a
// shot's tool tip. The map itself knows nothing of QC; this is where the QC
// report's shot summaries become map values, once for both.
//
//   SurveyMapData data = QcMapValues::survey(report);     // any thread
//   map->setSurvey(data);
//   map->setValues(QcMapValues::values(report, QcMapValues::Outliers));
//   map->setShotDescriber([&report](int shot) { return QcMapValues::describe(report, shot); });
class QcMapValues
{
    Q_DECLARE_TR_FUNCTIONS(QcMapValues)

public:
    enum Quantity { Outliers, RmsResidual, Picks, FlaggedPairs, TimingError, QuantityCount };
    // The names fbtool map's --color takes, in Quantity order.
    static const char *const keys[QuantityCount];

    // The map's data: each shot's source (as its first record gives it) and
    // the receivers the pass collected (Settings::collectReceivers);
    // Cancel as SurveyMapData::build() looks at it.
    static SurveyMapData survey(const FbQc::Report &report, const FbFile::Progress &progress = FbFile::Progress());
    // The quantity for every shot of a report: outliers, picks and flagged
    // pairs (a pair a shot's timing error explains counts for that shot
    // only) are counts, the RMS residual (ms) a measure, the estimated
    // timing error (ms) a signed measure; NaN for a shot that has none.
    static SurveyValues values(const FbQc::Report &report, Quantity quantity);
    // "ffid F", then the shot's outliers, RMS residual, picks and estimated
    // timing error, a line each.
    static QString describe(const FbQc::Report &report, int shot);
};

} // namespace FbView

#endif // FBVIEW_QCMAPVALUES_H
