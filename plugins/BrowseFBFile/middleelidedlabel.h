#ifndef MIDDLEELIDEDLABEL_H
#define MIDDLEELIDEDLABEL_H

#include <QObject>
#include <QString>

class QLabel;

// Shows a one-line label "CAPTION VALUE" whose text is wider than the label
// with the middle of its value left out ("FB File: /data/…/line-7.fb"): the
// caption stays whole, and so does the last part of a path (a file's name)
// when there is room for it, else the value's end; the label's text() stays whole, and what it shows is drawn in the
// label's own font, palette and alignment.
//
//   MiddleElidedLabel::install(ui->fbNameLabel, caption + QLatin1Char(' '));
//   MiddleElidedLabel::shownText(ui->fbNameLabel);   // what is drawn now
class MiddleElidedLabel : public QObject
{
    Q_OBJECT

public:
    // Takes over the painting of label, whose text starts with caption;
    // owned by the label.
    static void install(QLabel *label, const QString &caption);
    // The text as drawn at the label's present width.
    static QString shownText(const QLabel *label);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MiddleElidedLabel(QLabel *label, const QString &caption);

    QString m_caption;
};

#endif // MIDDLEELIDEDLABEL_H
