#include "aboutpluginsdialog.h"

#include "pluginregistry.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

AboutPluginsDialog::AboutPluginsDialog(const PluginRegistry &registry, QWidget *parent) : SorvDialog(parent)
{
    setWindowTitle(tr("About Plug-ins"));

    const QVector<PluginRecord> &records = registry.records();
    m_table = new QTableWidget(records.size(), 5, this);
    m_table->setHorizontalHeaderLabels({tr("File"), tr("Class"), tr("Interface id"), tr("Status"), tr("Details")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    for (int row = 0; row < records.size(); ++row) {
        const PluginRecord &record = records.at(row);
        auto *file = new QTableWidgetItem(QFileInfo(record.filePath).fileName());
        file->setToolTip(record.filePath);
        m_table->setItem(row, 0, file);
        m_table->setItem(row, 1, new QTableWidgetItem(record.className));
        m_table->setItem(row, 2, new QTableWidgetItem(record.iid));
        m_table->setItem(row, 3, new QTableWidgetItem(PluginRegistry::statusText(record)));
        const QString details = PluginRegistry::detailsText(record);
        auto *detailsItem = new QTableWidgetItem(details);
        detailsItem->setToolTip(details);
        m_table->setItem(row, 4, detailsItem);
    }
    m_table->resizeColumnsToContents();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(records.isEmpty() ? tr("No library was found in the plug-in folders.")
                                                   : tr("Libraries found in the plug-in folders:"),
                                 this));
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(900, 300);
}
