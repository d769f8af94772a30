#ifndef BROWSEFBFILE_H
#define BROWSEFBFILE_H

#include <sorvgeneralplugin.h>

// The plug-in object: one per process, stateless. It gives the host the
// "Browse FB File" command, which opens the browse dialog.
class Q_DECL_EXPORT BrowseFBFile : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SorvGeneralPlugin_iid FILE "browsefbfile.json")
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
