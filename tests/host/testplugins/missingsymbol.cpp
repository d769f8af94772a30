// A general plug-in built against a symbol that no library provides: the
// dynamic linker refuses it on loading.
#include <SorvPlugins/sorvgeneralplugin.h>

extern "C" int sorv_test_symbol_nobody_defines;

class MissingSymbol : public SorvGeneralPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SorvGeneralPlugin_iid)
    Q_INTERFACES(SorvGeneralPlugin)
    QString name() const override { return QStringLiteral("Missing Symbol"); }
    int generalID() const override { return sorv_test_symbol_nobody_defines; }
    QAction *createAction() const override { return nullptr; }
};

#include "missingsymbol.moc"
