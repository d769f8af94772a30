#ifndef MESSAGELINE_H
#define MESSAGELINE_H

#include <QLabel>

// The QC window's line of messages over its panels: one message at a
// time, an error in bold red, a note in brown; hidden when there is none.
// A note about the shot shown (showShotNote) goes when the shot does, and
// never clears a message that came from elsewhere.
class MessageLine : public QLabel
{
public:
    MessageLine();

    void showMessage(const QString &text, bool error);
    // Empty text: the note about the shot shown before goes, if it is the
    // message shown.
    void showShotNote(const QString &text);
    // Adds to what is shown, keeping whether it is an error.
    void append(const QString &text);

private:
    bool m_error = false;
    bool m_shotNote = false;
};

#endif // MESSAGELINE_H
