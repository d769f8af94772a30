#ifndef SORVBASEUTIL_H
#define SORVBASEUTIL_H

#include "sorvbase_global.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// Per-project values and the suite's shared folders.
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
    // written; a value that cannot go to a file that is not a regular one is
    // still kept for the run.
    static bool setProjectValue(const QString &key, const QVariant &value);

    // Folders searched for help pages, in order: $SORV_HELP_DIR, then
    // share/sorv/help beside the application's bin folder.
    static QStringList helpDirs();
    // Absolute path of the help page named page, or empty if none exists.
    static QString helpPagePath(const QString &page);

private:
    SorvBaseUtil() = delete;
};

#endif // SORVBASEUTIL_H
