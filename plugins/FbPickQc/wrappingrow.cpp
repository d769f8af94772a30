#include "wrappingrow.h"

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QVBoxLayout>

WrappingRow::WrappingRow(QWidget *parent) : QWidget(parent), m_lines(new QVBoxLayout(this))
{
    m_lines->setContentsMargins(0, 0, 0, 0);
}

void WrappingRow::setGroups(const QList<QWidget *> &groups)
{
    m_groups = groups;
    for (QWidget *group : groups) {
        group->setParent(this);
        group->show();
    }
    arrange(width() > 0 ? width() : QWIDGETSIZE_MAX, true);
}

namespace {
const char *const RoomProperty = "wrappingRowRoom";
}

void WrappingRow::setRoom(QWidget *group, int width)
{
    group->setProperty(RoomProperty, width);
}

int WrappingRow::widthOf(const QWidget *group)
{
    return qMax(group->sizeHint().width(), group->property(RoomProperty).toInt());
}

QSize WrappingRow::sizeHint() const
{
    int width = 0;
    for (const QWidget *group : m_groups)
        width += widthOf(group) + m_lines->spacing();
    return QSize(width, height());
}

QSize WrappingRow::minimumSizeHint() const
{
    int width = 0;
    for (const QWidget *group : m_groups)
        width = qMax(width, group->minimumSizeHint().width());
    return QSize(width, height());
}

void WrappingRow::resizeEvent(QResizeEvent *event)
{
    arrange(width());
    QWidget::resizeEvent(event);
}

QList<QList<int>> WrappingRow::lines(int width, const QList<QWidget *> &groups) const
{
    QList<QList<int>> result;
    int used = 0;
    for (int g = 0; g < groups.size(); ++g) {
        const int w = widthOf(groups.at(g));
        if (result.isEmpty() || used + m_lines->spacing() + w > width) {
            result.append(QList<int>());
            used = 0;
        } else {
            used += m_lines->spacing();
        }
        result.last().append(g);
        used += w;
    }
    return result;
}

int WrappingRow::heightAt(int width, const QList<QWidget *> &groups) const
{
    int height = -m_lines->spacing();
    for (const QList<int> &line : lines(width, groups)) {
        int tallest = 0;
        for (int g : line)
            tallest = qMax(tallest, groups.at(g)->sizeHint().height());
        height += tallest + m_lines->spacing();
    }
    return qMax(height, 0);
}

void WrappingRow::arrange(int width, bool again)
{
    const QList<QList<int>> wanted = lines(width, m_groups);
    if (wanted == m_arranged && !again)
        return;
    m_arranged = wanted;
    // Only the lines change; the groups stay where they are owned.
    while (QLayoutItem *item = m_lines->takeAt(0)) {
        if (QLayout *line = item->layout()) {
            while (QLayoutItem *inner = line->takeAt(0))
                delete inner;
        }
        delete item;
    }
    for (const QList<int> &line : wanted) {
        auto *row = new QHBoxLayout;
        for (int g : line)
            row->addWidget(m_groups.at(g));
        row->addStretch(1);
        m_lines->addLayout(row);
    }
    setFixedHeight(heightAt(width, m_groups));
}
