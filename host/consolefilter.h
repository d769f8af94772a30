#ifndef CONSOLEFILTER_H
#define CONSOLEFILTER_H

#include <QString>
#include <QtGlobal>

// Keeps the console free of one known, harmless warning. Dialog forms bind
// argument-less slots such as on_fastStep_valueChanged() by name; a widget
// with an overloaded signal (a spin box's valueChanged(int) and
// valueChanged(QString)) then makes Qt warn that it connected the first of
// them, which is exactly what those slots want, on every dialog opening.
//
// install() puts a message handler in front of the current one. It drops
// only that warning, for slots without arguments, and hands every other
// message, unchanged, to the handler that was installed before:
//
//     ConsoleFilter::install();   // first thing in main()
class ConsoleFilter
{
public:
    static void install();
    // True for exactly the messages that install()'s handler drops.
    static bool isAmbiguousSlotWarning(QtMsgType type, const QString &message);

private:
    ConsoleFilter() = delete;
};

#endif // CONSOLEFILTER_H
