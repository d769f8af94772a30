#include "fbpickqc.h"

#include "fbpickqcwindow.h"

#include <QAction>
#include <QIcon>
#include <QtPlugin>

#include <cstddef>

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

// Plug-in metadata, in the layout Qt's loader reads from the .qtmetadata
// section: signature, format version 0, the Qt version built against, the
// build requirements, then a CBOR map keyed by Qt's metadata numbers: 2 "IID",
// 3 "className", 4 "MetaData" (an empty object, which the suite's loaders
// expect and moc would leave out).
QT_PLUGIN_METADATA_SECTION
static constexpr unsigned char qt_pluginMetaData[] = {
    'Q', 'T', 'M', 'E', 'T', 'A', 'D', 'A', 'T', 'A', ' ', '!',
    0, QT_VERSION_MAJOR, QT_VERSION_MINOR, qPluginArchRequirements(),
    0xbf, // map of unknown length
    0x02, 0x78, 34, // "IID": text of 34 bytes
    'o', 'r', 'g', '.', 's', 'o', 'r', 'v', '.', 'p', 'l', 'u', 'g', 'i', 'n', 's', '.',
    'S', 'o', 'r', 'v', 'G', 'e', 'n', 'e', 'r', 'a', 'l', 'P', 'l', 'u', 'g', 'i', 'n',
    0x03, 0x68, // "className": text of 8 bytes
    'F', 'b', 'P', 'i', 'c', 'k', 'Q', 'c',
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
static_assert(sameText(qt_pluginMetaData + 56, "FbPickQc", 8), "the metadata block must name the plug-in class");

// qt_plugin_query_metadata() and qt_plugin_instance() with one guarded
// plug-in object, replaced by a new one if it is ever deleted.
QT_MOC_EXPORT_PLUGIN(FbPickQc, FbPickQc)
