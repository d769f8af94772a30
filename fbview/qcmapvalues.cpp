#include "qcmapvalues.h"

#include "memoryadvice.h"

#include <QLocale>
#include <QtMath>

SurveyMapData QcMapValues::survey(const PickQc::ShotSummaries &shots, QVector<SurveyPoint> receivers,
                                  const std::function<bool()> &keepGoing)
{
    QVector<SurveyPoint> sources(shots.size());
    for (int s = 0; s < shots.size(); ++s)
        sources[s] = SurveyPoint{shots.source(s).x, shots.source(s).y};
    return SurveyMapData::build(std::move(sources), std::move(receivers), keepGoing);
}

SurveyValues QcMapValues::values(const PickQc::Report &report, Quantity quantity)
{
    SurveyValues values;
    const int shots = report.shots.size();
    // A list for millions of shots is faulted in far faster in large pages.
    values.values.reserve(shots);
    PickQc::adviseLargePages(values.values.constData(), size_t(shots) * sizeof(float));
    values.values.resize(shots);
    float *value = values.values.data();
    switch (quantity) {
    case RmsResidual:
        values.kind = SurveyValues::Continuous;
        values.title = tr("RMS residual (ms)");
        for (int s = 0; s < shots; ++s)
            value[s] = report.shots.at(s).rmsResidual;
        break;
    case Picks:
        values.kind = SurveyValues::Count;
        values.title = tr("Picks per shot");
        for (int s = 0; s < shots && s < report.index.size(); ++s)
            value[s] = float(qint64(report.index.at(s).lastRecord) - report.index.at(s).firstRecord + 1);
        break;
    case Outliers:
    case QuantityCount:
        // The report lists every outlier with its shot: a survey of millions
        // of shots is counted without looking each one up.
        values.kind = SurveyValues::Count;
        values.title = tr("Outliers per shot");
        for (const PickQc::Outlier &o : report.outliers) {
            if (o.shot >= 0 && o.shot < shots)
                value[o.shot] += 1.0f;
        }
        break;
    }
    return values;
}

QString QcMapValues::describe(const PickQc::ShotSummaries &shots, int shot)
{
    if (shot < 0 || shot >= shots.size())
        return QString();
    const PickQc::ShotSummary s = shots.at(shot);
    const QLocale locale;
    const QString rms = qIsFinite(s.rmsResidual) ? tr("%1 ms").arg(locale.toString(double(s.rmsResidual), 'f', 2))
                                                 : tr("no fit");
    return tr("ffid %1").arg(s.ffid) + QLatin1Char('\n') + tr("Outliers: %L1").arg(s.outliers) + QLatin1Char('\n')
           + tr("RMS residual: %1").arg(rms) + QLatin1Char('\n') + tr("Picks: %L1").arg(s.picks);
}
