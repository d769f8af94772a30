#include <SorvPlugins/sorvgeneralplugin.h>

SorvGeneralPlugin::SorvGeneralPlugin() : QObject(nullptr) { }

SorvGeneralPlugin::~SorvGeneralPlugin() = default;

bool SorvGeneralPlugin::needProject() const
{
    return false;
}
