#include "middleelidedlabel.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QStyle>

MiddleElidedLabel::MiddleElidedLabel(QLabel *label, const QString &caption) : QObject(label), m_caption(caption) { }

void MiddleElidedLabel::install(QLabel *label, const QString &caption)
{
    label->installEventFilter(new MiddleElidedLabel(label, caption));
}

QString MiddleElidedLabel::shownText(const QLabel *label)
{
    const QString text = label->text();
    const QFontMetrics metrics = label->fontMetrics();
    const int width = label->contentsRect().width();
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const auto *elider = label->findChild<MiddleElidedLabel *>(QString(), Qt::FindDirectChildrenOnly);
    const QString caption = elider && text.startsWith(elider->m_caption) ? elider->m_caption : QString();
    const QString value = text.mid(caption.size());
    const int room = width - metrics.horizontalAdvance(caption);
    // The last part of a path (the file's name) whole when there is room
    // for it beside an ellipsis; else the middle of the whole value goes.
    const QString name = value.mid(value.lastIndexOf(QLatin1Char('/')));
    const int nameWidth = metrics.horizontalAdvance(name);
    if (name.size() < value.size() && nameWidth + metrics.horizontalAdvance(QChar(0x2026)) <= room) {
        const QString folder =
            metrics.elidedText(value.left(value.size() - name.size()), Qt::ElideMiddle, room - nameWidth);
        return caption + (folder.isEmpty() ? QString(QChar(0x2026)) : folder) + name;
    }
    return caption + metrics.elidedText(value, Qt::ElideMiddle, room);
}

bool MiddleElidedLabel::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = qobject_cast<QLabel *>(watched);
    if (!label || event->type() != QEvent::Paint)
        return false;
    const QString shown = shownText(label);
    // A text that fits is the label's own to draw.
    if (shown == label->text())
        return false;
    QPainter painter(label);
    label->style()->drawItemText(&painter, label->contentsRect(), int(label->alignment()), label->palette(),
                                 label->isEnabled(), shown, label->foregroundRole());
    return true;
}
