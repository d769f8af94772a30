#ifndef FBTRACE_SHOTGATHER_H
#define FBTRACE_SHOTGATHER_H

#include <QString>
#include <QVector>

#include <cstdint>

namespace FbTrace {

// The traces of one shot as the trace library hands them to the views, the
// onset picker and the waveform checks: every trace of the shot, in the data
// set's order, sampled at one interval. Only the current shot is held; a
// reader fills one of these on demand.
//
// Time base: sample i of every trace stands at firstSampleMs + i *
// sampleIntervalMs, in the same milliseconds as an FB file's pick times.
// firstSampleMs comes from the format (SEG-Y's delay recording time, SEG-2's
// DELAY) unless the user set the time of the first sample for the data set.
struct TraceHeader
{
    qint32 ffid = 0;                              // field record the trace belongs to
    qint32 channel = 0;                           // trace number within the record, from 1
    double sourceX = 0, sourceY = 0, sourceZ = 0; // scalars applied
    double receiverX = 0, receiverY = 0, receiverZ = 0;
    double offset = 0;     // as the header gives it, scalars applied
    qint64 traceIndex = 0; // 0-based position of the trace in the data set
};

struct ShotGather
{
    qint32 ffid = 0;
    double sampleIntervalMs = 0; // > 0 once filled
    double firstSampleMs = 0;
    int samplesPerTrace = 0;      // every trace of a gather has this many
    QVector<TraceHeader> headers; // one per trace
    QVector<float> samples;       // headers.size() * samplesPerTrace, trace after trace
    int replacedSamples = 0;      // samples that were no finite number, read as 0

    int traceCount() const { return headers.size(); }
    const float *trace(int i) const { return samples.constData() + qint64(i) * samplesPerTrace; }
    float *trace(int i) { return samples.data() + qint64(i) * samplesPerTrace; }
    double timeOfSample(double i) const { return firstSampleMs + i * sampleIntervalMs; }
    double sampleAt(double ms) const { return (ms - firstSampleMs) / sampleIntervalMs; }
};

} // namespace FbTrace

#endif // FBTRACE_SHOTGATHER_H
