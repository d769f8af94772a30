#include "sampleplugin.h"

#include <sorvbaseutil.h>
#include <sorvdialog.h>

#include <QAction>
#include <QLabel>
#include <QVBoxLayout>

QString SamplePlugin::name() const
{
    return tr("Sample Pick Count");
}

int SamplePlugin::generalID() const
{
    return 50;
}

QAction *SamplePlugin::createAction() const
{
    auto *action = new QAction(name(), nullptr);
    connect(action, &QAction::triggered, this, &SamplePlugin::run);
    return action;
}

void SamplePlugin::run()
{
    const int runs = SorvBaseUtil::projectValue(QStringLiteral("SamplePlugin_runs"), 0).toInt() + 1;
    SorvBaseUtil::setProjectValue(QStringLiteral("SamplePlugin_runs"), runs);

    SorvDialog dialog;
    dialog.setWindowTitle(name());
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("Run %1 in this project.").arg(runs), &dialog));
    dialog.exec();
}
