#include "browsefbfile.h"

#include "browsefbfiledialog.h"

#include <QAction>
#include <QIcon>
#include <QPointer>
#include <QtPlugin>

#include <cstddef>

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

// Plug-in metadata, in the layout Qt's loader reads from the .qtmetadata
// section: signature, format version 0, the Qt version built against, the
// build requirements (bit 0: debug build), then a CBOR map keyed by Qt's
// metadata numbers: 2 "IID", 3 "className", 4 "MetaData". moc would write the
// same block, except that it drops "MetaData" altogether when the plug-in has
// none of its own; the suite's loaders expect the key, with an empty object.
QT_PLUGIN_METADATA_SECTION
static constexpr unsigned char qt_pluginMetaData[] = {
    'Q', 'T', 'M', 'E', 'T', 'A', 'D', 'A', 'T', 'A', ' ', '!',
    0, QT_VERSION_MAJOR, QT_VERSION_MINOR, qPluginArchRequirements(),
    0xbf, // map of unknown length
    0x02, 0x78, 34, // "IID": text of 34 bytes
    'o', 'r', 'g', '.', 's', 'o', 'r', 'v', '.', 'p', 'l', 'u', 'g', 'i', 'n', 's', '.',
    'S', 'o', 'r', 'v', 'G', 'e', 'n', 'e', 'r', 'a', 'l', 'P', 'l', 'u', 'g', 'i', 'n',
    0x03, 0x6c, // "className": text of 12 bytes
    'B', 'r', 'o', 'w', 's', 'e', 'F', 'B', 'F', 'i', 'l', 'e',
    0x04, 0xa0, // "MetaData": empty map
    0xff, // end of map
};

namespace {

constexpr bool sameText(const unsigned char *bytes, const char *text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != static_cast<unsigned char>(text[i]))
            return false;
    }
    return true;
}

} // namespace

static_assert(sizeof(SorvGeneralPlugin_iid) - 1 == 34 && sameText(qt_pluginMetaData + 20, SorvGeneralPlugin_iid, 34),
              "the metadata block must carry the general plug-in interface id");

// qt_plugin_query_metadata() and qt_plugin_instance(): the one plug-in object
// is held by a function-local guarded pointer, so a deleted object is
// replaced by a new one on the next call; unloading releases only the
// pointer.
QT_MOC_EXPORT_PLUGIN(BrowseFBFile, BrowseFBFile)
