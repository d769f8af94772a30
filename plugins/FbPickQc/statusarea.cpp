#include "statusarea.h"

#include "qcdocument.h"
#include "qcsummary.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

StatusArea::StatusArea(QcDocument *document, QWidget *taskRow)
    : m_document(document), m_taskRow(taskRow), m_summary(new QLabel), m_loadingRow(new QWidget),
      m_progress(new QProgressBar)
{
    m_progress->setObjectName(QStringLiteral("loadProgress"));
    m_progress->setRange(0, 100);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto *loading = new QHBoxLayout(m_loadingRow);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->addWidget(new QLabel(tr("Judging the picks...")));
    loading->addWidget(m_progress, 1);
    loading->addWidget(cancel);

    m_summary->setObjectName(QStringLiteral("summaryLabel"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(m_summary);
    addWidget(m_loadingRow);
    addWidget(m_taskRow);

    connect(cancel, &QPushButton::clicked, document, &QcDocument::cancel);
    connect(document, &QcDocument::progressChanged, m_progress, &QProgressBar::setValue);
    connect(document, &QcDocument::stateChanged, this, [this](QcDocument::State state) { showState(state); });
    connect(document, &QcDocument::fileShown, this, &StatusArea::showSummary);
    connect(document, &QcDocument::verdictsChanged, this, &StatusArea::showSummary);
}

void StatusArea::showState(int state)
{
    switch (state) {
    case QcDocument::Loading:
    case QcDocument::JudgingAgain:
        // Judging again from what the pass kept cannot say how far it got.
        m_progress->setRange(0, state == QcDocument::JudgingAgain ? 0 : 100);
        setCurrentWidget(m_loadingRow);
        break;
    case QcDocument::Saving:
        setCurrentWidget(m_taskRow);
        break;
    default:
        setCurrentWidget(m_summary);
        break;
    }
}

void StatusArea::showSummary()
{
    if (m_document->data()) {
        m_summary->setText(QcSummary::text(*m_document->data()));
        m_summary->setToolTip(QDir::toNativeSeparators(m_document->data()->fileName));
    }
    fit();
}
