#include <SorvBase/sorvprojectmanager.h>

#include <QDir>
#include <QFileInfo>

SorvProjectManager::SorvProjectManager() = default;
SorvProjectManager::~SorvProjectManager() = default;

SorvProjectManager &SorvProjectManager::instance()
{
    static SorvProjectManager manager;
    return manager;
}

const SorvProjectDefine &SorvProjectManager::define() const
{
    return m_define;
}

bool SorvProjectManager::isProjectOpen() const
{
    return !m_define.projectDir.isEmpty();
}

bool SorvProjectManager::openProject(const QString &dir)
{
    if (dir.isEmpty())
        return false;
    const QFileInfo info(dir);
    if (!info.isDir())
        return false;
    m_define.projectDir = QDir::cleanPath(info.absoluteFilePath());
    m_define.projectName = QFileInfo(m_define.projectDir).fileName();
    emit projectChanged(m_define.projectDir);
    return true;
}

void SorvProjectManager::closeProject()
{
    if (!isProjectOpen())
        return;
    m_define = SorvProjectDefine();
    emit projectChanged(QString());
}

QString SorvProjectManager::valuesFileName()
{
    return QStringLiteral("sorvproject.ini");
}
