#ifndef PROBLEMPANEL_H
#define PROBLEMPANEL_H

#include "qcdocument.h"

#include <QWidget>

#include <memory>

class ProblemModel;
class QModelIndex;

namespace Ui {
class ProblemPanel;
}

// The problem list of the QC window (problemView): the document's findings
// grouped by shot, worst first or in file order (problemOrder), one kind or
// all (problemKindFilter), the counts below. What a problem is reads first
// (the shot, then the detail), its counts after. Activating a row goes to
// its shot and problem through the document; step() is what N and Shift+N
// do. The order is kept per project under orderKey.
class ProblemPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char *orderKey = "problemOrder";

    explicit ProblemPanel(QcDocument *document, QWidget *parent = nullptr);
    ~ProblemPanel() override;

    ProblemModel *model() const { return m_model; }
    // The order kept for the project (ProblemModel::Order).
    void setOrder(int order);
    // The next (+1) or previous (-1) shot with a problem from shot; -1 when none.
    qint32 adjacentShot(qint32 shot, int direction) const;
    // Goes to that shot's first problem, its row made current.
    void step(int direction);

signals:
    // The list's counts or order changed: what the steps can reach too.
    void listChanged();
    // The order was chosen, to keep for the project.
    void orderChosen(int order);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showProblems(const std::shared_ptr<const QcData> &data, bool keepPlace);
    void fitColumns();
    void activate(const QModelIndex &index);

    QcDocument *m_document;
    std::unique_ptr<Ui::ProblemPanel> m_ui;
    ProblemModel *m_model;
};

#endif // PROBLEMPANEL_H
