#include <SorvBase/sorvdialog.h>

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvhelpwindow.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QSettings>
#include <QShowEvent>

SorvDialog::SorvDialog(QWidget *parent) : QDialog(parent) { }

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
    openHelpPage(helpIndex(), this);
}

QString SorvDialog::helpPagePath(const QString &page)
{
    const QString name = page.isEmpty() ? QStringLiteral("index.html") : page;
    // The Chinese pages carry the same names in a subfolder; a page not yet
    // translated falls back to the English one of the same folder, so that a
    // folder named by the user is never mixed with the installed one.
    QStringList candidates;
    if (QLocale().language() == QLocale::Chinese)
        candidates << QStringLiteral("zh_CN/") + name;
    candidates << name;
    for (const QString &dir : SorvBaseUtil::helpDirs()) {
        for (const QString &candidate : qAsConst(candidates)) {
            const QFileInfo info(QDir(dir).filePath(candidate));
            if (info.isFile())
                return info.absoluteFilePath();
        }
    }
    return QString();
}

bool SorvDialog::openHelpPage(const QString &page, QWidget *parent)
{
    const QString name = page.isEmpty() ? QStringLiteral("index.html") : page;
    const QString path = helpPagePath(name);
    QString text;
    if (path.isEmpty()) {
        QStringList folders;
        for (const QString &dir : SorvBaseUtil::helpDirs())
            folders << QDir::toNativeSeparators(dir);
        text = tr("No help page is installed for this dialog: %1 is not in the help folder %2.")
                   .arg(name, folders.join(QStringLiteral(", ")));
    } else {
        SorvHelpWindow *window = SorvHelpWindow::instance();
        if (window->showPage(path, parent))
            return true;
        text = tr("The help page %1 cannot be shown: %2.").arg(QDir::toNativeSeparators(path), window->errorString());
    }
    // In the help window, not in a box: F1 must never stop the work at hand.
    SorvHelpWindow::instance()->showNote(text, parent);
    return false;
}

void SorvDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_placed || event->spontaneous())
        return;
    m_placed = true;
    // QDialog has centred a dialog that nobody placed before it showed; one
    // placed on purpose (restored, or moved by its owner) stays where it is.
    QWidget *anchor = nullptr;
    if (!testAttribute(Qt::WA_Moved)) {
        anchor = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
        if (anchor == this || (anchor && !anchor->isVisible()))
            anchor = nullptr;
    }
    SorvBaseUtil::placeOnScreen(this, anchor);
}

namespace {

const char geometryKeyProperty[] = "_sorv_geometryKey";

} // namespace

void SorvDialog::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous() && !geometrySetting().isEmpty())
        QSettings().setValue(geometrySetting(), saveGeometry());
}

void SorvDialog::rememberGeometry(const QString &key)
{
    setProperty(geometryKeyProperty, key);
    const QByteArray stored = QSettings().value(geometrySetting()).toByteArray();
    if (!stored.isEmpty())
        restoreGeometry(stored);
}

QString SorvDialog::geometrySetting() const
{
    const QString key = property(geometryKeyProperty).toString();
    return key.isEmpty() ? QString() : QStringLiteral("WindowGeometry/") + key;
}
