#ifndef FBVIEW_SURVEYMAPDATA_H
#define FBVIEW_SURVEYMAPDATA_H

#include <fbfile/progress.h>

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <cmath>
#include <functional>
#include <limits>

namespace FbView {

// A point of a survey map: a source or receiver position as the FB file
// holds it, in single precision (half the memory of a QPointF, which counts
// for millions of them).
struct SurveyPoint
{
    float x = 0.0f;
    float y = 0.0f;
    QPointF toPointF() const { return QPointF(x, y); }
};
} // namespace FbView

Q_DECLARE_TYPEINFO(FbView::SurveyPoint, Q_PRIMITIVE_TYPE);

namespace FbView {

// What a survey map draws besides the colours: the sources (one per shot),
// the receivers, their extent and a grid of the sources that finds the shot
// under the mouse without a scan of all of them. Built by build() on any
// thread (the QC window builds it on its loading thread, with the rest of
// a file's data), then handed to SurveyMap::setSurvey(); copies share the
// data.
//
//   SurveyMapData data = SurveyMapData::build(sources, receivers);   // any thread
//   map->setSurvey(data);                                            // the UI thread
class SurveyMapData
{
public:
    // sources: one per shot, in file order; a position with a coordinate
    // that is not finite is kept (the shots keep their numbers) but neither
    // drawn nor found. receivers: distinct positions, as distinctReceivers()
    // gives them. Time grows in proportion to the points: about a second
    // for ten million. Cancel is looked at every million shots; once asked,
    // the build stops and the data is empty.
    static SurveyMapData build(QVector<SurveyPoint> sources, QVector<SurveyPoint> receivers,
                               const FbFile::Progress &progress = FbFile::Progress());

    int shotCount() const { return m_sources.size(); }
    // Per shot; NaN where a coordinate is not finite.
    const QVector<SurveyPoint> &sources() const { return m_sources; }
    QPointF source(int shot) const { return m_sources.at(shot).toPointF(); }
    const QVector<SurveyPoint> &receivers() const { return m_receivers; }
    // The extent of every finite source and receiver; a unit square at the
    // origin when there is none.
    QRectF bounds() const { return m_bounds; }

    // Calls visit(shot) for each shot whose source may lie in area (map
    // coordinates): every one that does, and a few near its edges.
    void forEachSourceNear(const QRectF &area, const std::function<void(int shot)> &visit) const;

private:
    // The grid's cell of a map coordinate, along one axis.
    int cellOf(double offset) const { return int(std::floor(offset / m_cellSize)); }

    QVector<SurveyPoint> m_sources;
    QVector<SurveyPoint> m_receivers;
    QRectF m_bounds = QRectF(0, 0, 1, 1);
    // Grid of source positions, cells row by row from the bounds' corner:
    // the shots sorted by cell, and where each cell's run starts (one more
    // entry than cells, so that cell c holds m_cellShots[m_cellStart[c]]
    // up to m_cellStart[c + 1]).
    double m_cellSize = 1.0;
    int m_columns = 0;
    int m_rows = 0;
    QVector<int> m_cellShots;
    QVector<int> m_cellStart;
};

// The per-shot value a survey map colours its sources by.
struct SurveyValues
{
    enum Kind {
        Count,      // whole numbers (outliers, picks): a stepped bar with whole-number ticks
        Continuous, // a measure (RMS residual in ms): a smooth bar
        Signed      // a signed measure (a timing error in ms): a bar diverging from 0
    };
    Kind kind = Count;
    QString title;         // the colour bar's, with its unit
    QVector<float> values; // one per shot; NaN where a shot has none
    // The range of the values that exist (0 to 0 when none does), once
    // findRange() ran: a maker of millions of values runs it off the UI
    // thread; otherwise SurveyMap::setValues() finds it.
    float low = std::numeric_limits<float>::quiet_NaN(), high = std::numeric_limits<float>::quiet_NaN();

    void findRange();
    bool hasRange() const { return low <= high; }
};

} // namespace FbView

#endif // FBVIEW_SURVEYMAPDATA_H
