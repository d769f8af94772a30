// A Qt plug-in for another host: the right shape, another interface id.
#include <QObject>

class WrongInterface : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.plugins.ImageFilter/1.0")
};

#include "wronginterface.moc"
