#include "sorvdialog.h"

#include "sorvbaseutil.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShowEvent>
#include <QUrl>

SorvDialog::SorvDialog(QWidget *parent)
    : QDialog(parent)
{
}

SorvDialog::~SorvDialog() = default;

QString SorvDialog::helpIndex() const
{
    return QString();
}

void SorvDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F1 || event->modifiers() != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    const QString page = helpIndex();
    const QString path = page.isEmpty() ? QString() : SorvBaseUtil::helpPagePath(page);
    if (!path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    const QString text = page.isEmpty()
        ? tr("No help page is installed for this dialog.")
        : tr("No help page is installed for this dialog: %1 is not in the help folder.").arg(page);
    QMessageBox::information(this, windowTitle(), text);
}

void SorvDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_placed || event->spontaneous() || parentWidget())
        return;
    m_placed = true;
    QWidget *anchor = QApplication::activeWindow();
    if (!anchor || anchor == this || !anchor->isVisible())
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(anchor->frameGeometry().center());
    move(frame.topLeft());
}
