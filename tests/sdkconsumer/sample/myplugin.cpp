// The smallest general plug-in, built outside the tree against the installed
// SDK alone. Its command opens the SDK's dialog base, so both libraries link.
#include <SorvBase/sorvdialog.h>
#include <SorvPlugins/sorvgeneralplugin.h>
#include <SorvPlugins/sorvpluginmetadata.h>

#include <QAction>

class SamplePlugin : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_INTERFACES(SorvGeneralPlugin)
    QString name() const override { return tr("Sample Pick Count"); }
    int generalID() const override { return 50; }
    QAction *createAction() const override
    {
        auto *action = new QAction(name(), nullptr);
        connect(action, &QAction::triggered, [] { SorvDialog().exec(); });
        return action;
    }
};

// The metadata the host reads and the library's entry points.
SORV_GENERAL_PLUGIN(SamplePlugin)

#include "myplugin.moc"
