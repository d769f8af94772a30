// Claims the general plug-in id in its metadata, but its object is no
// SorvGeneralPlugin.
#include <SorvPlugins/sorvgeneralplugin.h>

class NotGeneral : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SorvGeneralPlugin_iid)
};

#include "notgeneral.moc"
