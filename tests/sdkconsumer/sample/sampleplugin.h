#ifndef SAMPLEPLUGIN_H
#define SAMPLEPLUGIN_H

#include <sorvgeneralplugin.h>

// The smallest useful general plug-in: one command that shows how many
// times it ran in the current project.
class SamplePlugin : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SorvGeneralPlugin_iid)
    Q_INTERFACES(SorvGeneralPlugin)

public:
    QString name() const override;
    int generalID() const override;
    QAction *createAction() const override;

private slots:
    void run();
};

#endif // SAMPLEPLUGIN_H
