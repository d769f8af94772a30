#include "middleelidedlabel.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QStyle>

MiddleElidedLabel::MiddleElidedLabel(QLabel *label, const QString &caption)
    : QObject(label)
    , m_caption(caption)
{
}

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
    return caption
         + metrics.elidedText(text.mid(caption.size()), Qt::ElideMiddle, width - metrics.horizontalAdvance(caption));
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
