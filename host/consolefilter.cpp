#include "consolefilter.h"

#include <QRegularExpression>

namespace {

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (ConsoleFilter::isAmbiguousSlotWarning(type, message))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

bool ConsoleFilter::isAmbiguousSlotWarning(QtMsgType type, const QString &message)
{
    // The slot is named on_<object>_<signal>() and takes nothing, so any of
    // the overloads serves it; a slot with arguments keeps its warning.
    static const QRegularExpression pattern(
        QStringLiteral("^QMetaObject::connectSlotsByName: Connecting slot on_\\w+\\(\\) "
                       "with the first of the following compatible signals: \\(.*\\)$"));
    return type == QtWarningMsg && pattern.match(message).hasMatch();
}

void ConsoleFilter::install()
{
    QtMessageHandler previous = qInstallMessageHandler(filterMessage);
    // Installing twice must not make the handler call itself.
    if (previous != filterMessage)
        previousHandler = previous;
}
