#include "commandline.h"

#include <fbfile/fboutputfile.h>
#include <fbqc/qcsettings.h>
#include <fbfile/sgtconverter.h>

#include <cmath>
#include <cstdio>

#include <unistd.h>

using namespace FbFile;
using namespace FbQc;

namespace FbTool {

const char *const Numbering =
    "Shots are numbered by position from 1, as the viewer lists them (\"4 > 1004\" is shot 4, ffid 1004); "
    "records are numbered from 1.";

Output::Output()
{
    m_file.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    m_stream.setDevice(&m_file);
}

bool Output::write(const QByteArray &bytes)
{
    m_stream.flush();
    m_file.write(bytes);
    return ok();
}

bool Output::ok() const
{
    return m_stream.status() == QTextStream::Ok && m_file.error() == QFileDevice::NoError;
}

bool Output::flush()
{
    m_stream.flush();
    // Bytes written directly may still sit in the file's buffer: a failed
    // write must show before the exit code is chosen.
    m_file.flush();
    return ok();
}

Output &output()
{
    static Output o;
    return o;
}

QTextStream &out()
{
    return output().stream();
}

int fail(const QString &message)
{
    output().flush();
    // One line, whatever the message carries.
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "fbtool: %s\n", qPrintable(line));
    return Failed;
}

int failWrite()
{
    return fail(QStringLiteral("cannot write to standard output: %1").arg(output().errorString()));
}

int usageError(const QCommandLineParser &parser)
{
    // The parser's sentences start with a capital; ours do not.
    QString text = parser.errorText();
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return fail(text);
}

CommandParser::CommandParser(const QString &command, const QString &description)
{
    parser.setApplicationDescription(description);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addPositionalArgument(command, QStringLiteral("The command."), command);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The FB file."));
}

QString CommandParser::parse(const QStringList &args)
{
    if (!parser.parse(args)) {
        usageError(parser);
        return QString();
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        fail(positional.size() < 2 ? QStringLiteral("missing FILE") : QStringLiteral("too many arguments"));
        return QString();
    }
    return positional.at(1);
}

bool outputIsNotInput(const QString &output, const QStringList &inputs)
{
    QString error;
    if (FbOutputFile::isProtected(output, inputs, &error)) {
        fail(error);
        return false;
    }
    return true;
}

QCommandLineOption thresholdOption(Threshold which, const QString &description)
{
    const FbQc::Settings defaults;
    const bool outlier = which == Threshold::Outlier;
    const QString value = QString::number(outlier ? defaults.outlierMs : defaults.reciprocityMs);
    return QCommandLineOption(outlier ? QStringLiteral("outlier-ms") : QStringLiteral("reciprocity-ms"),
                              description.arg(value), QStringLiteral("T"), value);
}

bool toInt(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool toDouble(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

UnitOptions::UnitOptions(QCommandLineParser &parser)
    : length(QStringList{QStringLiteral("length-unit"), QStringLiteral("offset-unit")},
             QStringLiteral("Length unit of the FB file's coordinates: %1 (default m). Offsets and elevations are "
                            "in it or in a finer unit the data show.")
                 .arg(SgtConverter::lengthUnitNames().join(QStringLiteral(", "))),
             QStringLiteral("U"), QStringLiteral("m")),
      time(QStringLiteral("time-unit"),
           QStringLiteral("Time unit of the FB file's fb_time: %1 (default ms).")
               .arg(SgtConverter::timeUnitNames().join(QStringLiteral(", "))),
           QStringLiteral("U"), QStringLiteral("ms"))
{
    parser.addOptions({length, time});
}

bool UnitOptions::read(const QCommandLineParser &parser, double *metres, double *seconds) const
{
    if (!SgtConverter::lengthUnit(parser.value(length), metres)) {
        fail(QStringLiteral("--length-unit: '%1' is not one of %2")
                 .arg(parser.value(length), SgtConverter::lengthUnitNames().join(QStringLiteral(", "))));
        return false;
    }
    if (!SgtConverter::timeUnit(parser.value(time), seconds)) {
        fail(QStringLiteral("--time-unit: '%1' is not one of %2")
                 .arg(parser.value(time), SgtConverter::timeUnitNames().join(QStringLiteral(", "))));
        return false;
    }
    return true;
}

bool IndexedFile::parse(CommandParser &cmd, const QStringList &args)
{
    name = cmd.parse(args);
    return !name.isEmpty();
}

bool IndexedFile::open()
{
    scanner.reset(new ShotIndexScanner(name));
    if (!scanner->open()) {
        fail(QStringLiteral("%1: %2").arg(name, scanner->errorString()));
        return false;
    }
    if (!scanner->recordCountFits()) {
        fail(QStringLiteral("%1: %2 records, more than can be numbered").arg(name).arg(scanner->recordCount()));
        return false;
    }
    index = scanner->scan();
    return true;
}

} // namespace FbTool
