#ifndef FBTRACE_SEG2READER_H
#define FBTRACE_SEG2READER_H

#include <fbtrace/tracereader.h>

#include <QByteArray>
#include <QHash>

namespace FbTrace {

// One SEG-2 file (the 1990 standard) as its descriptor blocks describe it:
// the file descriptor block with its trace pointers and strings, and per
// trace its descriptor's strings and where its samples lie. The block id
// says the byte order. Data formats 1 to 5: int16, int32, 20-bit float
// (four samples in ten bytes: a word of four 4-bit exponents, the first
// sample's in the top bits, then four 16-bit two's-complement mantissas;
// a sample is mantissa * 2^exponent), float32 and float64.
//
// parse() reads the descriptors only and checks that every block and every
// trace's samples lie within the file; it fails (error says which trace and
// why) on a wrong block id, more traces than pointers, pointers or data
// past the end, a string whose length is negative or runs past its block,
// an unknown data format code, or a trace without a SAMPLE_INTERVAL.
class Seg2File
{
public:
    struct Trace
    {
        qint64 dataAt = 0;
        int samples = 0;
        int format = 0;
        qint32 channel = 0;
        bool hasShotNumber = false;
        qint32 shotNumber = 0;        // SHOT_SEQUENCE_NUMBER
        double source[3] = {0, 0, 0}; // SOURCE_LOCATION x y z
        double receiver[3] = {0, 0, 0};
        double sampleIntervalMs = 0;
        double delayMs = 0;
    };

    // Whether bytes start with a SEG-2 file descriptor block id.
    static bool looksLike(const QByteArray &bytes);

    bool parse(const QString &fileName);
    // Samples of trace i as floats into out (traces[i].samples values);
    // non-finite values read as 0 and are counted in *replaced.
    bool readSamples(int i, float *out, int *replaced);

    QString error;
    QString fileName;
    bool littleEndian = true;
    int revision = 0;
    QVector<Trace> traces;

private:
    bool fail(const QString &why);
};

// A folder of SEG-2 files (or one file) as one data set: files in the
// order of the number in their names, then by name; files of other content
// skipped with a warning. A file's traces take the ffid the user's table
// gives its name, else their SHOT_SEQUENCE_NUMBER, else the number in the
// file's name, else the file's position from 1 (with fileNumbers, the
// number in the name before the SHOT_SEQUENCE_NUMBER); a shot never spans
// files.
class Seg2Reader : public TraceDataSet::Reader
{
public:
    Seg2Reader(const QString &path, const QHash<QString, qint32> &ffids, bool fileNumbers = false);

    bool index(const FbFile::Progress &progress, Index *index) override;
    bool readShot(const TraceShot &shot, ShotGather *gather, QString *error) const override;

private:
    struct FileEntry
    {
        QString path;
        qint64 firstTrace = 0;
    };
    bool fail(const QString &why);
    QString errorIn(const Seg2File &file) const;

    QString m_path;
    QHash<QString, qint32> m_ffids;
    bool m_fileNumbers = false;
    QVector<FileEntry> m_files;
};

} // namespace FbTrace

#endif // FBTRACE_SEG2READER_H
