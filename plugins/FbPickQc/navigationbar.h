#ifndef NAVIGATIONBAR_H
#define NAVIGATIONBAR_H

#include "qcloader.h"
#include "wrappingrow.h"

#include <memory>

class ProblemPanel;
class QComboBox;
class QDoubleSpinBox;
class QToolButton;
class QcDocument;
namespace FbView {
class ShotListModel;
}

// The QC window's tool bar: the shot list and its steps, the steps through
// the shots with a problem, and the two thresholds, as groups that wrap
// like words on a narrow window. It moves the QcDocument and shows where
// it is; it keeps nothing of its own. The groups keep their order and
// their grouping in every language, so that the lines break at the same
// places whatever the texts' lengths.
//
// Keys (in scope, the window): Page Up / Page Down step through the shots,
// N and Shift+N through the shots with a problem of their own.
//
// Usage:
//   auto *bar = new NavigationBar(&document, problemPanel, window);
//   bar->setTrailing(shotPanel->controls());   // or nullptr: in a corner
//   connect(bar, &NavigationBar::thresholdsChosen, window, &Window::keepThresholds);
class NavigationBar : public WrappingRow
{
    Q_OBJECT

public:
    // The groups' widths in font heights, room for their texts in English
    // and in Chinese, so that both wrap alike: the shot and its steps, the
    // problem steps and the thresholds, the trailing group.
    static constexpr int ShotEms = 23;
    static constexpr int StepsEms = 33;
    static constexpr int TrailingEms = 26;

    NavigationBar(QcDocument *document, ProblemPanel *problems, QWidget *scope);

    // A group to end the bar with (the plot's controls), or none; it is
    // given TrailingEms of room.
    void setTrailing(QWidget *group);
    // How high the bar is at width with group at its end.
    int heightWith(int width, QWidget *group) const;
    // Shows the document's thresholds without judging again.
    void showThresholds(const FbQc::Settings &settings);
    // A newly loaded file's shots in the list.
    void showShots(const std::shared_ptr<const QcData> &data);
    // Enables the steps that lead somewhere from the current shot.
    void updateButtons();

signals:
    // The user set the thresholds (ms); the document judges again.
    void thresholdsChosen(double outlierMs, double reciprocityMs);

private:
    void stepShot(int delta);

    QcDocument *m_document;
    ProblemPanel *m_problems;
    QList<QWidget *> m_groups;
    QComboBox *m_shotCombo = nullptr;
    FbView::ShotListModel *m_shotList = nullptr;
    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QToolButton *m_previousProblem = nullptr;
    QToolButton *m_nextProblem = nullptr;
    QDoubleSpinBox *m_outlierSpin = nullptr;
    QDoubleSpinBox *m_reciprocitySpin = nullptr;
};

#endif // NAVIGATIONBAR_H
