#ifndef SHIFTSHOTDIALOG_H
#define SHIFTSHOTDIALOG_H

#include <fbqc/pickqc.h>

#include <QDialog>

class QDoubleSpinBox;

// Asks by how many ms to shift every pick of one shot. The time is
// prefilled with the shot's estimated timing error negated, so that OK
// takes the error off; 0 when the shot is in too few pairs to have one.
// The spin box is named "shiftMsSpin".
//
//   ShiftShotDialog dialog(shot, ffid, report.timingOf(shot), this);
//   if (dialog.exec() == QDialog::Accepted) session.shiftShot(shot, dialog.ms());
class ShiftShotDialog : public QDialog
{
    Q_OBJECT

public:
    // The largest shift, either way, in ms.
    static constexpr double MaxMs = 100000.0;

    ShiftShotDialog(int shot, qint32 ffid, const FbQc::TimingEstimate *estimate, QWidget *parent = nullptr);

    double ms() const;

private:
    QDoubleSpinBox *m_ms;
};

#endif // SHIFTSHOTDIALOG_H
