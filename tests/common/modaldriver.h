#ifndef MODALDRIVER_H
#define MODALDRIVER_H

// Drives modal windows from a polling timer, so that a test can press a
// button that opens a message box, a progress dialog or a viewer and still
// get control back. Every modal window seen is recorded; the handler decides
// what to do with it, and closes it by default. A test can never hang: after
// the time limit every modal window is closed regardless.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class ModalDriver : public QObject
{
public:
    struct Seen
    {
        QString className;
        QString text; // the message of a message box
    };
    // Returns true when it has dealt with (closed) the window.
    using Handler = std::function<bool(QWidget *modal)>;

    explicit ModalDriver(Handler handler = Handler(), int limitMs = 20000)
        : m_handler(std::move(handler)), m_limitMs(limitMs)
    {
        m_clock.start();
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    const QList<Seen> &seen() const { return m_seen; }
    int count(const char *className) const
    {
        int n = 0;
        for (const Seen &s : m_seen)
            n += s.className == QLatin1String(className);
        return n;
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const Seen &s : m_seen) {
            if (!s.text.isEmpty())
                texts << s.text;
        }
        return texts;
    }

    static void close(QWidget *modal)
    {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            box->accept();
        else if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (modal != m_last) {
            m_last = modal;
            Seen s{QString::fromLatin1(modal->metaObject()->className()), QString()};
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                s.text = box->text();
            m_seen << s;
            if (m_handler && m_handler(modal))
                return;
            // Progress dialogs close themselves when the work is done.
            if (s.className != QLatin1String("QProgressDialog"))
                close(modal);
            return;
        }
        if (m_clock.elapsed() > m_limitMs)
            close(modal);
    }

    Handler m_handler;
    int m_limitMs;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QPointer<QWidget> m_last;
    QList<Seen> m_seen;
};

#endif // MODALDRIVER_H
