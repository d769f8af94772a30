#ifndef FBTOOL_COMMANDLINE_H
#define FBTOOL_COMMANDLINE_H

// What every fbtool command shares: exit codes, standard output, the one-line
// error report and the parser of "fbtool COMMAND FILE [options]".

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace FbTool {

enum ExitCode { Ok = 0, Found = 1, Failed = 2 };

QTextStream &out();

// Prints "fbtool: MESSAGE" as one line on stderr and returns Failed.
int fail(const QString &message);

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

// text as an integer in low..high.
bool toInt(const QString &text, qint64 low, qint64 high, qint64 *value);
// text as a finite number in C-locale notation.
bool toDouble(const QString &text, double *value);

} // namespace FbTool

#endif // FBTOOL_COMMANDLINE_H
