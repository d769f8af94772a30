#ifndef SORVGENERALPLUGIN_H
#define SORVGENERALPLUGIN_H

#include <SorvPlugins/sorvplugins_global.h>

#include <QObject>
#include <QString>

QT_BEGIN_NAMESPACE
class QAction;
QT_END_NAMESPACE

// The interface id of a general plug-in. A plug-in gives it as the IID of its
// Q_PLUGIN_METADATA and lists SorvGeneralPlugin in Q_INTERFACES; the host
// refuses any library whose metadata names another id.
#define SorvGeneralPlugin_iid "org.sorv.plugins.SorvGeneralPlugin"

// Base class of every general plug-in: one object per library, asked by the
// host for a name, a group id and the action that it places in its menu and
// toolbar.
class SORVPLUGINS_EXPORT SorvGeneralPlugin : public QObject
{
    Q_OBJECT

public:
    SorvGeneralPlugin();
    ~SorvGeneralPlugin() override;

    // The command's name as the user reads it.
    virtual QString name() const = 0;
    // Groups plug-ins in the host's menu and toolbar; lower ids come first.
    virtual int generalID() const = 0;
    // Whether the command only makes sense inside an open project. The base
    // answers false: a plug-in that works on plain files runs without one,
    // and its project values then last for the run only. The host disables
    // the action of a plug-in that answers true while no project is open.
    virtual bool needProject() const;
    // A new action with no parent; the caller owns it. Each call makes a new
    // one, all connected to this object.
    virtual QAction *createAction() const = 0;
};

Q_DECLARE_INTERFACE(SorvGeneralPlugin, SorvGeneralPlugin_iid)

#endif // SORVGENERALPLUGIN_H
