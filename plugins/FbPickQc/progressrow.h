#ifndef PROGRESSROW_H
#define PROGRESSROW_H

#include <QWidget>

class QProgressBar;

// The progress of one piece of work off the UI thread: a bar from 0 to 100
// with a Cancel button beside it, hidden until start(). Its owner feeds the
// bar, stops the work on cancelClicked() and hides the row when the work
// ends. The bar and the button are named name + "Progress" and
// name + "Cancel", the names each owner documents for finding them.
//
//   auto *row = new ProgressRow(QStringLiteral("tracePick"));
//   connect(job, &LatestJob::progressChanged, row->bar(), &QProgressBar::setValue);
//   connect(row, &ProgressRow::cancelClicked, this, &Owner::cancel);
//   row->start();
class ProgressRow : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressRow(const QString &name, QWidget *parent = nullptr);

    QProgressBar *bar() const { return m_bar; }
    // Shows the row, its bar back at 0.
    void start();

signals:
    void cancelClicked();

private:
    QProgressBar *m_bar;
};

#endif // PROGRESSROW_H
