#include "messageline.h"

MessageLine::MessageLine()
{
    setObjectName(QStringLiteral("messageLabel"));
    setWordWrap(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    hide();
}

void MessageLine::showMessage(const QString &text, bool error)
{
    m_shotNote = false;
    m_error = error;
    setText(text);
    setStyleSheet(error ? QStringLiteral("color: #b00000; font-weight: bold;") : QStringLiteral("color: #805000;"));
    setVisible(!text.isEmpty());
}

void MessageLine::showShotNote(const QString &text)
{
    if (text.isEmpty() && !m_shotNote)
        return;
    showMessage(text, false);
    m_shotNote = !text.isEmpty();
}

void MessageLine::append(const QString &text)
{
    showMessage(this->text().isEmpty() ? text : this->text() + QLatin1Char(' ') + text, m_error);
}
