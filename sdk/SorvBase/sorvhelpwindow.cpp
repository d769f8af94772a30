#include <SorvBase/sorvhelpwindow.h>

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvdialog.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QPointer<SorvHelpWindow> &theWindow()
{
    static QPointer<SorvHelpWindow> window;
    return window;
}

// Runs as the application object goes: a window without a parent is
// otherwise never deleted.
void deleteWindow()
{
    delete theWindow().data();
}

// Shows the help pages as a web browser would, within what a text document
// can: the stylesheet that a page links is applied (the document itself
// reads only <style> and stylesheets typed "text/css"), and screenshots,
// taken at full size and wider than the window, are scaled down to the
// width of the page, so that a page never needs to scroll sideways.
class HelpBrowser : public QTextBrowser
{
    // Room left beside an image for its border and a space after it.
    static constexpr int ImageSlack = 16;

public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl &name) override
    {
        const QVariant resource = QTextBrowser::loadResource(type, name);
        if (type == QTextDocument::HtmlResource)
            document()->setDefaultStyleSheet(linkedStyleSheet(resource.toByteArray(), name));
        if (type != QTextDocument::ImageResource || resource.type() != QVariant::ByteArray)
            return resource;
        QImage image;
        if (!image.loadFromData(resource.toByteArray()))
            return resource;
        // Room for the page's own margins and the image's border.
        const int width = qMax(320, viewport()->width() - 2 * int(document()->documentMargin()) - 64);
        if (image.width() <= width)
            return image;
        return image.scaledToWidth(width, Qt::SmoothTransformation);
    }

    // A text document spaces every line of a paragraph alike, and a
    // screenshot is one line: the page's taller lines would leave a gap
    // half an image high under it. Paragraphs with an image get single
    // spacing, and an image wider than its paragraph's room (the page's
    // side margins are the paragraph's) is drawn to that width.
    void fitImages()
    {
        struct Fit
        {
            int position, length;
            QTextImageFormat format;
        };
        QVector<Fit> fits;
        // The layout draws an image at the screen's resolution over the
        // usual 96 dpi: a width in the format is taken back by as much.
        qreal scale = 1.0;
        if (const QPaintDevice *device = document()->documentLayout()->paintDevice())
            scale = device->logicalDpiX() / 96.0;
        // Room as when the page scrolls down, so that the scroll bar's
        // coming never makes the page scroll sideways.
        const int pageWidth =
            viewport()->width() - (verticalScrollBar()->isVisible() ? 0 : verticalScrollBar()->sizeHint().width());
        QTextCursor cursor(document());
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            const QTextBlockFormat blockFormat = block.blockFormat();
            const qreal room = (pageWidth - 2 * document()->documentMargin() - blockFormat.leftMargin() -
                                blockFormat.rightMargin() - ImageSlack) /
                               scale;
            bool hasImage = false;
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.charFormat().isImageFormat())
                    continue;
                hasImage = true;
                QTextImageFormat image = fragment.charFormat().toImageFormat();
                const QImage shown =
                    document()->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
                const qreal width = qMax(qreal(1), qMin(room, qreal(shown.width())));
                if (!shown.isNull() && qAbs(image.width() - width) >= 1) {
                    image.setWidth(width);
                    image.setHeight(shown.height() * width / shown.width());
                    fits.append({fragment.position(), fragment.length(), image});
                }
            }
            if (hasImage) {
                QTextBlockFormat format = blockFormat;
                format.setLineHeight(0, QTextBlockFormat::SingleHeight);
                cursor.setPosition(block.position());
                cursor.setBlockFormat(format);
            }
        }
        for (const Fit &fit : qAsConst(fits)) {
            cursor.setPosition(fit.position);
            cursor.setPosition(fit.position + fit.length, QTextCursor::KeepAnchor);
            cursor.setCharFormat(fit.format);
        }
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QTextBrowser::resizeEvent(event);
        fitImages();
    }

private:
    // The text of the stylesheets that the page `html` links, resolved
    // against the page's address `page`; empty when it links none.
    QString linkedStyleSheet(const QByteArray &html, const QUrl &page)
    {
        static const QRegularExpression link(QStringLiteral("<link\\s[^>]*rel\\s*=\\s*\"?stylesheet\"?[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression href(QStringLiteral("href\\s*=\\s*\"([^\"]*)\""),
                                             QRegularExpression::CaseInsensitiveOption);
        const QUrl base = source().resolved(page);
        QString sheets;
        QRegularExpressionMatchIterator links = link.globalMatch(QString::fromUtf8(html));
        while (links.hasNext()) {
            const QRegularExpressionMatch target = href.match(links.next().captured(0));
            if (!target.hasMatch())
                continue;
            QFile file(base.resolved(QUrl(target.captured(1))).toLocalFile());
            if (file.open(QIODevice::ReadOnly))
                sheets += QString::fromUtf8(file.readAll()) + QLatin1Char('\n');
        }
        // A long command line wraps rather than widen the page.
        return sheets + QStringLiteral("pre { white-space: pre-wrap; }\n");
    }
};

// Why the help page at path cannot be read, or empty when it can.
QString unreadableReason(const QString &path)
{
    if (!QFileInfo::exists(path))
        return SorvHelpWindow::tr("there is no such file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

} // namespace

SorvHelpWindow::SorvHelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("SorvHelpWindow"));
    setWindowTitle(tr("Help"));

    auto *toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_back = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
    m_back->setObjectName(QStringLiteral("backAction"));
    m_back->setShortcut(QKeySequence::Back);
    m_forward = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
    m_forward->setObjectName(QStringLiteral("forwardAction"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_home = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Home"));
    m_home->setObjectName(QStringLiteral("homeAction"));
    toolBar->addSeparator();
    m_openInBrowser = toolBar->addAction(tr("Open in Browser"));
    m_openInBrowser->setObjectName(QStringLiteral("openInBrowserAction"));
    m_openInBrowser->setToolTip(tr("Open this page in the system's web browser"));

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("helpMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setStyleSheet(QStringLiteral("QLabel { color: #8b0000; padding: 4px; }"));
    m_message->hide();

    auto *browser = new HelpBrowser(this);
    m_browser = browser;
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Links are followed here, so that a missing page or a web address
    // without a browser is explained instead of showing an empty page.
    m_browser->setOpenLinks(false);

    // Closed as a dialog is: Esc, Ctrl+W or the Close button.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("helpButtons"));
    buttons->setContentsMargins(6, 6, 6, 6);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        if (!closeKeys.contains(key))
            closeKeys << key;
    }
    for (const QKeySequence &key : qAsConst(closeKeys)) {
        auto *shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(m_message);
    layout->addWidget(m_browser, 1);
    layout->addWidget(buttons);

    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_home, &QAction::triggered, this, &SorvHelpWindow::goHome);
    connect(m_openInBrowser, &QAction::triggered, this, &SorvHelpWindow::openInBrowser);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &SorvHelpWindow::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, browser, &HelpBrowser::fitImages);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &SorvHelpWindow::pageChanged);
}

SorvHelpWindow *SorvHelpWindow::instance()
{
    QPointer<SorvHelpWindow> &window = theWindow();
    if (!window) {
        window = new SorvHelpWindow;
        static bool cleanupAdded = false;
        if (!cleanupAdded) {
            qAddPostRoutine(deleteWindow);
            cleanupAdded = true;
        }
    }
    return window;
}

bool SorvHelpWindow::showPage(const QString &path, QWidget *anchor)
{
    m_error = unreadableReason(path);
    if (!m_error.isEmpty())
        return false;
    present(anchor);
    m_browser->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

void SorvHelpWindow::showNote(const QString &text, QWidget *anchor)
{
    present(anchor);
    // The index under it, for the way to what was asked for.
    const QString index = SorvDialog::helpPagePath(QStringLiteral("index.html"));
    if (!index.isEmpty() && unreadableReason(index).isEmpty())
        m_browser->setSource(QUrl::fromLocalFile(index));
    showMessage(text);
}

void SorvHelpWindow::present(QWidget *anchor)
{
    // A window beside a running modal dialog only takes input as its child.
    QWidget *owner = QApplication::activeModalWidget();
    if (owner == this)
        owner = nullptr;
    if (parentWidget() != owner)
        adopt(owner);

    if (!m_placed) {
        m_placed = true;
        resize(820, 700);
        QWidget *over = anchor ? anchor->window() : QApplication::activeWindow();
        SorvBaseUtil::placeOnScreen(this, over == this ? nullptr : over);
    }
    m_openInBrowser->setVisible(systemBrowserAvailable());
    m_message->hide();
    // Shown first, so that the page is laid out for the window's width.
    show();
    raise();
    activateWindow();
}

QString SorvHelpWindow::errorString() const
{
    return m_error;
}

QUrl SorvHelpWindow::source() const
{
    return m_browser->source();
}

bool SorvHelpWindow::systemBrowserAvailable()
{
    // What the desktop services start to open a page outside a desktop
    // session of their own.
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

bool SorvHelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The dialog it stood beside is closing: stand alone again, open.
    if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous()) {
        const bool wasVisible = isVisible();
        adopt(nullptr);
        if (wasVisible)
            show();
    }
    return QWidget::eventFilter(watched, event);
}

void SorvHelpWindow::adopt(QWidget *owner)
{
    if (parentWidget())
        parentWidget()->removeEventFilter(this);
    const QRect place = geometry();
    const bool placed = testAttribute(Qt::WA_Moved);
    setParent(owner, windowFlags() | Qt::Window);
    if (placed)
        setGeometry(place);
    if (owner)
        owner->installEventFilter(this);
}

void SorvHelpWindow::followLink(const QUrl &link)
{
    const QUrl url = m_browser->source().resolved(link);
    if (!url.isLocalFile()) {
        if (systemBrowserAvailable() && QDesktopServices::openUrl(url))
            return;
        showMessage(
            tr("%1 is not a help page, and no web browser is installed to open it.").arg(url.toDisplayString()));
        return;
    }
    const QString reason = unreadableReason(url.toLocalFile());
    if (!reason.isEmpty()) {
        showMessage(
            tr("The help page %1 cannot be shown: %2.").arg(QDir::toNativeSeparators(url.toLocalFile()), reason));
        return;
    }
    m_message->hide();
    m_browser->setSource(url);
}

void SorvHelpWindow::goHome()
{
    const QString index = SorvDialog::helpPagePath(QStringLiteral("index.html"));
    if (index.isEmpty()) {
        QStringList folders;
        for (const QString &dir : SorvBaseUtil::helpDirs())
            folders << QDir::toNativeSeparators(dir);
        showMessage(tr("The help index is not in the help folder %1.").arg(folders.join(QStringLiteral(", "))));
        return;
    }
    followLink(QUrl::fromLocalFile(index));
}

void SorvHelpWindow::openInBrowser()
{
    if (!QDesktopServices::openUrl(m_browser->source()))
        showMessage(tr("The system's web browser could not be started."));
}

void SorvHelpWindow::pageChanged()
{
    m_message->hide();
    QString title = m_browser->documentTitle();
    if (title.isEmpty())
        title = QFileInfo(m_browser->source().toLocalFile()).fileName();
    setWindowTitle(tr("%1 - Help").arg(title));
}

void SorvHelpWindow::showMessage(const QString &text)
{
    m_message->setText(text);
    m_message->show();
}
