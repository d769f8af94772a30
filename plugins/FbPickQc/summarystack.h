#ifndef SUMMARYSTACK_H
#define SUMMARYSTACK_H

#include <QStackedWidget>

// The summary and, while work runs, its progress in the summary's place.
// As high as the tallest page at its width whichever shows, so that the
// panes above keep their size: a stack sizes a hidden word-wrapped label
// by a hint made for no width in particular. At one width it only grows,
// so that a summary a line shorter after new thresholds moves nothing.
// Call fit() when a page's text changes.
class SummaryStack : public QStackedWidget
{
public:
    void fit()
    {
        const int height = heightAt(width());
        m_fittedWidth = width();
        if (height != maximumHeight())
            setFixedHeight(height);
    }
    // How high fit() makes it at width.
    int heightAt(int width) const
    {
        int height = width == m_fittedWidth ? maximumHeight() : 0;
        for (int i = 0; i < count(); ++i) {
            const QWidget *page = widget(i);
            height = qMax(height, page->hasHeightForWidth() ? page->heightForWidth(width) : page->sizeHint().height());
        }
        return height;
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QStackedWidget::resizeEvent(event);
        fit();
    }

private:
    int m_fittedWidth = -1;
};

#endif // SUMMARYSTACK_H
