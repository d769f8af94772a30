#ifndef TRACESDIALOG_H
#define TRACESDIALOG_H

#include <QDialog>

class QLineEdit;

// Asks for the shot records under the picks: a SEG-Y file or a folder of
// SEG-2 files (a button each), and the time of the first sample when the
// format's is not to be trusted (a pre-trigger written as a positive
// delay, say). OK is enabled once a path is given; a first sample that is
// no number is refused in the field itself.
//
// Object names, for tests: tracesPath, tracesFileButton,
// tracesFolderButton, tracesFirstSample.
//
//   TracesDialog dialog(this);
//   dialog.setPath(remembered);
//   if (dialog.exec() == QDialog::Accepted) open(dialog.path(), dialog.firstSampleMs());
class TracesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TracesDialog(QWidget *parent = nullptr);

    QString path() const;
    void setPath(const QString &path);
    // NaN: the format's own.
    double firstSampleMs() const;
    void setFirstSampleMs(double ms);

private:
    QLineEdit *m_path = nullptr;
    QLineEdit *m_firstSample = nullptr;
};

#endif // TRACESDIALOG_H
