#ifndef FBTRACE_TRACEWRITER_H
#define FBTRACE_TRACEWRITER_H

#include <fbtrace/shotgather.h>

#include <QFile>
#include <QString>

namespace FbTrace {

// Writers of shot records for the generator, in one fixed flavour of each
// format (readers take every flavour; writers need only one):
// - SEG-Y revision 1, big-endian, IEEE float samples, an EBCDIC textual
//   header; ffid at bytes 9-12, channel at 13-16, coordinates in cm
//   (scalar -100), elevations in m, the delay recording time in whole ms;
// - SEG-2 revision 1, little-endian, float32 samples, one file a shot with
//   CHANNEL_NUMBER, SHOT_SEQUENCE_NUMBER (the ffid), SOURCE_LOCATION and
//   RECEIVER_LOCATION (x y z), SAMPLE_INTERVAL and DELAY in seconds.
// Both write the same bytes for the same gathers. Errors: false and
// errorString() naming the file.
class SegyWriter
{
public:
    // Creates fileName and writes its textual and binary headers: every
    // trace will have `samples` samples at intervalMs (whole microseconds).
    bool open(const QString &fileName, int samples, double intervalMs, int tracesPerShot, const QString &text);
    // Appends the traces of a gather of open()'s geometry.
    bool write(const ShotGather &gather);
    bool close();
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &why);
    QFile m_file;
    int m_samples = 0;
    double m_intervalMs = 0;
    qint64 m_written = 0;
    QString m_error;
};

// Writes one gather as one SEG-2 file.
bool writeSeg2File(const QString &fileName, const ShotGather &gather, QString *error);

} // namespace FbTrace

#endif // FBTRACE_TRACEWRITER_H
