#ifndef SHOWNWIDGET_H
#define SHOWNWIDGET_H

// Shows a widget at a given size and waits until its window is exposed, so
// that canvas maps, grabs and clicks see the laid-out widget. False when the
// window never appears; use as QVERIFY(FbTest::shown(&view, {900, 500})).

#include <QSize>
#include <QTest>
#include <QWidget>

namespace FbTest {

inline bool shown(QWidget *widget, const QSize &size)
{
    widget->resize(size);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

} // namespace FbTest

#endif // SHOWNWIDGET_H
