#ifndef QCWINDOWSTEPS_H
#define QCWINDOWSTEPS_H

// Steps the QC window's tests take as a user would, on top of the shared
// window fixture: set the plot's view with its controls, answer a message
// box or a file dialog that a modal driver meets, and read what the plot
// draws under a legend entry.

#include "qcwindowfixture.h"

#include <QtWidgets>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

// The plot's view as its controls set it: a reduction velocity (empty for
// none), and residuals or times.
inline void setPlotView(QWidget *window, const QString &velocity, bool residuals)
{
    auto *edit = child<QLineEdit>(window, "reductionVelocity");
    edit->setText(velocity);
    emit edit->editingFinished();
    child<QCheckBox>(window, "residualMode")->setChecked(residuals);
}

// The points of every curve of plot whose title starts with title; none
// while they are still being read.
inline QVector<QPointF> curvePoints(const QwtPlot *plot, const QString &title)
{
    QVector<QPointF> points;
    for (const QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        const auto *curve = static_cast<const QwtPlotCurve *>(item);
        if (!curve->title().text().startsWith(title))
            continue;
        for (size_t k = 0; k < curve->dataSize(); ++k)
            points.append(curve->sample(int(k)));
    }
    return points;
}

// Clicks a button of a message box; false for any other window.
inline bool answer(QWidget *modal, QMessageBox::StandardButton button)
{
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!box || !box->button(button))
        return false;
    box->button(button)->click();
    return true;
}

// Types name into a file dialog, as a user would (a name chosen with
// selectFile() is lost while the dialog still reads its folder), and
// accepts it in the next turn of the event loop, so that a question it
// raises, such as whether to replace a file, can be answered too.
inline bool chooseFile(QWidget *modal, const QString &name)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    if (!dialog)
        return false;
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    return true;
}

#endif // QCWINDOWSTEPS_H
