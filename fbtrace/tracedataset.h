#ifndef FBTRACE_TRACEDATASET_H
#define FBTRACE_TRACEDATASET_H

#include <fbfile/progress.h>
#include <fbtrace/shotgather.h>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace FbTrace {

// What the index keeps of one trace: its keys for finding the shot and for
// matching picks, 40 bytes whatever the format.
struct TraceKey
{
    qint32 ffid = 0;
    qint32 channel = 0;
    double sourceX = 0, sourceY = 0; // scalars applied
    double receiverX = 0, receiverY = 0;
};
} // namespace FbTrace

Q_DECLARE_TYPEINFO(FbTrace::TraceKey, Q_PRIMITIVE_TYPE);

namespace FbTrace {

// One shot: a maximal run of consecutive traces with the same ffid (within
// one file of a SEG-2 folder). Traces are numbered from 0 across the data set.
struct TraceShot
{
    qint32 ffid = 0;
    qint32 traceCount = 0;
    qint64 firstTrace = 0;
};
} // namespace FbTrace

Q_DECLARE_TYPEINFO(FbTrace::TraceShot, Q_PRIMITIVE_TYPE);

namespace FbTrace {

// A set of shot records on disk: one SEG-Y file, or a folder of SEG-2 files
// (one shot or more per file), or a single SEG-2 file.
//
//   TraceDataSet data;
//   if (!data.open(path, progress)) ... data.errorString();
//   data.warnings();                      // what was read around, if anything
//   ShotGather gather;
//   if (!data.readShot(data.shotOfFfid(1004), &gather)) ... data.errorString();
//
// open() decides the format from the content, never from the name: a folder
// is read as SEG-2 files (files of other content in it are skipped with a
// warning); a file starting with a SEG-2 block id is SEG-2; a file whose
// binary header holds a sample format code SEG-Y knows is SEG-Y; anything
// else fails as "neither SEG-Y nor SEG-2". It then reads every trace header
// once, in order, with progress and Cancel, and keeps a TraceKey per trace
// and a TraceShot per shot; no samples are held.
//
// Failing opens (errorString() says which, naming the trace or file):
// an unknown or unsupported sample format, no or an absurd sample interval
// (outside (0, maxSampleIntervalMs()]), no samples, a trace of another
// length than the file's in a fixed-length SEG-Y file, SEG-2 pointers or
// data past the end of the file, negative or overrunning string lengths, a
// key byte position that starts no trace header field, a cancelled index.
// A SEG-Y file whose last trace is cut short opens without it, with a
// warning. A data set fails as a whole rather than showing part of itself
// silently.
//
// readShot() reads that shot's headers and samples only, with the file's
// byte order and sample format turned into floats. Samples that are no
// finite number (IBM patterns past the float range, NaN in IEEE files) read
// as 0 and are counted in the gather's replacedSamples. SEG-2 traces of one
// shot shorter than its longest are padded with zeros.
//
// Opening, closing and setting the first sample are for one thread; once
// open, the const readShot() may read shots on several threads at once.
class TraceDataSet
{
public:
    enum class Format { None, SegY, Seg2 };

    struct Options
    {
        // 1-based byte positions of the SEG-Y trace header words that hold
        // the field record and the channel; each must start a header field.
        int ffidByte = 9;
        int channelByte = 13;
        // SEG-2: the ffid of a file by its name (without folder); files not
        // named take SHOT_SEQUENCE_NUMBER, else the number in their name,
        // else their position in the folder from 1.
        QHash<QString, qint32> seg2Ffids;
        // SEG-2: the number in a file's name goes before its
        // SHOT_SEQUENCE_NUMBER (seismographs that count shots per session).
        bool seg2FileNumbers = false;
        // Threads a large SEG-Y file's trace headers may be read on while
        // it opens, the caller's own among them: the caller's own thread
        // setting, so that opening uses no more cores than the work that
        // follows; 0: one per core. At most four either way.
        int threads = 0;
    };

    TraceDataSet();
    ~TraceDataSet();
    TraceDataSet(const TraceDataSet &) = delete;
    TraceDataSet &operator=(const TraceDataSet &) = delete;

    void setOptions(const Options &options) { m_options = options; }
    const Options &options() const { return m_options; }

    // Opens and indexes path (a file or a folder); replaces what was open.
    bool open(const QString &path, const FbFile::Progress &progress = FbFile::Progress());
    void close();
    bool isOpen() const;
    QString errorString() const { return m_error; }
    // Things read around while opening (a cut last trace, skipped files).
    QStringList warnings() const { return m_warnings; }

    QString path() const { return m_path; }
    Format format() const;
    QString formatName() const;         // "SEG-Y" or "SEG-2"
    int revision() const;               // SEG-Y 0, 1, 2; SEG-2's revision number
    QString sampleFormatName() const;   // "IBM float", "int16", "20-bit float", ...
    QString byteOrderName() const;      // "big-endian" or "little-endian"
    QString textHeaderEncoding() const; // SEG-Y: "EBCDIC" or "ASCII"; else empty
    int fileCount() const;              // SEG-2 files read; 1 for SEG-Y

    qint64 traceCount() const { return m_keys.size(); }
    int shotCount() const { return m_shots.size(); }
    const QVector<TraceKey> &traceKeys() const { return m_keys; }
    const QVector<TraceShot> &shots() const { return m_shots; }
    // Position of the first shot with this ffid, or -1.
    int shotOfFfid(qint32 ffid) const;

    // The first trace's values: every trace of a SEG-Y file has them; SEG-2
    // files may differ from file to file, and each gather says its own.
    int samplesPerTrace() const { return m_samplesPerTrace; }
    double sampleIntervalMs() const { return m_sampleIntervalMs; }
    double firstSampleMs() const;

    // The time of the first sample of every trace, in place of the
    // format's own (a pre-trigger written as a positive delay, say). It
    // stays set, also across open(), until cleared.
    void setFirstSampleMs(double ms);
    void clearFirstSampleMs();
    bool firstSampleOverridden() const { return m_overrideFirstSample; }

    // Fills *gather with shot position `shot` (0-based). False when the
    // position is out of range or the shot cannot be read; errorString().
    bool readShot(int shot, ShotGather *gather);
    // The same, safe to call from several threads at once (each call opens
    // the file for itself) while nothing opens, closes or sets the first
    // sample of the data set; *error (when given) says why it failed.
    bool readShot(int shot, ShotGather *gather, QString *error) const;

    // Bytes the index holds per trace.
    static constexpr int indexBytesPerTrace() { return int(sizeof(TraceKey)); }
    static double maxSampleIntervalMs();

    class Reader;

private:
    Options m_options;
    std::unique_ptr<Reader> m_reader;
    QString m_path;
    QString m_error;
    QStringList m_warnings;
    QVector<TraceKey> m_keys;
    QVector<TraceShot> m_shots;
    QHash<qint32, int> m_shotOfFfid;
    int m_samplesPerTrace = 0;
    double m_sampleIntervalMs = 0;
    double m_firstSampleMs = 0;
    bool m_overrideFirstSample = false;
    double m_firstSampleOverride = 0;
};

} // namespace FbTrace

#endif // FBTRACE_TRACEDATASET_H
