#include <fbqc/repick.h>

#include <fbfile/fbpicks.h>
#include <fbtrace/shotgather.h>

#include <cmath>

using namespace FbFile;
using namespace FbTrace;

namespace FbQc {

PickPhase phaseOf(SnapMode mode)
{
    switch (mode) {
    case SnapMode::FirstPeak:
        return PickPhase::FirstPeak;
    case SnapMode::FirstTrough:
        return PickPhase::FirstTrough;
    case SnapMode::ZeroCrossing:
        return PickPhase::ZeroCrossing;
    case SnapMode::Onset:
    case SnapMode::None:
        break;
    }
    return PickPhase::Onset;
}

QString snapModeName(SnapMode mode)
{
    switch (mode) {
    case SnapMode::Onset:
        return QCoreApplication::translate("FbQc::Repick", "Onset");
    case SnapMode::FirstPeak:
        return QCoreApplication::translate("FbQc::Repick", "First peak");
    case SnapMode::FirstTrough:
        return QCoreApplication::translate("FbQc::Repick", "First trough");
    case SnapMode::ZeroCrossing:
        return QCoreApplication::translate("FbQc::Repick", "Zero crossing");
    case SnapMode::None:
        break;
    }
    return QCoreApplication::translate("FbQc::Repick", "No snapping");
}

double snapDrawn(const TraceSamples &trace, double drawnMs, const SnapSettings &snap)
{
    if (snap.mode == SnapMode::None)
        return drawnMs;
    const double snapped = snapTime(trace, drawnMs, snap.withinMs, phaseOf(snap.mode));
    return std::isfinite(snapped) ? snapped : drawnMs;
}

QVector<Suggestion> suggestRepicks(const ShotGather &gather, const QVector<FbRecord> &records,
                                   const QVector<int> &rowTrace, const ShotFit &fit, const SnapSettings &snap,
                                   const WaveformCheckSettings &check)
{
    QVector<Suggestion> suggestions;
    const int traces = gather.traceCount();
    if (traces == 0 || rowTrace.size() != records.size())
        return suggestions;
    QVector<double> picks(traces, qQNaN());
    for (int row = 0; row < records.size(); ++row) {
        const int trace = rowTrace.at(row);
        if (trace >= 0 && trace < traces && FbPicks::isLive(records.at(row)))
            picks[trace] = records.at(row).fb_time;
    }
    const WaveformCheck judged = checkWaveforms(gather, picks, check);
    OnsetPickerSettings picker = check.picker;
    picker.phase = phaseOf(snap.mode);
    if (std::isfinite(judged.periodMs))
        picker.periodMs = judged.periodMs;

    for (int row = 0; row < records.size(); ++row) {
        const int trace = rowTrace.at(row);
        if (trace < 0 || trace >= traces || !std::isfinite(picks.at(trace)))
            continue;
        const double old = picks.at(trace);
        const PickVerdict verdict = fit.picks.value(row);
        const WaveformJudgement w = judged.traces.value(trace);
        const bool disowned = w.verdict == WaveformVerdict::OffOnset || w.verdict == WaveformVerdict::CycleSkip;
        const bool flagged = verdict.outlier || verdict.run > 0;
        if (!disowned && (!flagged || w.verdict == WaveformVerdict::Good))
            continue;
        double guide = old;
        if (disowned && std::isfinite(w.onsetMs))
            guide = w.onsetMs;
        else if (verdict.judged && std::isfinite(verdict.model))
            guide = verdict.model;
        const OnsetPick pick = pickOnsetNear(traceOf(gather, trace), guide, picker);
        if (!pick.found || pick.confidence < picker.snapMinimumConfidence || !std::isfinite(pick.timeMs))
            continue;
        if (std::abs(pick.timeMs - old) < gather.sampleIntervalMs)
            continue;
        suggestions.append({row, old, pick.timeMs});
    }
    return suggestions;
}

} // namespace FbQc
