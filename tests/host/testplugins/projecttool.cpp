// A well-formed general plug-in that only works inside a project and sorts
// before BrowseFBFile (general id 0).
#include <SorvPlugins/sorvgeneralplugin.h>

#include <QAction>

class ProjectTool : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SorvGeneralPlugin_iid)
    Q_INTERFACES(SorvGeneralPlugin)
    QString name() const override { return QStringLiteral("Project Tool"); }
    int generalID() const override { return 0; }
    bool needProject() const override { return true; }
    QAction *createAction() const override { return new QAction(name(), nullptr); }
};

#include "projecttool.moc"
