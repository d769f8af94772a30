#include "fbpickqc.h"

#include "fbpickqcwindow.h"

#include <SorvPlugins/sorvpluginmetadata.h>

#include <QAction>
#include <QIcon>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

FbPickQc::FbPickQc() = default;

FbPickQc::~FbPickQc() = default;

QString FbPickQc::name() const
{
    return tr("FB Pick QC");
}

int FbPickQc::generalID() const
{
    return 1;
}

bool FbPickQc::needProject() const
{
    return false;
}

QAction *FbPickQc::createAction() const
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/resource/images/fbpickqc_1_24x24.png"), QSize(24, 24), QIcon::Normal, QIcon::Off);
    icon.addFile(QStringLiteral(":/resource/images/fbpickqc_2_24x24.png"), QSize(24, 24), QIcon::Active, QIcon::Off);
    icon.addFile(QStringLiteral(":/resource/images/fbpickqc_0_24x24.png"), QSize(24, 24), QIcon::Disabled, QIcon::Off);

    auto *action = new QAction(icon, tr("FB Pick QC"), nullptr);
    connect(action, SIGNAL(triggered(bool)), this, SLOT(slotAction(bool)));
    return action;
}

void FbPickQc::slotAction(bool)
{
    // Modeless and self-deleting: the user keeps browsing while it is open.
    auto *window = new FbPickQcWindow(nullptr);
    window->show();
    window->openRemembered();
}

// The plug-in metadata and the library's two entry points, with one guarded
// plug-in object that is made again if it is ever deleted.
SORV_GENERAL_PLUGIN(FbPickQc)
