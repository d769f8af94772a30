#include "shiftshotdialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cmath>

using namespace FbFile;
using namespace FbQc;

ShiftShotDialog::ShiftShotDialog(int shot, qint32 ffid, const FbQc::TimingEstimate *estimate, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("shiftShotDialog"));
    setWindowTitle(tr("Shift Shot"));
    auto *about = new QLabel;
    about->setWordWrap(true);
    const QString what =
        tr("Add a time to every pick of shot %1 (ffid %2); traces nobody picked keep theirs.").arg(shot + 1).arg(ffid);
    if (estimate)
        about->setText(what + QLatin1Char(' ') +
                       tr("Its estimated timing error is %1 ms (%2 of %3 pairs agree); the time below takes it off.")
                           .arg(FbQc::timingText(estimate->delay))
                           .arg(estimate->agreeing)
                           .arg(estimate->pairs));
    else
        about->setText(what + QLatin1Char(' ') + tr("The shot is in too few pairs to estimate its timing error."));

    m_ms = new QDoubleSpinBox;
    m_ms->setObjectName(QStringLiteral("shiftMsSpin"));
    m_ms->setRange(-MaxMs, MaxMs);
    m_ms->setDecimals(2);
    m_ms->setSuffix(tr(" ms"));
    // The shift that corrects the shot, to the hundredth of a ms.
    m_ms->setValue(estimate ? -std::round(double(estimate->delay) * 100.0) / 100.0 : 0.0);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout;
    form->addRow(tr("Shift by:"), m_ms);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(about);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_ms->selectAll();
}

double ShiftShotDialog::ms() const
{
    return m_ms->value();
}
