#include "browsefbfile.h"

#include "browsefbfiledialog.h"

#include <SorvPlugins/sorvpluginmetadata.h>

#include <QAction>
#include <QIcon>

using namespace FbFile;

BrowseFBFile::BrowseFBFile() = default;

BrowseFBFile::~BrowseFBFile() = default;

QString BrowseFBFile::name() const
{
    return tr("Browse FB File");
}

int BrowseFBFile::generalID() const
{
    return 1;
}

QAction *BrowseFBFile::createAction() const
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/resource/images/fbbrowser_1_24x24.png"), QSize(24, 24), QIcon::Normal, QIcon::Off);
    icon.addFile(QStringLiteral(":/resource/images/fbbrowser_2_24x24.png"), QSize(24, 24), QIcon::Active, QIcon::Off);
    icon.addFile(QStringLiteral(":/resource/images/fbbrowser_0_24x24.png"), QSize(24, 24), QIcon::Disabled, QIcon::Off);

    auto *action = new QAction(icon, tr("Browse FB File"), nullptr);
    connect(action, SIGNAL(triggered(bool)), this, SLOT(slotAction(bool)));
    action->setData(83);
    return action;
}

void BrowseFBFile::slotAction(bool)
{
    BrowseFBFileDialog dialog(nullptr);
    dialog.exec();
}

// The plug-in metadata and the library's two entry points, with one guarded
// plug-in object that is made again if it is ever deleted.
SORV_GENERAL_PLUGIN(BrowseFBFile)
