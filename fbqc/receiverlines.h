#ifndef FBQC_RECEIVERLINES_H
#define FBQC_RECEIVERLINES_H

#include <QPointF>
#include <QVector>

namespace FbFile {
struct FbRecord;
}

namespace FbQc {

// The receiver lines of a survey told apart by position alone, for a file
// that leaves line and station numbers unset (picks made from traces whose
// headers carry none): a 3-D patch's receivers stand in parallel lines,
// each nearer its neighbours on its own line than any receiver of the next.
//
// The lines run the way most receivers' nearest neighbours lie; across that
// direction, receivers in order of their distance are one line while each
// stands less than LineGapSpacings receiver spacings past the one before.
// Along a line the receivers stand a spacing apart, so no bend of a 2-D
// line, however crooked, parts it: only lines standing apart do. Lines are
// numbered from 0 across the direction, from its right to its left (south to
// north on lines running east), and distances along the lines are measured
// from the survey's first receiver, so that one distance names one place on
// every line, as a station number does.
//
//   ReceiverLines lines = ReceiverLines::find(positions);
//   if (lines.count() > 1) place(lines.lineAt(x, y), lines.along(x, y));
class ReceiverLines
{
public:
    // Lines part where the gap across them is this many spacings or more.
    static constexpr double LineGapSpacings = 2.0;

    // From the receivers' positions; points that are not finite are
    // passed over. One line with fewer than three finite positions.
    static ReceiverLines find(const QVector<QPointF> &positions);

    // A cheap look before find(): receivers standing within a band
    // narrower across their main direction than LineGapSpacings of their
    // average spacing along it stand on one line (a 2-D line, however it
    // was numbered), and find() need not be asked.
    static bool oneBand(const QVector<QPointF> &positions);

    // How many lines; 0 without a finite position.
    int count() const { return int(m_bounds.size()) + (m_known ? 1 : 0); }
    // The line a point lies in (the one whose receivers stand nearest it
    // across the lines), or -1 for a point that is not finite or no lines.
    int lineAt(double x, double y) const;
    // The distance along the lines from the first receiver.
    double along(double x, double y) const;
    // The receivers' usual spacing: the median distance to the nearest.
    double spacing() const { return m_spacing; }

private:
    double across(double x, double y) const;

    bool m_known = false;
    double m_dirX = 1.0, m_dirY = 0.0;
    double m_originX = 0.0, m_originY = 0.0;
    double m_spacing = 0.0;
    // Across-distances halfway between neighbouring lines, ascending.
    QVector<double> m_bounds;
};

// The receiver lines of one shot's spread, found from its receivers'
// positions when first asked and then kept: a shot without stations asks
// for them in its fit and again in its view for reciprocity, and finding
// them is most of what either pays. The records must stay in place while
// it is used; one thread at a time.
//
//   ShotLines lines(records, n);
//   fitter.fit(records, n, settings, &fit, &lines);
//   view.build(records, n, &lines);
class ShotLines
{
public:
    ShotLines(const FbFile::FbRecord *records, int n) : m_records(records), m_n(n) { }
    // The lines of the receivers with a finite position; none (count() 0)
    // when they stand in one band (ReceiverLines::oneBand()).
    const ReceiverLines &lines();

private:
    const FbFile::FbRecord *m_records;
    int m_n;
    bool m_found = false;
    ReceiverLines m_lines;
};

} // namespace FbQc

#endif // FBQC_RECEIVERLINES_H
