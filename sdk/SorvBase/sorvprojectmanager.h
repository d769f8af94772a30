#ifndef SORVPROJECTMANAGER_H
#define SORVPROJECTMANAGER_H

#include <SorvBase/sorvbase_global.h>

#include <QObject>
#include <QString>

// What the suite knows of the open project.
struct SORVBASE_EXPORT SorvProjectDefine
{
    // Absolute path of the project folder; empty while no project is open.
    QString projectDir;
    // The folder's name, shown in the host's window title.
    QString projectName;
};

// The one project manager of the process. A project is a folder; its values
// live in a file inside it (see SorvBaseUtil).
class SORVBASE_EXPORT SorvProjectManager : public QObject
{
    Q_OBJECT

public:
    static SorvProjectManager &instance();

    const SorvProjectDefine &define() const;
    bool isProjectOpen() const;

    // Opens the folder dir (which must exist) as the current project and
    // closes the previous one. Returns false, and keeps the current project,
    // when dir is not an existing folder.
    bool openProject(const QString &dir);
    // Back to no project: values then live in memory for the rest of the run.
    void closeProject();

    // Name of the file inside the project folder that holds its values.
    static QString valuesFileName();

signals:
    void projectChanged(const QString &projectDir);

private:
    SorvProjectManager();
    ~SorvProjectManager() override;
    Q_DISABLE_COPY(SorvProjectManager)

    SorvProjectDefine m_define;
};

#endif // SORVPROJECTMANAGER_H
