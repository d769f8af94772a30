#ifndef ABOUTPLUGINSDIALOG_H
#define ABOUTPLUGINSDIALOG_H

#include <SorvBase/sorvdialog.h>

class PluginRegistry;
class QTableWidget;

// Every library found in the plug-in folders, loaded or not, and why a
// failed one was refused. A SorvDialog, so that it opens wholly on the
// screen and F1 opens the user guide.
class AboutPluginsDialog : public SorvDialog
{
    Q_OBJECT

public:
    explicit AboutPluginsDialog(const PluginRegistry &registry, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table = nullptr;
};

#endif // ABOUTPLUGINSDIALOG_H
