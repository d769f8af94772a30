#ifndef ABOUTPLUGINSDIALOG_H
#define ABOUTPLUGINSDIALOG_H

#include <QDialog>

class PluginRegistry;
class QTableWidget;

// Every library found in the plug-in folders, loaded or not, and why a
// failed one was refused.
class AboutPluginsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutPluginsDialog(const PluginRegistry &registry, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table = nullptr;
};

#endif // ABOUTPLUGINSDIALOG_H
