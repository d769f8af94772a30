#include "commandline.h"

#include <cmath>
#include <cstdio>

namespace FbTool {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString &message)
{
    out().flush();
    // One line, whatever the message carries.
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "fbtool: %s\n", qPrintable(line));
    return Failed;
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
        fail(parser.errorText());
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

} // namespace FbTool
