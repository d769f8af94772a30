#ifndef FBVIEW_SHOTPLOT_H
#define FBVIEW_SHOTPLOT_H

#include <fbfile/fblayout.h>
#include <fbqc/shotfit.h>

#include <fbview/plotlabels.h>
#include <fbview/viewplot.h>

#include <QString>
#include <QVector>

#include <memory>

class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotZoomer;

namespace FbView {

class SteadyLegend;

// One shot's picks against signed offset, in two modes:
// - Times: each pick in its status colour, the fitted first-break curve of
//   each side drawn above the picks, each segment's apparent velocity written
//   beside it and each side's intercept (model time at offset 0) at the
//   source; time may be reduced by a velocity (t - |x| / V).
// - Residuals: each pick's residual (time - model) against the same offsets,
//   with the zero line and the outlier threshold either side.
// In both, outliers are ringed, the selected pick is marked, and a legend
// names what is shown. Left drag zooms, right click steps the zoom back,
// middle drag pans; a click on a point reports its row.
//
// Where the picks followed the topography (the fit took the heights off,
// ShotFit::heightSlowness > 0) the plot draws picks and curve in one of two
// views, never one in each: at the source's height, as the fit's curve is,
// each pick taken there as the fit took it; or as picked, the curve then
// each pick's model time through the picks' offsets, following the ground.
// The time axis says which. Residuals are the same in both.
//
// A pick's signed offset is its offset with the sign of its side, so that a
// file storing only offsets >= 0 still shows the two sides apart. Offsets
// are in the offset unit (a setting, "m" unless told), velocities in that
// unit per second, times in ms.
//
//   plot->setOffsetUnit(QStringLiteral("ft"));
//   plot->setShot(records, FbQc::fitShot(records, settings), shot, ffid);
//   plot->setMode(ShotPlot::Residuals);
//   // a large shot: its points built on a worker, for the plot's view
//   auto drawn = ShotPlot::build(records, fit, plot->view());
//   plot->setShot(records, fit, shot, ffid, drawn);   // back on the UI thread
//   // another view of it, built on a worker too
//   auto residuals = ShotPlot::build(plot->records(), plot->fit(), view);
//   plot->showDrawn(residuals);
class ShotPlot : public ViewPlot
{
    Q_OBJECT

public:
    enum Mode { Times, Residuals };
    // The times drawn where the fit took the heights off; a shot without
    // heights looks the same in both.
    enum Heights { AtSource, AsPicked };

    // How the picks are viewed: what the point lists and labels depend on.
    struct View
    {
        Mode mode = Times;
        double velocity = 0.0; // reduction velocity; 0 plots plain time
        Heights heights = AtSource;
        QString unit = QStringLiteral("m");
        FbQc::Units units;
        bool unitsKnown = false;
        bool operator==(const View &other) const;
    };
    // What the plot draws of one shot in one view, in plot coordinates.
    // Built from the records and fit alone, on any thread: a worker builds
    // it for a shot of a million picks, and the plot only hands it to its
    // items. The reciprocal partner's picks are not part of it.
    struct Drawn
    {
        View view;
        QVector<QPointF> points;     // per row; NaN y for a pick not drawn
        QVector<QPointF> byClass[3]; // drawn picks by FbColumns::PickClass
        QVector<QPointF> rings;      // the outliers
        QVector<QPointF> model[2];   // by FbQc::Side, through the knots or (as picked) the picks
        QVector<QPointF> curve[2];   // the same before any reduction: |offset|, time
        bool judged[2] = {};
        QVector<PlotLabels::Label> labels; // velocities and intercepts
        QVector<QPointF> intercepts;       // marked at the source
    };
    static std::shared_ptr<const Drawn> build(const QVector<FbFile::FbRecord> &records, const FbQc::ShotFit &fit,
                                              const View &view);

    explicit ShotPlot(QWidget *parent = nullptr);
    // Leaves room for the intercept's label under the source, as the
    // canvas's height allows.
    void updateLayout() override;
    ~ShotPlot() override;

    // position: the shot's 0-based place in the file; the title reads
    // "Shot position+1 > ffid F" with the shot's picks and outliers.
    // fit.heightSlowness tells whether the time axis names the view.
    // drawn, when given, is build() of the same records and fit: the plot
    // takes its mode and reduction velocity (the view it was asked for), and
    // remakes only the labels when the units differ.
    void setShot(const QVector<FbFile::FbRecord> &records, const FbQc::ShotFit &fit, int position, qint32 ffid,
                 const std::shared_ptr<const Drawn> &drawn = nullptr);
    // The shot shown in another mode or reduction velocity: drawn is
    // build() of records() and fit() for that view, made on a worker. One
    // of another shot (size) is ignored.
    void showDrawn(const std::shared_ptr<const Drawn> &drawn);
    const QVector<FbFile::FbRecord> &records() const { return m_records; }
    const FbQc::ShotFit &fit() const { return m_fit; }
    View view() const { return m_view; }
    void setMode(Mode mode);
    Mode mode() const { return m_view.mode; }
    void setHeights(Heights heights);
    Heights heights() const { return m_view.heights; }
    // Whether the fit took the heights off, so that the two views differ.
    static bool hasHeights(const FbQc::ShotFit &fit) { return fit.heightSlowness > 0.0; }
    // Velocity in offset unit per second; 0 or less plots plain time.
    void setReductionVelocity(double velocity);
    double reductionVelocity() const { return m_view.velocity; }
    void setOffsetUnit(const QString &unit);
    QString offsetUnit() const { return m_view.unit; }
    // The file's units, once known (the QC pass finds the offsets' factor):
    // each segment's velocity is then written in m/s, whatever unit the
    // offsets are stored in.
    void setUnits(const FbQc::Units &units);
    // The outlier threshold the fit used (ms), named in the legend and drawn
    // in residual mode.
    void setOutlierThreshold(double ms);
    // Another shot's picks drawn over this one's (its reciprocal partner):
    // points of (signed offset, time in ms as picked), the legend's name for
    // them and, per point, the height (g_elev) of its receiver where the
    // partner's own fit took its time from a height, NaN where it kept it
    // as picked (a direct arrival; empty: the fit took no heights off).
    // Where this plot draws at the source's height, the partner's picks are
    // taken there as this shot's fit takes its own refracted picks, so that
    // both shots' times are compared in one frame.
    // Cleared by setShot(); an empty list shows none.
    void setPartnerPicks(const QVector<QPointF> &picks, const QString &title,
                         const QVector<double> &heights = QVector<double>());
    // A shot's picks as its reciprocal partner is drawn: those in use (not
    // unpicked, of a status the checks compare) on the sides its own fit
    // places them, with their receivers' heights as setPartnerPicks() takes them.
    // Built on any thread.
    struct Partner
    {
        QVector<QPointF> picks;
        QVector<double> heights; // empty where the fit took no heights off
    };
    static Partner partner(const QVector<FbFile::FbRecord> &records, const FbQc::ShotFit &fit);
    // The widest title setPartnerPicks() may give in this file: the legend
    // keeps its room, so that a partner coming or going moves nothing.
    void setPartnerRoom(const QString &widestTitle);

    // Marks the pick of row, or nothing for -1.
    void setSelectedRow(int row);
    int selectedRow() const { return m_selected; }
    void resetZoom();
    void replot() override;

    // Plot position of a row's pick in the current mode.
    QPointF pickPoint(int row) const;
    // The row whose pick lies nearest to a canvas pixel, within a few pixels;
    // -1 when none does.
    int rowAt(const QPoint &canvasPos) const;

    // The apparent velocity of a model segment from knot k to knot k + 1,
    // in offset unit per second: delta offset / delta time x 1000; NaN when
    // it is not positive and finite (no plausible velocity).
    static double segmentVelocity(const FbQc::SideModel &model, int k);

signals:
    void rowClicked(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Titles and items again after a setting changed; the whole shot shown
    // again when rezoom.
    void refresh(bool rezoom);
    void rebuild();
    // Hands drawn to the items: point lists, model, labels, thresholds.
    void apply(const std::shared_ptr<const Drawn> &drawn);
    // apply() in drawn's mode and reduction velocity.
    void adopt(const std::shared_ptr<const Drawn> &drawn);
    void applyPartner();
    void applyThreshold();
    void updateLegendEntries();
    void reserveLegend();
    void applyLabels();
    void updateTitles();
    void updateSelection();
    // curves: Drawn::curve, where the velocities are written.
    static QVector<PlotLabels::Label> buildLabels(const FbQc::ShotFit &fit, const View &view,
                                                  const QVector<QPointF> (&curves)[2], QVector<QPointF> *intercepts);

    QVector<FbFile::FbRecord> m_records;
    FbQc::ShotFit m_fit;
    View m_view;
    std::shared_ptr<const Drawn> m_drawn;
    double m_thresholdMs = 8.0;
    bool m_thresholdDrawn = false; // residual mode with a judged side
    QVector<QPointF> m_partner;
    QVector<double> m_partnerHeights; // by m_partner's point, or empty
    // By side: the height (as s_elev) this shot's refracted times are taken from.
    double m_frameHeight[2] = {};
    int m_selected = -1;
    // Above this many picks a shot is drawn as plain dots.
    static constexpr int DenseShot = 5000;
    bool m_dense = false;
    SteadyLegend *m_legend = nullptr;
    QVector<QPointF> m_points;      // m_drawn's
    QwtPlotCurve *m_status[3] = {}; // by FbColumns::PickClass
    QwtPlotCurve *m_rings = nullptr;
    QwtPlotCurve *m_partnerCurve = nullptr;
    QwtPlotCurve *m_partnerRoom = nullptr; // never attached: the partner's entry at its widest
    QwtPlotCurve *m_model[2] = {};         // by FbQc::Side
    QwtPlotMarker *m_threshold[2] = {};    // -threshold, +threshold
    QVector<QwtPlotMarker *> m_labels;     // the intercepts' marks
    double m_lowestIntercept;              // the time axis leaves room under it; NaN: none drawn
    double m_roomBelowSource = 0.06;       // that room, a share of the times' span
    PlotLabels *m_labelTexts = nullptr;    // velocities and intercepts, placed clear of each other
    quint32 m_legendEntries = ~0u;         // which items the legend lists, a bit each
    QwtPlotMarker *m_selection = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
};

} // namespace FbView

#endif // FBVIEW_SHOTPLOT_H
