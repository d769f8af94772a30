#include "progressrow.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>

ProgressRow::ProgressRow(const QString &name, QWidget *parent) : QWidget(parent), m_bar(new QProgressBar)
{
    m_bar->setObjectName(name + QLatin1String("Progress"));
    m_bar->setRange(0, 100);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(name + QLatin1String("Cancel"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_bar, 1);
    row->addWidget(cancel);
    hide();
    connect(cancel, &QPushButton::clicked, this, &ProgressRow::cancelClicked);
}

void ProgressRow::start()
{
    m_bar->setValue(0);
    show();
}
