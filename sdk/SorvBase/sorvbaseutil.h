#ifndef SORVBASEUTIL_H
#define SORVBASEUTIL_H

#include <SorvBase/sorvbase_global.h>

#include <QString>
#include <QStringList>
#include <QVariant>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Per-project values, the suite's shared folders, and where windows open.
class SORVBASE_EXPORT SorvBaseUtil
{
public:
    // The value last stored under key for the current project, else
    // defaultValue. A stored int comes back as an int and a string as a
    // string. With no project open, the values of this run are used; so
    // they are when the project's values file is not a regular file (a pipe
    // or folder in its place), which is never opened and is named once in
    // the log. Never blocks on such a file.
    static QVariant projectValue(const QString &key, const QVariant &defaultValue = QVariant());
    // Stores value under key for the current project, at once on disk when a
    // project is open. Returns false when the project's values file cannot be
    // written (a folder that cannot be written, a file that is not a regular
    // one); the value is then still kept for the run.
    static bool setProjectValue(const QString &key, const QVariant &value);

    // Folders searched for help pages, in order: $SORV_HELP_DIR, then
    // share/sorv/help beside the application's bin folder.
    static QStringList helpDirs();
    // Absolute path of the help page named page, or empty if none exists.
    static QString helpPagePath(const QString &page);

    // Places the top-level `window` wholly inside the available geometry
    // (the screen less panels and docks) of one screen, its frame included,
    // shrinking it to fit, though never below its minimum size; a window
    // whose minimum is larger than the screen starts at the screen's
    // top-left corner. Never leaves it at negative coordinates on a single
    // screen.
    //
    // With an anchor, the window is centred on the anchor's window, on the
    // screen that window is on; an anchor on no screen centres it on the
    // primary screen. Without one, the window keeps its place, brought
    // inside the screen it is mostly on (or the primary screen). Before the
    // window has been framed by the window manager, it is given the frame
    // of the anchor's window or of another visible window. A maximised or
    // full-screen window is left alone.
    //
    //     dialog->show();
    //     SorvBaseUtil::placeOnScreen(dialog, parentWindow);
    static void placeOnScreen(QWidget *window, QWidget *anchor);

private:
    SorvBaseUtil() = delete;
};

#endif // SORVBASEUTIL_H
