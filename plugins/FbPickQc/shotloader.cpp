#include "shotloader.h"

#include <fbqc/latestjob.h>
#include <fbfile/fbcolumns.h>
#include <fbfile/shotrecords.h>

#include <unistd.h>

#include <cmath>

using namespace FbFile;
using namespace FbQc;

namespace {

constexpr qint64 FloorBytes = qint64(512) << 20;

bool readable(qint64 picks, qint64 budget)
{
    return picks <= maxShotRecords() && picks * ShotLoader::BytesPerPick <= budget;
}

} // namespace

ShotLoader::ShotLoader(QObject *parent)
    : QObject(parent), m_shots(new LatestJob(LatestJob::Serial, this)),
      m_partners(new LatestJob(LatestJob::Serial, this))
{ }

ShotLoader::~ShotLoader() = default;

qint64 ShotLoader::physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * qint64(pageSize) : 0;
}

qint64 ShotLoader::budgetBytes(qint64 physical)
{
    return qMax(FloorBytes, physical / 4);
}

LoadedShot ShotLoader::load(const QString &fileName, const ShotIndexEntry &entry, int shot,
                            const FbQc::Settings &settings, const PickEdits &edits, qint64 budget)
{
    LoadedShot loaded;
    loaded.shot = shot;
    loaded.ffid = entry.ffid;
    loaded.picks = qint64(entry.lastRecord) - entry.firstRecord + 1;
    loaded.settings = settings;
    if (!readable(loaded.picks, budget)) {
        loaded.state = LoadedShot::NotRead;
        loaded.table = ShotTableModel::prepare({}, {}, entry.firstRecord);
        return loaded;
    }
    QVector<FbRecord> records = readShotRecords(fileName, entry.firstRecord, entry.lastRecord);
    PickEditing::apply(edits, &records, entry.firstRecord);
    // Shown, drawn and fitted in ms, as the pass judged them.
    FbQc::timesInMilliseconds(records.data(), records.size(), settings.units);
    FbQc::ShotFit fit;
    if (loaded.picks > settings.maxJudgedPicks)
        loaded.state = LoadedShot::NotJudged;
    else
        fit = FbQc::fitShot(records, settings);
    // Evenly through the shot: the map draws a point per pixel, and
    // millions of them would hold the UI thread for a second.
    const int step = (records.size() + MapReceivers - 1) / MapReceivers;
    loaded.receivers.reserve(records.size() / qMax(1, step) + 1);
    for (int i = 0; i < records.size(); i += qMax(1, step))
        loaded.receivers.append(QPointF(records.at(i).group_x, records.at(i).group_y));
    loaded.table = ShotTableModel::prepare(std::move(records), std::move(fit), entry.firstRecord);
    return loaded;
}

void ShotLoader::request(const QString &fileName, const ShotIndexEntry &entry, int shot, const FbQc::Settings &settings,
                         const PickEdits &edits, const FbView::ShotPlot::View &plotView)
{
    m_shots->run<std::shared_ptr<const LoadedShot>>(
        [=](const LatestJob::Ticket &ticket) {
            LoadedShot loaded = load(fileName, entry, shot, settings, edits);
            if (loaded.state == LoadedShot::Judged && !ticket.cancelled())
                loaded.plot = FbView::ShotPlot::build(loaded.table.records, loaded.table.fit, plotView);
            return std::make_shared<const LoadedShot>(std::move(loaded));
        },
        [this](std::shared_ptr<const LoadedShot> shot) { emit shotLoaded(std::move(shot)); });
}

void ShotLoader::requestPartner(const QString &fileName, const ShotIndexEntry &entry, int partner,
                                const FbQc::Settings &settings, const PickEdits &edits)
{
    m_partners->run<FbView::ShotPlot::Partner>(
        [=](const LatestJob::Ticket &ticket) {
            const qint64 count = qint64(entry.lastRecord) - entry.firstRecord + 1;
            // A partner is a judged shot; one too large to judge compares with nothing.
            if (count > settings.maxJudgedPicks || !readable(count, budgetBytes()))
                return FbView::ShotPlot::Partner();
            QVector<FbRecord> records = readShotRecords(fileName, entry.firstRecord, entry.lastRecord);
            PickEditing::apply(edits, &records, entry.firstRecord);
            FbQc::timesInMilliseconds(records.data(), records.size(), settings.units);
            if (ticket.cancelled())
                return FbView::ShotPlot::Partner();
            return FbView::ShotPlot::partner(records, FbQc::fitShot(records, settings));
        },
        [this, partner](FbView::ShotPlot::Partner picks) { emit partnerLoaded(partner, picks); });
}

void ShotLoader::cancel()
{
    m_shots->cancel();
    m_partners->cancel();
}

bool ShotLoader::isLoading() const
{
    return m_shots->isRunning();
}
