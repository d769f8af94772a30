#include "sorvbaseutil.h"

#include "sorvprojectmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>

namespace {

// Values stored while no project is open; they last for the run.
QHash<QString, QVariant> &runValues()
{
    static QHash<QString, QVariant> values;
    return values;
}

QString valuesPath()
{
    return QDir(SorvProjectManager::instance().define().projectDir)
        .filePath(SorvProjectManager::valuesFileName());
}

// INI files keep only text, so each value's type is stored beside it and
// restored on reading: an int comes back as an int, not as "10".
const QString valuesGroup = QStringLiteral("Values");
const QString typesGroup = QStringLiteral("Types");

} // namespace

QVariant SorvBaseUtil::projectValue(const QString &key, const QVariant &defaultValue)
{
    if (!SorvProjectManager::instance().isProjectOpen())
        return runValues().value(key, defaultValue);

    QSettings settings(valuesPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QString valueKey = valuesGroup + QLatin1Char('/') + key;
    if (!settings.contains(valueKey))
        return defaultValue;
    QVariant value = settings.value(valueKey);
    const QByteArray typeName = settings.value(typesGroup + QLatin1Char('/') + key).toString().toLatin1();
    const int type = QMetaType::type(typeName.constData());
    if (type != QMetaType::UnknownType && value.userType() != type) {
        QVariant converted = value;
        if (converted.convert(type))
            value = converted;
    }
    return value;
}

bool SorvBaseUtil::setProjectValue(const QString &key, const QVariant &value)
{
    if (!SorvProjectManager::instance().isProjectOpen()) {
        runValues().insert(key, value);
        return true;
    }

    QSettings settings(valuesPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(valuesGroup + QLatin1Char('/') + key, value);
    settings.setValue(typesGroup + QLatin1Char('/') + key, QString::fromLatin1(value.typeName()));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QStringList SorvBaseUtil::helpDirs()
{
    QStringList dirs;
    const QString fromEnv = qEnvironmentVariable("SORV_HELP_DIR");
    if (!fromEnv.isEmpty())
        dirs << fromEnv;
    if (QCoreApplication::instance())
        dirs << QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/sorv/help"));
    return dirs;
}

QString SorvBaseUtil::helpPagePath(const QString &page)
{
    if (page.isEmpty())
        return QString();
    for (const QString &dir : helpDirs()) {
        const QFileInfo info(QDir(dir).filePath(page));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}
