#include "tracesdialog.h"

#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QtMath>

TracesDialog::TracesDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TracesDialog"));
    setWindowTitle(tr("Open Traces"));
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("tracesPath"));
    m_path->setMinimumWidth(320);
    m_path->setPlaceholderText(tr("A SEG-Y file or a folder of SEG-2 files"));
    auto *file = new QPushButton(tr("File..."));
    file->setObjectName(QStringLiteral("tracesFileButton"));
    auto *folder = new QPushButton(tr("Folder..."));
    folder->setObjectName(QStringLiteral("tracesFolderButton"));
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(file);
    pathRow->addWidget(folder);

    m_firstSample = new QLineEdit;
    m_firstSample->setObjectName(QStringLiteral("tracesFirstSample"));
    m_firstSample->setPlaceholderText(tr("as the file says"));
    m_firstSample->setToolTip(tr("The time of every trace's first sample in ms; empty takes the format's delay"));
    auto *validator = new QDoubleValidator(-1e6, 1e6, 6, m_firstSample);
    validator->setLocale(QLocale::c());
    m_firstSample->setValidator(validator);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *form = new QFormLayout(this);
    form->addRow(tr("Traces:"), pathRow);
    form->addRow(tr("First sample (ms):"), m_firstSample);
    form->addRow(buttons);

    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(m_path, &QLineEdit::textChanged, ok,
            [ok](const QString &text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(file, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getOpenFileName(this, tr("Open SEG-Y File"), m_path->text(),
                                                          tr("SEG-Y files (*.sgy *.segy *.SGY *.SEGY);;All files (*)"));
        if (!name.isEmpty())
            m_path->setText(name);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getExistingDirectory(this, tr("Folder of SEG-2 Files"), m_path->text());
        if (!name.isEmpty())
            m_path->setText(name);
    });
}

QString TracesDialog::path() const
{
    return m_path->text().trimmed();
}

void TracesDialog::setPath(const QString &path)
{
    m_path->setText(path);
}

double TracesDialog::firstSampleMs() const
{
    bool ok = false;
    const double ms = QLocale::c().toDouble(m_firstSample->text().trimmed(), &ok);
    return ok ? ms : qQNaN();
}

void TracesDialog::setFirstSampleMs(double ms)
{
    m_firstSample->setText(qIsFinite(ms) ? QLocale::c().toString(ms, 'g', 10) : QString());
}
