#ifndef FBPICKQC_H
#define FBPICKQC_H

#include <SorvPlugins/sorvgeneralplugin.h>

// The plug-in object: one per process, stateless. It gives the host the
// "FB Pick QC" command, which opens a QC window (modeless, one more per
// trigger) on the FB file the browse dialog remembers for the project.
//
// The plug-in metadata comes from the SDK's SORV_GENERAL_PLUGIN in
// fbpickqc.cpp, as the browse plug-in's does.
class Q_DECL_EXPORT FbPickQc : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_INTERFACES(SorvGeneralPlugin)

public:
    FbPickQc();
    ~FbPickQc() override;

    QString name() const override;
    int generalID() const override;
    bool needProject() const override;
    QAction *createAction() const override;

private slots:
    void slotAction(bool);
};

#endif // FBPICKQC_H
