#ifndef MODALDRIVER_H
#define MODALDRIVER_H

// Drives modal windows from a polling timer, so that a test can press a
// button that opens a message box, a progress dialog or a viewer and still
// get control back. Every modal window seen is recorded; the handler decides
// what to do with it, and closes it by default. A test can never hang: after
// the time limit every modal window is closed regardless.

#include <QtWidgets>

#include <functional>

class ModalDriver : public QObject
{
public:
    struct Seen
    {
        QString className, text;
    }; // text: the message of a message box
    // Returns true when it has dealt with (closed) the window.
    using Handler = std::function<bool(QWidget *modal)>;

    explicit ModalDriver(Handler handler = Handler(), int limitMs = 20000)
        : m_handler(std::move(handler)), m_deadline(limitMs)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }

    const QList<Seen> &seen() const { return m_seen; }
    QStringList messages() const { return m_messages; }

    static void close(QWidget *modal)
    {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            qobject_cast<QMessageBox *>(modal) ? dialog->accept() : dialog->reject();
        else
            modal->close();
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || (modal == m_last && !m_deadline.hasExpired()))
            return;
        if (modal == m_last)
            return close(modal);
        m_last = modal;
        auto *box = qobject_cast<QMessageBox *>(modal);
        const QString className = QString::fromLatin1(modal->metaObject()->className());
        m_seen << Seen{className, box ? box->text() : QString()};
        if (box && !box->text().isEmpty())
            m_messages << box->text();
        // Progress dialogs close themselves when the work is done.
        if (!(m_handler && m_handler(modal)) && className != QLatin1String("QProgressDialog"))
            close(modal);
    }

    Handler m_handler;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    QPointer<QWidget> m_last;
    QList<Seen> m_seen;
    QStringList m_messages;
};

#endif // MODALDRIVER_H
