#include "pluginregistry.h"

#include <SorvPlugins/sorvgeneralplugin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

#include <algorithm>

namespace {

// Both set by the build: the plug-in folder relative to the executable's
// folder, once as installed and once in the build tree.
const char installedRelativeDir[] = SORV_PLUGIN_RELDIR_INSTALL;
const char buildRelativeDir[] = SORV_PLUGIN_RELDIR_BUILD;

} // namespace

void PluginRegistry::scan(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            if (!QLibrary::isLibrary(file.fileName()))
                continue;
            const QString canonical = file.canonicalFilePath();
            if (m_seen.contains(canonical))
                continue;
            m_seen << canonical;
            m_records << inspect(file.absoluteFilePath());
        }
    }
}

void PluginRegistry::refreshNames()
{
    for (PluginRecord &record : m_records) {
        if (record.isLoaded())
            record.name = record.plugin->name();
    }
}

PluginRecord PluginRegistry::inspect(const QString &filePath) const
{
    PluginRecord record;
    record.filePath = filePath;

    // The metadata is read from the file without running any of its code,
    // so a library meant for another host is never initialised here.
    QPluginLoader loader(filePath);
    const QJsonObject metaData = loader.metaData();
    if (metaData.isEmpty()) {
        record.status = PluginRecord::NotAPlugin;
        record.reason = QCoreApplication::translate("PluginRegistry", "not a plug-in: %1").arg(loader.errorString());
        return record;
    }
    record.className = metaData.value(QStringLiteral("className")).toString();
    record.iid = metaData.value(QStringLiteral("IID")).toString();
    if (record.iid != QLatin1String(SorvGeneralPlugin_iid)) {
        record.status = PluginRecord::WrongInterface;
        record.reason =
            QCoreApplication::translate("PluginRegistry", "wrong interface id: %1 instead of %2")
                .arg(record.iid.isEmpty() ? QStringLiteral("none") : record.iid, QLatin1String(SorvGeneralPlugin_iid));
        return record;
    }

    if (!loader.load()) {
        record.status = PluginRecord::LoadFailed;
        record.reason = QCoreApplication::translate("PluginRegistry", "cannot be loaded: %1").arg(loader.errorString());
        return record;
    }
    QObject *instance = loader.instance();
    // qobject_cast trusts whatever the object answers for the interface id;
    // the meta-object check makes sure that it really derives from the SDK's
    // class before any of its virtual functions is called.
    auto *plugin = qobject_cast<SorvGeneralPlugin *>(instance);
    if (plugin && !plugin->metaObject()->inherits(&SorvGeneralPlugin::staticMetaObject))
        plugin = nullptr;
    if (!plugin) {
        record.status = PluginRecord::NoInstance;
        record.reason = instance
                            ? QCoreApplication::translate("PluginRegistry", "its object is not a general plug-in (%1)")
                                  .arg(QLatin1String(instance->metaObject()->className()))
                            : QCoreApplication::translate("PluginRegistry", "gives no plug-in object: %1")
                                  .arg(loader.errorString());
        // The library stays loaded: the object may still be referenced
        // from the loader's own records.
        return record;
    }

    record.status = PluginRecord::Loaded;
    record.plugin = plugin;
    record.name = plugin->name();
    record.generalID = plugin->generalID();
    record.needProject = plugin->needProject();
    return record;
}

QVector<PluginRecord> PluginRegistry::loadedInMenuOrder() const
{
    QVector<PluginRecord> loaded;
    std::copy_if(m_records.cbegin(), m_records.cend(), std::back_inserter(loaded),
                 [](const PluginRecord &record) { return record.isLoaded(); });
    std::stable_sort(loaded.begin(), loaded.end(), menuOrder);
    return loaded;
}

bool PluginRegistry::menuOrder(const PluginRecord &a, const PluginRecord &b)
{
    if (a.generalID != b.generalID)
        return a.generalID < b.generalID;
    const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
    if (byName != 0)
        return byName < 0;
    return a.filePath < b.filePath;
}

QString PluginRegistry::statusText(const PluginRecord &record)
{
    if (record.status == PluginRecord::Loaded)
        return QCoreApplication::translate("PluginRegistry", "loaded");
    return QCoreApplication::translate("PluginRegistry", "failed");
}

QString PluginRegistry::detailsText(const PluginRecord &record)
{
    if (record.status != PluginRecord::Loaded)
        return record.reason;
    return QCoreApplication::translate("PluginRegistry", "\"%1\", general id %2%3")
        .arg(record.name)
        .arg(record.generalID)
        .arg(record.needProject ? QCoreApplication::translate("PluginRegistry", ", needs a project") : QString());
}

QStringList PluginRegistry::report() const
{
    QStringList lines;
    for (const PluginRecord &record : m_records) {
        QStringList fields;
        fields << statusText(record) << record.filePath
               << (record.className.isEmpty() ? QStringLiteral("-") : record.className)
               << (record.iid.isEmpty() ? QStringLiteral("-") : record.iid);
        fields << detailsText(record);
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines;
}

QString PluginRegistry::defaultFolder(const QString &applicationDir)
{
    const QDir appDir(applicationDir);
    const QString installed = QDir::cleanPath(appDir.absoluteFilePath(QLatin1String(installedRelativeDir)));
    if (QFileInfo(installed).isDir())
        return installed;
    const QString build = QDir::cleanPath(appDir.absoluteFilePath(QLatin1String(buildRelativeDir)));
    if (QFileInfo(build).isDir())
        return build;
    return installed;
}
