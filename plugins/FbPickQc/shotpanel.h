#ifndef SHOTPANEL_H
#define SHOTPANEL_H

#include "qcdocument.h"
#include "shotloader.h"
#include <fbview/shotplot.h>

#include <QWidget>

#include <memory>

class QCheckBox;
class QLineEdit;
class QSplitter;
class QTableView;
class QToolButton;
namespace FbView {
class ShotPlot;
}
class ShotTableModel;

// The current shot of the QC window: its picks against offset in the plot
// (object name shotPlot) and its records in the viewer's table (shotTable),
// the selected pick the same in both. It follows the document's current
// shot: reads and fits it off the UI thread (ShotLoader), shows it, selects
// the document's target and tells the document it is shown; a partner's
// picks are overlaid when the target asks for them. Edited shots are shown
// as the edits leave them, keeping the zoom and the selected pick.
//
// controls() is the plot's row (reduction velocity, residuals, times as
// picked or at the source's height, reset zoom), placed by the window. The
// view of the heights is the window's to keep (setAsPicked(), asPickedChosen());
// its box is enabled on shots whose fit took heights off, where the views
// differ. setOrientation() lays the plot above the table
// (vertical) or beside it (horizontal, for a small window).
//
// Notes about the shot shown (too large to fit or to show) go out as
// shotNote(); an empty note clears the previous one.
//
// A shot of more than AsidePicks picks is drawn in another mode or
// reduction velocity, and refitted after an edit, on a worker: the plot
// shows it as it was until the new view or fit arrives. Smaller shots
// change in place.
class ShotPanel : public QWidget
{
    Q_OBJECT

public:
    // Splitter sizes are shares of this, scaled to the room there is (the
    // window's splitters use it too).
    static constexpr int SplitUnit = 1000;
    static constexpr int AsidePicks = 20000;

    explicit ShotPanel(QcDocument *document, QWidget *parent = nullptr);
    ~ShotPanel() override;

    FbView::ShotPlot *plot() const { return m_plot; }
    QTableView *table() const { return m_table; }
    ShotTableModel *tableModel() const { return m_tableModel; }
    QWidget *controls() const { return m_controls; }
    QSplitter *splitter() const { return m_splitter; }
    void setOrientation(Qt::Orientation orientation);
    // The window's key for the heights' view, a bool: as picked.
    static constexpr const char *asPickedKey = "plotAsPicked";
    void setAsPicked(bool asPicked);
    // The controls that act on the plot alone (residuals, heights, zoom)
    // are enabled while the plot is in sight.
    void setPlotShown(bool shown);
    // Folded, the controls that act on the plot alone are a menu behind one
    // button (plotMenuButton), for a small window's tab corner.
    void setControlsFolded(bool folded);
    // The width controls() asks for, folded or not.
    int controlsWidth(bool folded) const;

signals:
    void shotNote(const QString &text);
    // The user chose the other view of the heights.
    void asPickedChosen(bool asPicked);

private:
    void showFile(const std::shared_ptr<const QcData> &data);
    void requestShot(int shot);
    void onShotLoaded(std::shared_ptr<const LoadedShot> shot);
    void onPartnerLoaded(int partner, const FbView::ShotPlot::Partner &picks);
    void applyTarget();
    void selectRow(int row);
    // The pick nearest to shot B's source: the receiver at B's station when
    // there is one, else the nearest receiver position.
    int reciprocalRow(int shotB) const;
    void showEditedShots(const QVector<qint32> &shots);
    // The shown shot's picks again after an edit, keeping the zoom and the
    // selected pick.
    void showEditedPicks(const QVector<FbFile::FbRecord> &records, const FbQc::ShotFit &fit, qint32 ffid,
                         const std::shared_ptr<const FbView::ShotPlot::Drawn> &drawn);
    // The heights' box enabled where the shown shot's views differ.
    void enableHeights();
    // The mode, reduction velocity and heights' view the controls ask for.
    FbView::ShotPlot::View wantedView() const;
    // Brings the plot to wantedView().
    void showView();

    QcDocument *m_document;
    ShotLoader m_loader;
    FbQc::LatestJob *m_views;
    int m_refitting = -1; // the shown shot, read and fitted again after an edit
    FbView::ShotPlot *m_plot = nullptr;
    QTableView *m_table = nullptr;
    ShotTableModel *m_tableModel = nullptr;
    QSplitter *m_splitter = nullptr;
    QWidget *m_controls = nullptr;
    QLineEdit *m_velocity = nullptr;
    QCheckBox *m_residuals = nullptr;
    QCheckBox *m_asPicked = nullptr;
    QWidget *m_plotControls = nullptr;
    QWidget *m_plotRow = nullptr;
    QToolButton *m_plotMenu = nullptr;
};

#endif // SHOTPANEL_H
