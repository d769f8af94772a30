#ifndef FBTOOL_COMMANDLINE_H
#define FBTOOL_COMMANDLINE_H

// What every fbtool command shares: exit codes, the viewer's numbering,
// standard output that notices failed writes, the one-line error report,
// the parser of "fbtool COMMAND FILE [options]" and the opening step.

#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace FbTool {

enum ExitCode { Ok = 0, Found = 1, Failed = 2 };

extern const char *const Numbering;

// Standard output through a QFile on the descriptor, so that a failed write
// (a full disk, /dev/full, a closed pipe) is seen and reported.
class Output
{
public:
    Output();
    QTextStream &stream() { return m_stream; }
    // Writes bytes after whatever text is pending; false once any write failed.
    bool write(const QByteArray &bytes);
    // False once any write has failed.
    bool ok() const;
    bool flush();
    QString errorString() const { return m_file.errorString(); }

private:
    QFile m_file;
    QTextStream m_stream;
};

Output &output();
QTextStream &out();

// --length-unit and --time-unit: the units a file's coordinates and times
// are in, which a file does not say (defaults m and ms). read() gives
// metres and seconds per unit; false after reporting a name that is not one.
struct UnitOptions
{
    QCommandLineOption length;
    QCommandLineOption time;

    explicit UnitOptions(QCommandLineParser &parser);
    bool read(const QCommandLineParser &parser, double *metres, double *seconds) const;
};

// Prints "fbtool: MESSAGE" as one line on stderr and returns Failed.
int fail(const QString &message);
int failWrite();
int usageError(const QCommandLineParser &parser);

// A parser for one command: its name as the first positional argument, so
// that the usage line reads "fbtool [options] COMMAND FILE".
struct CommandParser
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();

    CommandParser(const QString &command, const QString &description);

    // Parses args; on --help prints the help and exits 0. Returns the file
    // name, or an empty string after reporting a usage error.
    QString parse(const QStringList &args);
};

// Every command's rule for what it writes: never one of its inputs, by any
// path or link (the same check edit, export and import make as they open
// their output). False after reporting it.
bool outputIsNotInput(const QString &output, const QStringList &inputs);

// The QC's thresholds as options, their defaults the QC's own settings.
enum class Threshold { Outlier, Reciprocity };
// --outlier-ms or --reciprocity-ms with value name T; "%1" in description
// becomes the default.
QCommandLineOption thresholdOption(Threshold which, const QString &description);

// text as an integer in low..high.
bool toInt(const QString &text, qint64 low, qint64 high, qint64 *value);
// text as a finite number in C-locale notation.
bool toDouble(const QString &text, double *value);

// The one opening step of the commands that work shot by shot: the command
// line, then the file's header and shot index.
struct IndexedFile
{
    QString name;
    std::unique_ptr<FbFile::ShotIndexScanner> scanner;
    QVector<FbFile::ShotIndexEntry> index;

    // False after reporting a usage error.
    bool parse(CommandParser &cmd, const QStringList &args);
    // False after reporting a file that cannot be indexed.
    bool open();
};

} // namespace FbTool

#endif // FBTOOL_COMMANDLINE_H
