#include "tracesdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtMath>

using namespace FbFile;
using namespace FbTrace;

namespace {

// A four-byte word of the 240-byte trace header.
QSpinBox *headerByteBox(const QString &objectName, int value)
{
    auto *box = new QSpinBox;
    box->setObjectName(objectName);
    box->setRange(1, 237);
    box->setValue(value);
    return box;
}

} // namespace

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

    const TracesSource defaults;
    m_ffidByte = headerByteBox(QStringLiteral("tracesFfidByte"), defaults.ffidByte);
    m_ffidByte->setToolTip(tr("SEG-Y: the trace header byte where the field record number starts"));
    m_channelByte = headerByteBox(QStringLiteral("tracesChannelByte"), defaults.channelByte);
    m_channelByte->setToolTip(tr("SEG-Y: the trace header byte where the channel number starts"));

    m_seg2Ffid = new QComboBox;
    m_seg2Ffid->setObjectName(QStringLiteral("tracesSeg2Ffid"));
    m_seg2Ffid->addItem(tr("Shot sequence number"), int(TracesSource::Seg2Ffid::ShotNumber));
    m_seg2Ffid->addItem(tr("Number in the file name"), int(TracesSource::Seg2Ffid::FileNumber));
    m_seg2Ffid->setToolTip(tr("SEG-2: where a file's ffid comes from"));

    m_matchBy = new QComboBox;
    m_matchBy->setObjectName(QStringLiteral("tracesMatchBy"));
    m_matchBy->addItem(tr("ffid and channel"), int(TraceMatchSettings::By::Keys));
    m_matchBy->addItem(tr("Source and receiver position"), int(TraceMatchSettings::By::Position));
    m_tolerance = new QDoubleSpinBox;
    m_tolerance->setObjectName(QStringLiteral("tracesTolerance"));
    m_tolerance->setRange(0.01, 1e6);
    m_tolerance->setDecimals(2);
    m_tolerance->setSuffix(tr(" m"));
    m_tolerance->setValue(defaults.match.toleranceM);
    m_tolerance->setToolTip(tr("How far a trace's source and receiver may lie from a pick's"));
    m_tolerance->setEnabled(false);
    auto *matchRow = new QHBoxLayout;
    matchRow->addWidget(m_matchBy, 1);
    matchRow->addWidget(new QLabel(tr("within")));
    matchRow->addWidget(m_tolerance);
    connect(m_matchBy, QOverload<int>::of(&QComboBox::currentIndexChanged), m_tolerance, [this] {
        m_tolerance->setEnabled(m_matchBy->currentData().toInt() == int(TraceMatchSettings::By::Position));
    });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *form = new QFormLayout(this);
    form->addRow(tr("Traces:"), pathRow);
    form->addRow(tr("First sample (ms):"), m_firstSample);
    form->addRow(tr("SEG-Y ffid byte:"), m_ffidByte);
    form->addRow(tr("SEG-Y channel byte:"), m_channelByte);
    form->addRow(tr("SEG-2 ffid:"), m_seg2Ffid);
    form->addRow(tr("Match picks by:"), matchRow);
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

TracesSource TracesDialog::source() const
{
    TracesSource source;
    source.path = m_path->text().trimmed();
    bool ok = false;
    const double ms = QLocale::c().toDouble(m_firstSample->text().trimmed(), &ok);
    source.firstSampleMs = ok ? ms : qQNaN();
    source.ffidByte = m_ffidByte->value();
    source.channelByte = m_channelByte->value();
    source.seg2Ffid = TracesSource::Seg2Ffid(m_seg2Ffid->currentData().toInt());
    source.match.by = TraceMatchSettings::By(m_matchBy->currentData().toInt());
    source.match.toleranceM = m_tolerance->value();
    return source;
}

void TracesDialog::setSource(const TracesSource &source)
{
    m_path->setText(source.path);
    m_firstSample->setText(qIsFinite(source.firstSampleMs) ? QLocale::c().toString(source.firstSampleMs, 'g', 10)
                                                           : QString());
    m_ffidByte->setValue(source.ffidByte);
    m_channelByte->setValue(source.channelByte);
    m_seg2Ffid->setCurrentIndex(m_seg2Ffid->findData(int(source.seg2Ffid)));
    m_matchBy->setCurrentIndex(m_matchBy->findData(int(source.match.by)));
    m_tolerance->setValue(source.match.toleranceM);
}
