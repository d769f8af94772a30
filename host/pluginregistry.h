#ifndef PLUGINREGISTRY_H
#define PLUGINREGISTRY_H

#include <SorvPlugins/sorvgeneralplugin.h>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

// What the host learnt about one library in a plug-in folder, whether it
// loaded or not.
struct PluginRecord
{
    enum Status {
        Loaded,
        NotAPlugin,     // no Qt plug-in metadata: not a library, or not a plug-in
        WrongInterface, // a Qt plug-in, but for another interface id
        LoadFailed,     // the dynamic linker refused it (missing symbol, missing library)
        NoInstance,     // loaded, but gave no object, or one that is no general plug-in
    };

    QString filePath;  // absolute
    QString className; // from the metadata; empty when there is none
    QString iid;       // from the metadata; empty when there is none
    Status status = NotAPlugin;
    QString reason; // what went wrong, for the user; empty when loaded

    // Filled only for a loaded plug-in.
    QPointer<SorvGeneralPlugin> plugin;
    QString name;
    int generalID = 0;
    bool needProject = false;

    bool isLoaded() const { return status == Loaded && plugin; }
};

// Finds the libraries in the plug-in folders and loads those that are
// general plug-ins. Nothing here touches a widget, so it runs without a
// display as well (the command-line listing, the tests).
class PluginRegistry
{
public:
    // Scans each folder in order; a library reached twice (the same folder
    // given twice, a symbolic link) is taken once. Libraries already scanned
    // by an earlier call are kept.
    void scan(const QStringList &folders);
    // Asks the loaded plug-ins for their names again: a plug-in's name is
    // translated by its own catalogue, which can be installed only once its
    // library is loaded.
    void refreshNames();

    // Every library found, loaded or not, in the order found.
    const QVector<PluginRecord> &records() const { return m_records; }
    // The loaded plug-ins in the order of the host's menu and toolbar.
    QVector<PluginRecord> loadedInMenuOrder() const;

    // Menu order: general id, then name (ignoring case), then file.
    static bool menuOrder(const PluginRecord &a, const PluginRecord &b);

    // The status column of a record, for the user.
    static QString statusText(const PluginRecord &record);
    // Name and general id of a loaded plug-in, else the reason it failed.
    static QString detailsText(const PluginRecord &record);
    // One line per library: status, file, class name, interface id, and
    // the name and general id of a loaded plug-in or the reason of a failure.
    QStringList report() const;

    // The folder searched when none is given. The same path relative to the
    // executable holds in the build tree and in the installed tree; where the
    // installed library folder has another name (multiarch), the build tree's
    // layout is tried second.
    static QString defaultFolder(const QString &applicationDir);

private:
    PluginRecord inspect(const QString &filePath) const;

    QVector<PluginRecord> m_records;
    QStringList m_seen; // canonical paths of the libraries scanned so far
};

#endif // PLUGINREGISTRY_H
