#include <fbview/qcmapvalues.h>

#include <fbqc/memoryadvice.h>

#include <QLocale>

#include <algorithm>
#include <QtMath>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

const char *const QcMapValues::keys[QuantityCount] = {"outliers", "rms", "picks", "pairs", "timing"};

SurveyMapData QcMapValues::survey(const FbQc::Report &report, const Progress &progress)
{
    const FbQc::ShotSummaries &shots = report.shots();
    QVector<SurveyPoint> sources(shots.size());
    for (int s = 0; s < shots.size(); ++s)
        sources[s] = SurveyPoint{shots.source(s).x, shots.source(s).y};
    QVector<SurveyPoint> receivers(report.receivers().size());
    for (int k = 0; k < report.receivers().size(); ++k)
        receivers[k] = SurveyPoint{report.receivers().at(k).x, report.receivers().at(k).y};
    return SurveyMapData::build(std::move(sources), std::move(receivers), progress);
}

SurveyValues QcMapValues::values(const FbQc::Report &report, Quantity quantity)
{
    SurveyValues values;
    const int shots = report.shots().size();
    // A list for millions of shots is faulted in far faster in large pages.
    values.values.reserve(shots);
    FbQc::adviseLargePages(values.values.constData(), size_t(shots) * sizeof(float));
    values.values.resize(shots);
    float *value = values.values.data();
    switch (quantity) {
    case RmsResidual:
        values.kind = SurveyValues::Continuous;
        values.title = tr("RMS residual (ms)");
        for (int s = 0; s < shots; ++s)
            value[s] = report.shots().at(s).rmsResidual;
        break;
    case Picks:
        values.kind = SurveyValues::Count;
        values.title = tr("Picks per shot");
        for (int s = 0; s < shots && s < report.index().size(); ++s)
            value[s] = float(qint64(report.index().at(s).lastRecord) - report.index().at(s).firstRecord + 1);
        break;
    case FlaggedPairs: {
        values.kind = SurveyValues::Count;
        values.title = tr("Flagged pairs per shot");
        FbQc::FindingList::Reader pairs(report.findings(FbQc::Kind::Reciprocity));
        while (const FbQc::Finding *f = pairs.next()) {
            value[f->shot] += 1.0f;
            if (!(f->flags & FbQc::Explained))
                value[f->otherShot] += 1.0f;
        }
        break;
    }
    case TimingError:
        values.kind = SurveyValues::Signed;
        values.title = tr("Estimated timing error (ms)");
        std::fill(value, value + shots, float(qQNaN()));
        for (const FbQc::TimingEstimate &t : report.timing())
            value[t.shot] = t.delay;
        break;
    case Outliers:
    case QuantityCount: {
        // The report lists every outlier with its shot: a survey of millions
        // of shots is counted without looking each one up.
        values.kind = SurveyValues::Count;
        values.title = tr("Outliers per shot");
        FbQc::FindingList::Reader outliers(report.findings(FbQc::Kind::Outlier));
        while (const FbQc::Finding *o = outliers.next()) {
            if (o->shot >= 0 && o->shot < shots)
                value[o->shot] += 1.0f;
        }
        break;
    }
    }
    values.findRange();
    return values;
}

QString QcMapValues::describe(const FbQc::Report &report, int shot)
{
    if (shot < 0 || shot >= report.shots().size())
        return QString();
    const FbQc::ShotSummary s = report.shots().at(shot);
    const QLocale locale;
    const QString rms =
        qIsFinite(s.rmsResidual) ? tr("%1 ms").arg(locale.toString(double(s.rmsResidual), 'f', 2)) : tr("no fit");
    QString text = tr("ffid %1").arg(s.ffid) + QLatin1Char('\n') + tr("Outliers: %L1").arg(s.outliers) +
                   QLatin1Char('\n') + tr("RMS residual: %1").arg(rms) + QLatin1Char('\n') +
                   tr("Picks: %L1").arg(s.picks);
    if (const FbQc::TimingEstimate *t = report.timingOf(shot))
        text += QLatin1Char('\n') + tr("Timing error: %1 ms (%L2 pairs)").arg(FbQc::timingText(t->delay)).arg(t->pairs);
    return text;
}

} // namespace FbView
