#ifndef TRACESDIALOG_H
#define TRACESDIALOG_H

#include "tracessource.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

// Asks for the shot records under the picks and how to read them: a SEG-Y
// file or a folder of SEG-2 files (a button each); the time of the first
// sample when the format's is not to be trusted (a pre-trigger written as a
// positive delay, say); the trace header bytes of a SEG-Y file's ffid and
// channel; whether a SEG-2 file's ffid is its shot sequence number or the
// number in its name; and whether picks find their traces by ffid and
// channel or by source and receiver position within a tolerance. OK is
// enabled once a path is given; a first sample that is no number is refused
// in the field itself; the tolerance is offered only for matching by
// position.
//
// Object names, for tests: tracesPath, tracesFileButton,
// tracesFolderButton, tracesFirstSample, tracesFfidByte,
// tracesChannelByte, tracesSeg2Ffid, tracesMatchBy, tracesTolerance.
//
//   TracesDialog dialog(this);
//   dialog.setSource(remembered);
//   if (dialog.exec() == QDialog::Accepted) open(dialog.source());
class TracesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TracesDialog(QWidget *parent = nullptr);

    TracesSource source() const;
    void setSource(const TracesSource &source);

private:
    QLineEdit *m_path = nullptr;
    QLineEdit *m_firstSample = nullptr;
    QSpinBox *m_ffidByte = nullptr;
    QSpinBox *m_channelByte = nullptr;
    QComboBox *m_seg2Ffid = nullptr;
    QComboBox *m_matchBy = nullptr;
    QDoubleSpinBox *m_tolerance = nullptr;
};

#endif // TRACESDIALOG_H
