#include <fbview/steadylegend.h>

#include <qwt_plot.h>
#include <qwt_legend_label.h>
#include <qwt_plot_item.h>

namespace FbView {

SteadyLegend::SteadyLegend(QWidget *parent) : QwtLegend(parent), m_room(new QwtLegend(this))
{
    m_room->hide();
}

QWidget *SteadyLegend::createWidget(const QwtLegendData &data) const
{
    QWidget *widget = QwtLegend::createWidget(data);
    tighten(widget);
    return widget;
}

void SteadyLegend::tighten(QWidget *widget)
{
    // The layout's spacing keeps the entries apart; a margin of their own
    // would only make the rows taller.
    if (auto *label = qobject_cast<QwtLegendLabel *>(widget))
        label->setMargin(0);
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
        for (QWidget *widget : m_room->legendWidgets(info)) {
            tighten(widget);
            widget->setVisible(true);
        }
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

} // namespace FbView
