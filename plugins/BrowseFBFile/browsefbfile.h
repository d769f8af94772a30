#ifndef BROWSEFBFILE_H
#define BROWSEFBFILE_H

#include <SorvPlugins/sorvgeneralplugin.h>

// The plug-in object: one per process, stateless. It gives the host the
// "Browse FB File" command, which opens the browse dialog.
//
// The plug-in metadata and the two library entry points come from the SDK's
// SORV_GENERAL_PLUGIN in browsefbfile.cpp rather than Q_PLUGIN_METADATA,
// which would leave out the empty "MetaData" object.
class Q_DECL_EXPORT BrowseFBFile : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_INTERFACES(SorvGeneralPlugin)

public:
    BrowseFBFile();
    ~BrowseFBFile() override;

    QString name() const override;
    int generalID() const override;
    QAction *createAction() const override;

private slots:
    void slotAction(bool);
};

#endif // BROWSEFBFILE_H
