#ifndef FBTRACE_SEGYREADER_H
#define FBTRACE_SEGYREADER_H

#include <fbtrace/tracereader.h>

#include <QByteArray>

struct segy_file_handle;

namespace FbTrace {

// SEG-Y revisions 0 to 2 through segyio: big- or little-endian (the rev. 2
// byte-order word, else whichever order gives a known sample format code),
// samples in IBM float, IEEE float, int32, int16 or int8, a textual header
// in EBCDIC or ASCII and any number of extended textual headers. Every
// trace has the binary header's sample count (a fixed-length file); the
// ffid and channel come from configurable header fields, coordinates and
// elevations have their scalars applied, and the first sample lies at the
// delay recording time. A large big-endian file's headers are indexed in
// parts on up to `threads` threads at once (0: one per core, at most four).
//
//   SegyReader reader(fileName, ffidByte, channelByte, threads);
//   if (!reader.open(head) || !reader.index(progress, &index)) ... reader.error;
class SegyReader : public TraceDataSet::Reader
{
public:
    SegyReader(const QString &fileName, int ffidByte, int channelByte, int threads = 0);
    ~SegyReader() override;

    // Whether the first 3600 bytes look like SEG-Y: a sample format code
    // the standard knows in one of the two byte orders.
    static bool looksLike(const QByteArray &head);

    // Reads the binary header; head is the file's first 3600 bytes.
    bool open(const QByteArray &head);
    bool index(const FbFile::Progress &progress, Index *index) override;
    bool readShot(const TraceShot &shot, ShotGather *gather, QString *error) const override;

private:
    bool fail(const QString &why);

    QString m_fileName;
    int m_ffidByte;
    int m_channelByte;
    int m_threads;
    segy_file_handle *m_file = nullptr; // while indexing
    int m_format = 0;
    bool m_lsb = false;
    int m_samples = 0;
    int m_traceBytes = 0; // samples only, as segyio counts a trace
    long m_trace0 = 0;
    double m_intervalMs = 0;
    qint64 m_traces = 0;
};

} // namespace FbTrace

#endif // FBTRACE_SEGYREADER_H
