#ifndef WRAPPINGROW_H
#define WRAPPINGROW_H

#include <QList>
#include <QWidget>

class QVBoxLayout;

// Groups of controls laid out as words are: as many on a line as fit, the
// rest on the next, in the order given, so that a window fits a small
// screen. Exactly as high as the lines it shows at its width. A group
// counts as wide as the room set for it (setRoom) when that is more than it
// needs, and is drawn at its own size: groups given room that holds them in
// every language wrap at the same places in each. The groups
// become its children; one dropped by setGroups() is left to whoever
// takes it next.
class WrappingRow : public QWidget
{
public:
    explicit WrappingRow(QWidget *parent = nullptr);

    void setGroups(const QList<QWidget *> &groups);
    // The width group counts as when lines are broken, if more than it needs.
    static void setRoom(QWidget *group, int width);
    // How high the row would be at width holding groups (its own or
    // others it may take), as it lays them out.
    int heightAt(int width, const QList<QWidget *> &groups) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    static int widthOf(const QWidget *group);
    // Which of groups go on which line at a width.
    QList<QList<int>> lines(int width, const QList<QWidget *> &groups) const;
    void arrange(int width, bool again = false);

    QList<QWidget *> m_groups;
    QVBoxLayout *m_lines;
    QList<QList<int>> m_arranged;
};

#endif // WRAPPINGROW_H
