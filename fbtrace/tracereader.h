#ifndef FBTRACE_TRACEREADER_H
#define FBTRACE_TRACEREADER_H

#include <fbtrace/tracedataset.h>

namespace FbTrace {

// What a format's reader gives TraceDataSet: the index, read once, and a
// shot's traces on demand. Readers report failures as one sentence naming
// the trace or file; TraceDataSet prefixes nothing and keeps the sentence.
class TraceDataSet::Reader
{
public:
    // What index() fills besides the keys.
    struct Index
    {
        QVector<TraceKey> keys;
        QVector<TraceShot> shots;
        int samplesPerTrace = 0;
        double sampleIntervalMs = 0;
        double firstSampleMs = 0;
        QStringList warnings;

        // Appends a trace; a new shot starts where the ffid changes or the
        // caller says a new file starts.
        void add(const TraceKey &key, bool newFile = false)
        {
            if (newFile || shots.isEmpty() || shots.last().ffid != key.ffid)
                shots.append(TraceShot{key.ffid, 0, keys.size()});
            ++shots.last().traceCount;
            keys.append(key);
        }
    };

    virtual ~Reader() = default;
    virtual bool index(const FbFile::Progress &progress, Index *index) = 0;
    // Fills the gather's headers and samples; the caller sets the time base
    // override afterwards. shot is one of the index's shots. Safe to call
    // from several threads at once once index() has returned: each call
    // opens the file for itself. *error (when given) says why it failed.
    virtual bool readShot(const TraceShot &shot, ShotGather *gather, QString *error) const = 0;

    QString error;
    QString formatName;
    QString sampleFormatName;
    QString byteOrderName;
    QString textEncoding;
    int revision = 0;
    int fileCount = 1;
};

namespace TraceLimits {
// Longer sample intervals are no seismic recording but a broken header,
// often one read in the wrong byte order (500 us swapped reads as 62 ms).
constexpr double MaxSampleIntervalMs = 32.0;
// The most samples one gather may hold (256 MiB of floats); a shot beyond it
// is a file whose keys do not split it into shots.
constexpr qint64 MaxGatherSamples = qint64(1) << 26;
// How many traces go between two progress reports while indexing.
constexpr int ProgressStride = 4096;
} // namespace TraceLimits

} // namespace FbTrace

#endif // FBTRACE_TRACEREADER_H
