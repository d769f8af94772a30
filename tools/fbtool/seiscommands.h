#ifndef FBTOOL_SEISCOMMANDS_H
#define FBTOOL_SEISCOMMANDS_H

// fbtool seis: a seismic data set's summary and its picks matched to its
// traces; and gen's options that write traces under the generated picks.

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <memory>

class QCommandLineParser;
class QTextStream;
namespace FbTrace {
class TraceDataSet;
}
namespace FbTrace {
struct TraceMatchSettings;
}
namespace FbQc {
struct TimeShift;
}
namespace FbFile::FbGenerator {
struct Options;
}

namespace FbTool {

// "fbtool seis DATA [--match FB] [--first-sample MS] ...". Exit 0, or 1
// when --match finds no pick with a trace (the data set is not the picks'),
// 2 when DATA or FB cannot be read or an option is wrong.
int runSeis(const QStringList &args);

// The options of every command that opens a data set for its keys and
// time base: --first-sample, --ffid-byte, --channel-byte, --ffid-table.
struct TraceOpenOptions
{
    QCommandLineOption firstSample;
    QCommandLineOption ffidByte;
    QCommandLineOption channelByte;
    QCommandLineOption ffidTable;

    explicit TraceOpenOptions(QCommandLineParser &parser);
    // Opens path into *data with the options given, indexing on up to
    // `threads` (the command's --threads; 0: one per core). False with
    // *error for a value that is not usable or a data set that cannot be
    // read.
    bool open(const QCommandLineParser &parser, const QString &path, FbTrace::TraceDataSet *data, QString *error,
              int threads = 0) const;
};

// --by keys|position and --tolerance M: how picks find their traces, for
// every command that matches them (seis --match, qc --seismic).
struct TraceMatchOptions
{
    QCommandLineOption by;
    QCommandLineOption tolerance;

    explicit TraceMatchOptions(QCommandLineParser &parser);
    // The settings given. False with *error for a value that is not usable.
    bool read(const QCommandLineParser &parser, FbTrace::TraceMatchSettings *settings, QString *error) const;
};

// The traces' shift against the picks in a line or two; nothing when no
// confident trace was judged.
void printShift(QTextStream &out, const FbQc::TimeShift &shift);

// The files a data set is read from, for the outputs that may be none of
// them: the path itself and, for a folder of SEG-2 files, each file in it.
QStringList seismicInputs(const QString &path);

// gen's --traces OUT and what shapes the traces and plants picker faults.
struct TraceGenOptions
{
    QCommandLineOption traces;
    QCommandLineOption format;
    QCommandLineOption cycleSkip;
    QCommandLineOption mispick;
    QCommandLineOption frequency;
    QCommandLineOption tracePolarity;
    QCommandLineOption snr;
    QCommandLineOption interval;
    QCommandLineOption length;
    QCommandLineOption emergent;
    QCommandLineOption clipNear;
    QCommandLineOption hum;
    QCommandLineOption airWave;
    QCommandLineOption airWaveAmplitude;

    explicit TraceGenOptions(QCommandLineParser &parser);
    // Adds the planted faults to *fb (the FB file's options). False with
    // the reason in *error for a value that is not usable.
    bool read(const QCommandLineParser &parser, FbFile::FbGenerator::Options *fb, QString *error);
    // Writes the traces when --traces was given (the line's options before
    // read() added the faults); prints one line. False with *error.
    bool write(QString *error);

private:
    struct Private;
    std::shared_ptr<Private> d;
};

} // namespace FbTool

#endif // FBTOOL_SEISCOMMANDS_H
