#include <fbview/steadylegend.h>

#include <qwt_dyngrid_layout.h>
#include <qwt_legend_label.h>
#include <qwt_painter.h>
#include <qwt_plot.h>
#include <qwt_plot_item.h>

#include <QPainter>

namespace FbView {

namespace {

// Entries one after another like words, a new row when the next does not
// fit: a long entry takes only its own width, where a grid would widen its
// whole column and so need more rows in a narrow plot. Each row is centred.
class FlowLayout : public QwtDynGridLayout
{
public:
    explicit FlowLayout(QWidget *parent) : QwtDynGridLayout(parent, 0, Spacing) { }

    // Where each entry that shows goes inside rect, in the layout's order
    // (a hidden one gets an empty rectangle); the rows' total height in *height.
    QVector<QRect> flow(const QRect &rect, int *height = nullptr) const
    {
        QVector<QRect> places(count());
        int top = rect.top();
        int first = 0;
        while (first < count()) {
            // One row: as many entries as fit, at least one.
            int width = 0, rowHeight = 0, last = first;
            for (; last < count(); ++last) {
                const QLayoutItem *item = itemAt(last);
                if (item->isEmpty())
                    continue;
                const QSize hint = item->sizeHint();
                const int wider = width + (width > 0 ? Spacing : 0) + hint.width();
                if (width > 0 && wider > rect.width())
                    break;
                width = wider;
                rowHeight = qMax(rowHeight, hint.height());
            }
            int left = rect.left() + qMax(0, (rect.width() - width) / 2);
            for (int k = first; k < last; ++k) {
                const QLayoutItem *item = itemAt(k);
                if (item->isEmpty())
                    continue;
                const QSize hint = item->sizeHint();
                places[k] = QRect(QPoint(left, top + (rowHeight - hint.height()) / 2), hint);
                left += hint.width() + Spacing;
            }
            if (rowHeight > 0)
                top += rowHeight + Spacing;
            first = last;
        }
        if (height)
            *height = qMax(0, top - rect.top() - Spacing);
        return places;
    }

    int heightForWidth(int width) const override
    {
        int height = 0;
        flow(QRect(0, 0, width, QWIDGETSIZE_MAX), &height);
        return height;
    }

    QSize sizeHint() const override
    {
        // All in one row.
        int height = 0;
        const QVector<QRect> places = flow(QRect(0, 0, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), &height);
        int width = 0;
        for (const QRect &place : places)
            width = qMax(width, place.right() + 1);
        return QSize(width, height);
    }

    void setGeometry(const QRect &rect) override
    {
        QLayout::setGeometry(rect);
        const QVector<QRect> places = flow(rect);
        for (int k = 0; k < count(); ++k) {
            if (!itemAt(k)->isEmpty())
                itemAt(k)->setGeometry(places.at(k));
        }
    }

private:
    static constexpr int Spacing = 4;
};

// The entries of a legend flow instead of filling a grid.
FlowLayout *flowEntries(QwtLegend *legend)
{
    QWidget *contents = legend->contentsWidget();
    delete contents->layout();
    return new FlowLayout(contents);
}

constexpr qreal TextScale = 0.9;

// Entries with no margin of their own, from the start: a margin taken off
// later would stay in the room kept for the icon, making an entry wider
// each time it is made again.
void tighten(QWidget *widget)
{
    // The layout's spacing keeps the entries apart; a margin of their own
    // would only make the rows taller.
    if (auto *label = qobject_cast<QwtLegendLabel *>(widget))
        label->setMargin(0);
}

class TightLegend : public QwtLegend
{
public:
    using QwtLegend::QwtLegend;

protected:
    QWidget *createWidget(const QwtLegendData &data) const override
    {
        QWidget *widget = QwtLegend::createWidget(data);
        tighten(widget);
        return widget;
    }
};

} // namespace

SteadyLegend::SteadyLegend(QWidget *parent) : QwtLegend(parent), m_room(new TightLegend(this))
{
    // Smaller than the plot's text: the legend is read once, the plot
    // needs the height.
    QFont small;
    small.setPointSizeF(small.pointSizeF() * TextScale);
    setFont(small);
    flowEntries(this);
    flowEntries(m_room);
    m_room->hide();
}

QWidget *SteadyLegend::createWidget(const QwtLegendData &data) const
{
    QWidget *widget = QwtLegend::createWidget(data);
    tighten(widget);
    return widget;
}

void SteadyLegend::reserve(const QwtPlot *plot, const QList<const QwtPlotItem *> &items)
{
    QList<QVariant> reserved;
    for (const QwtPlotItem *item : items)
        reserved.append(plot->itemToInfo(const_cast<QwtPlotItem *>(item)));
    for (const QVariant &info : qAsConst(m_reserved)) {
        if (!reserved.contains(info))
            m_room->updateLegend(info, QList<QwtLegendData>());
    }
    m_reserved = reserved;
    for (int k = 0; k < items.size(); ++k) {
        const QVariant &info = reserved.at(k);
        m_room->updateLegend(info, items.at(k)->legendData());
        // A hidden entry would lay out as nothing; shown inside the hidden
        // legend, it keeps its size without reaching the screen.
        for (QWidget *widget : m_room->legendWidgets(info))
            widget->setVisible(true);
    }
    updateGeometry();
}

QSize SteadyLegend::sizeHint() const
{
    // The plot's layout asks the height for this width: the same width
    // whatever is shown, so that the height is the same too.
    return QwtLegend::sizeHint().expandedTo(m_room->sizeHint());
}

int SteadyLegend::heightForWidth(int width) const
{
    return qMax(QwtLegend::heightForWidth(width), m_room->heightForWidth(width));
}

void SteadyLegend::renderLegend(QPainter *painter, const QRectF &rect, bool fillBackground) const
{
    // An exported plot lists its entries where the window does.
    if (isEmpty())
        return;
    if (fillBackground && (autoFillBackground() || testAttribute(Qt::WA_StyledBackground)))
        QwtPainter::drawBackgound(painter, rect, this);
    const auto *layout = static_cast<const FlowLayout *>(contentsWidget()->layout());
    const QVector<QRect> places = layout->flow(rect.toAlignedRect().marginsRemoved(contentsMargins()));
    for (int k = 0; k < layout->count(); ++k) {
        const QWidget *entry = layout->itemAt(k)->widget();
        if (!entry || layout->itemAt(k)->isEmpty())
            continue;
        painter->save();
        painter->setClipRect(places.at(k), Qt::IntersectClip);
        renderItem(painter, entry, places.at(k), fillBackground);
        painter->restore();
    }
}

} // namespace FbView
