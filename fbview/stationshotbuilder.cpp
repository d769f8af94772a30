#include <fbview/stationshotbuilder.h>

#include <fbqc/pickqc.h>
#include <fbqc/shotfit.h>
#include <fbfile/shotrecords.h>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

namespace {

// Records read at once: a few MB, so that a run of short shots costs a few
// reads rather than one per shot.
constexpr qint64 BlockRecords = 1 << 16;

qint64 recordsOf(const ShotIndexEntry &entry)
{
    return qint64(entry.lastRecord) - entry.firstRecord + 1;
}

} // namespace

StationShotBuilder::StationShotBuilder(QObject *parent)
    : QObject(parent), m_job(LatestJob::Serial, nullptr, LatestJob::Wait)
{ }

// m_job waits for the build under way as it is destroyed.
StationShotBuilder::~StationShotBuilder() = default;

void StationShotBuilder::setSource(const QString &fileName, const QVector<ShotIndexEntry> &index,
                                   const StationAxis &axis, const FbQc::Settings &settings)
{
    m_source.fileName = fileName;
    m_source.index = index;
    m_source.axis = axis;
    m_source.settings = settings;
    // Whatever was asked of the old source is no longer wanted.
    m_job.cancel();
}

void StationShotBuilder::request(int first, int last)
{
    const Source source = m_source;
    last = qMin(last, first + MaxShots - 1);
    m_job.run<std::shared_ptr<const StationShotCells>>(
        [source, first, last](const LatestJob::Ticket &ticket) {
            return std::make_shared<const StationShotCells>(
                build(source.fileName, source.index, source.axis, source.settings, first, last, ticket.progress()));
        },
        [this](std::shared_ptr<const StationShotCells> cells) { emit ready(std::move(cells)); });
}

StationShotCells StationShotBuilder::build(const QString &fileName, const QVector<ShotIndexEntry> &index,
                                           const StationAxis &axis, const FbQc::Settings &settings, int first, int last,
                                           const Progress &progress)
{
    StationShotCells cells;
    first = qMax(0, first);
    last = qMin(last, index.size() - 1);
    cells.firstShot = first;
    cells.lastShot = first - 1;
    cells.rowStart.append(0);
    for (int s = first; s <= last;) {
        // A block of shots that follow one another in the file.
        int e = s;
        qint64 total = recordsOf(index.at(s));
        while (e < last && index.at(e + 1).firstRecord == index.at(e).lastRecord + 1 &&
               total + recordsOf(index.at(e + 1)) <= BlockRecords)
            total += recordsOf(index.at(++e));
        const QVector<FbRecord> block = readShotRecords(fileName, index.at(s).firstRecord, index.at(e).lastRecord);
        int offset = 0;
        for (int shot = s; shot <= e; ++shot) {
            if (!progress.report(shot - first, last - first + 1))
                return StationShotCells();
            const int n = int(qMin<qint64>(recordsOf(index.at(shot)), block.size() - offset));
            if (n > 0) {
                const QVector<FbRecord> records = s == e ? block : block.mid(offset, n);
                const FbQc::ShotFit fit = FbQc::fitShot(records, settings);
                for (int i = 0; i < records.size(); ++i) {
                    const FbQc::PickVerdict &verdict = fit.picks.at(i);
                    const double coordinate = verdict.judged ? axis.pickAt(records.at(i)) : qQNaN();
                    if (qIsFinite(coordinate))
                        cells.cells.append({coordinate, verdict.residual, index.at(shot).firstRecord + i});
                }
                offset += n;
            }
            cells.rowStart.append(cells.cells.size());
            cells.lastShot = shot;
        }
        s = e + 1;
    }
    return cells;
}

} // namespace FbView
