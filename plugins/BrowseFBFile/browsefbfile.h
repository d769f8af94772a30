#ifndef BROWSEFBFILE_H
#define BROWSEFBFILE_H

#include <sorvgeneralplugin.h>

// The plug-in object: one per process, stateless. It gives the host the
// "Browse FB File" command, which opens the browse dialog.
//
// The plug-in metadata and the two library entry points are written out in
// browsefbfile.cpp rather than through Q_PLUGIN_METADATA; see there why.
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
