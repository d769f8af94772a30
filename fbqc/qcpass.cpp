#include "qcpass.h"

#include "fbcolumns.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>


namespace PickQc {

namespace {

// The first pass's share of the progress; the second pass has the rest.
constexpr int FirstPassPercent = 80;
// Below this many picks in a block a second thread costs more than it saves.
constexpr size_t MinThreadedPicks = 2048;
// Picks a thread takes at once from a batch of small shots.
constexpr size_t ClaimPicks = 256;
// What a held shot costs per pick beyond its record: its verdict and spread.
constexpr size_t HeldBytesPerPick = 40;
// A batch over this share of the budget for held shots (or over 8 MiB)
// gives a giant shot's room back instead of keeping it.
constexpr size_t BatchShare = 2;

// The source attributes that must not vary within a shot, as the viewer
// checks them (the ffid cannot: it defines the shot).
constexpr int SourceColumns[] = {FbColumns::SElev, FbColumns::SDepth, FbColumns::SourceX,
                                 FbColumns::SourceY, FbColumns::SLine, FbColumns::SStat};

double sourceValue(const FbRecord &r, int column)
{
    switch (column) {
    case FbColumns::SElev: return r.s_elev;
    case FbColumns::SDepth: return r.s_depth;
    case FbColumns::SourceX: return r.source_x;
    case FbColumns::SourceY: return r.source_y;
    case FbColumns::SLine: return r.s_line;
    case FbColumns::SStat: return r.s_stat;
    default: return 0.0;
    }
}

// Whether every record holds the first one's source attributes; a NaN
// differs even from itself, as in the viewer.
bool sourceConstant(const FbRecord *records, int n)
{
    const FbRecord &f = records[0];
    for (int i = 1; i < n; ++i) {
        const FbRecord &r = records[i];
        if (r.s_elev != f.s_elev || r.s_depth != f.s_depth || r.source_x != f.source_x
            || r.source_y != f.source_y || r.s_line != f.s_line || r.s_stat != f.s_stat)
            return false;
    }
    return true;
}

} // namespace

QcPass::QcPass(const QString &fileName, const Settings &settings, const Analyzer::Progress &progress,
               const std::atomic_bool *cancel)
    : m_settings(settings)
    , m_progress(progress)
    , m_cancel(cancel)
    , m_reader(fileName)
    , m_heldSpread([this](qint32 shot) { return heldSpread(shot); })
{
}

bool QcPass::cancelled() const
{
    return m_cancel && m_cancel->load(std::memory_order_relaxed);
}

void QcPass::setProgress(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_percent)
        return;
    m_percent = percent;
    if (m_progress)
        m_progress(percent);
}

bool QcPass::open()
{
    if (!m_reader.open()) {
        m_error = m_reader.errorString();
        return false;
    }
    m_report->header = m_reader.header();
    m_report->recordCount = m_reader.recordCount();
    if (m_report->recordCount == 0) {
        // Callers name the file before the reason, as for the reader's errors.
        m_error = QCoreApplication::translate("PickQc::Analyzer", "the file holds no complete record");
        return false;
    }
    if (m_report->recordCount > std::numeric_limits<qint32>::max()) {
        m_error = QCoreApplication::translate("PickQc::Analyzer",
                                              "the file holds more records than can be numbered");
        return false;
    }
    return true;
}

QcPass::Outcome QcPass::run(Report *report)
{
    m_report = report;
    report->settings = m_settings;
    setProgress(0);
    if (!open())
        return Failed;
    m_reciprocity.reset(&report->shots);
    Outcome outcome = firstPass();
    report->shots.attachIndex(report->index);
    if (outcome == Done)
        outcome = secondPass();
    m_reciprocity.finish(m_settings.reciprocityMs, &report->pairs);
    if (outcome == Cancelled)
        m_error = QCoreApplication::translate("PickQc::Analyzer", "cancelled");
    if (outcome != Done)
        return outcome;
    findRepeatedFfids();
    setProgress(100);
    return Done;
}

QcPass::Outcome QcPass::firstPass()
{
    // Batches take turns: while the worker fits one, this thread finishes
    // the one fitted before (in file order: index, statistics, reciprocity)
    // and reads the next, then shares the rest of the fitting. Finished
    // batches stay held, up to a budget, so that a later shot finds the
    // spreads of its reciprocal partners without reading them again.
    Batch *fitted = spareBatch();
    Batch *fitting = spareBatch();
    Batch *filling = spareBatch();
    m_shotFirst = 0;
    bool ended = false;
    Outcome outcome = fill(fitting, filling, &ended);
    while (outcome == Done && !fitting->shots.empty()) {
        prepareFits(fitting);
        std::thread worker;
        try {
            worker = std::thread(&QcPass::fitShared, this, fitting, &m_workerFitter);
        } catch (const std::system_error &) {
            // No thread to be had: this one fits them all.
        }
        finishBatch(fitted);
        hold(fitted);
        // What the fill leaves of the shot still arriving goes to a fresh batch.
        Batch *spill = spareBatch();
        if (ended)
            filling->shots.clear();
        else
            outcome = fill(filling, spill, &ended);
        fitShared(fitting, &m_fitter);
        if (worker.joinable())
            worker.join();
        fitted = fitting;
        fitting = filling;
        filling = spill;
    }
    if (outcome == Done)
        finishBatch(fitted);
    m_faulter.stop();
    // The second pass reads one batch at a time.
    m_held.clear();
    m_heldBytes = 0;
    m_owned.clear();
    m_spare.clear();
    return outcome;
}

QcPass::Batch *QcPass::spareBatch()
{
    const size_t budget = size_t(qMax<qint64>(0, m_settings.recentBytes));
    while (m_heldBytes > budget && !m_held.empty()) {
        Batch *oldest = m_held.front();
        m_held.pop_front();
        m_heldBytes -= footprint(*oldest);
        m_spare.push_back(oldest);
    }
    Batch *batch = nullptr;
    if (m_spare.empty()) {
        m_owned.push_back(std::make_unique<Batch>());
        batch = m_owned.back().get();
    } else {
        batch = m_spare.back();
        m_spare.pop_back();
    }
    // A batch that held a giant shot gives its room back rather than keep it.
    if (footprint(*batch) > qMax(budget / BatchShare, size_t(8) << 20))
        *batch = Batch();
    batch->records.clear();
    batch->shots.clear();
    return batch;
}

size_t QcPass::footprint(const Batch &batch)
{
    return batch.records.capacity() * (sizeof(FbRecord) + HeldBytesPerPick)
         + batch.fits.size() * (sizeof(ShotFit) + sizeof(SpreadView));
}

void QcPass::hold(Batch *batch)
{
    if (batch->shots.empty()) {
        m_spare.push_back(batch);
        return;
    }
    m_held.push_back(batch);
    m_heldBytes += footprint(*batch);
}

const SpreadView *QcPass::heldSpread(qint32 shot) const
{
    // The batch being finished, then the held ones, newest first: partners
    // are mostly near in file order.
    if (m_settings.recentBytes <= 0)
        return nullptr;
    const Batch *current = m_finishing;
    if (current && shot >= current->firstShot && shot < current->firstShot + qint32(current->shots.size()))
        return &current->views[size_t(shot - current->firstShot)];
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
        const Batch *b = *it;
        if (shot >= b->firstShot + qint32(b->shots.size()))
            return nullptr;
        if (shot >= b->firstShot)
            return &b->views[size_t(shot - b->firstShot)];
    }
    return nullptr;
}

QcPass::Outcome QcPass::fill(Batch *batch, Batch *spill, bool *ended)
{
    // batch starts with the records of the shot still arriving; blocks are
    // read until a shot is complete, and the records after the last
    // complete shot move to spill.
    batch->shots.clear();
    const qint64 total = m_report->recordCount;
    size_t start = 0;
    FbBlockReader::Block block;
    while (batch->shots.empty()) {
        if (cancelled())
            return Cancelled;
        if (!m_reader.nextBlock(&block)) {
            if (!batch->records.empty())
                batch->shots.push_back(BatchShot{m_shotFirst, 0, batch->records.size()});
            *ended = true;
            return Done;
        }
        Records &records = batch->records;
        const size_t old = records.size();
        records.resize(old + size_t(block.records));
        FbLayout::decodeRecords(block.data, block.records, records.data() + old);
        qint32 ffid = records[start].ffid;
        for (size_t k = old; k < records.size(); ++k) {
            if (records[k].ffid == ffid)
                continue;
            batch->shots.push_back(BatchShot{m_shotFirst, start, k - start});
            m_shotFirst += static_cast<qint32>(k - start);
            start = k;
            ffid = records[k].ffid;
        }
        if (block.firstRecord == 0)
            reserveFor(batch->shots.size(), block.records, total);
        setProgress(static_cast<int>((block.firstRecord + block.records) * FirstPassPercent / total));
    }
    spill->records.assign(batch->records.data() + start, batch->records.size() - start);
    batch->records.resize(start);
    return Done;
}

void QcPass::reserveFor(size_t shots, qint64 records, qint64 total)
{
    // The per-shot lists would otherwise grow by copies, which for millions
    // of small shots costs more than the rest of the pass. The first block
    // tells how large shots are; the room is only address space until used.
    const double perRecord = double(shots) / double(records);
    const qint64 expected = qMin<qint64>(total, qint64(perRecord * double(total) * 1.05) + 16);
    m_report->index.reserve(int(expected));
    m_report->shots.reserve(int(expected));
    adviseLargePages(m_report->index.constData(), size_t(expected) * sizeof(ShotIndexEntry));
    const auto sources = m_report->shots.room();
    const auto stations = m_reciprocity.reserve(size_t(expected));
    m_faulter.start({{m_report->index.constData(), sizeof(ShotIndexEntry)},
                     {sources.first, sources.second},
                     {stations.first, stations.second}},
                    size_t(expected));
}

void QcPass::prepareFits(Batch *batch)
{
    const size_t shots = batch->shots.size();
    if (batch->fits.size() < shots) {
        batch->fits.resize(shots);
        batch->views.resize(shots);
    }
    batch->next.store(0);
    // Small shots are taken in runs, so that the two threads do not fight
    // over the counter once per pick.
    batch->claim = std::max<size_t>(1, ClaimPicks * shots / std::max<size_t>(1, batch->records.size()));
}

void QcPass::fitShared(Batch *batch, ShotFitter *fitter)
{
    const size_t shots = batch->shots.size();
    for (;;) {
        const size_t from = batch->next.fetch_add(batch->claim);
        if (from >= shots)
            return;
        for (size_t i = from; i < std::min(shots, from + batch->claim); ++i) {
            const BatchShot &b = batch->shots[i];
            const FbRecord *records = batch->records.data() + b.offset;
            fitter->fit(records, static_cast<int>(b.records), m_settings, &batch->fits[i]);
            batch->views[i].build(records, static_cast<int>(b.records));
        }
    }
}

void QcPass::finishBatch(Batch *batch)
{
    batch->firstShot = m_report->index.size();
    m_finishing = batch;
    for (size_t i = 0; i < batch->shots.size(); ++i) {
        const BatchShot &b = batch->shots[i];
        finishShot(batch->records.data() + b.offset, static_cast<int>(b.records), b.firstRecord, batch->fits[i],
                   batch->views[i]);
    }
    m_finishing = nullptr;
    m_faulter.advance(size_t(m_report->index.size()));
}

QcPass::Outcome QcPass::secondPass()
{
    // The shots to read again, in runs of neighbours read as one range;
    // each block's complete shots are compared on two threads.
    const std::vector<qint32> wanted = m_reciprocity.secondPassShots();
    const QVector<ShotIndexEntry> &index = m_report->index;
    Batch batch;
    for (size_t w = 0; w < wanted.size();) {
        size_t end = w + 1;
        while (end < wanted.size() && wanted[end] == wanted[end - 1] + 1)
            ++end;
        const qint64 first = index[wanted[w]].firstRecord;
        m_reader.setRange(first, qint64(index[wanted[end - 1]].lastRecord) - first + 1);
        size_t current = w;
        batch.records.clear();
        batch.shots.clear();
        size_t shotStart = 0;
        FbBlockReader::Block block;
        while (m_reader.nextBlock(&block)) {
            if (cancelled())
                return Cancelled;
            Records &records = batch.records;
            const size_t old = records.size();
            records.resize(old + size_t(block.records));
            FbLayout::decodeRecords(block.data, block.records, records.data() + old);
            for (qint64 k = 0; k < block.records; ++k) {
                if (block.firstRecord + k < index[wanted[current]].lastRecord)
                    continue;
                const size_t shotEnd = old + size_t(k) + 1;
                BatchShot shot{0, shotStart, shotEnd - shotStart};
                shot.shot = wanted[current];
                batch.shots.push_back(shot);
                shotStart = shotEnd;
                ++current;
            }
            completeBatch(&batch);
            records.dropFront(shotStart);
            shotStart = 0;
            setProgress(FirstPassPercent + static_cast<int>((100 - FirstPassPercent) * current / wanted.size()));
        }
        w = end;
    }
    return Done;
}

void QcPass::completeBatch(Batch *batch)
{
    const size_t shots = batch->shots.size();
    auto completeRange = [this, batch](SpreadView *view, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const BatchShot &b = batch->shots[i];
            m_reciprocity.complete(b.shot, batch->records.data() + b.offset, static_cast<int>(b.records), view);
        }
    };
    // The later half of the picks on a second thread.
    size_t split = shots;
    if (shots >= 2 && batch->records.size() >= MinThreadedPicks) {
        size_t picks = 0;
        for (split = 0; split < shots && picks < batch->records.size() / 2; ++split)
            picks += batch->shots[split].records;
    }
    std::thread worker;
    if (split < shots) {
        try {
            worker = std::thread(completeRange, &m_workerView, split, shots);
        } catch (const std::system_error &) {
            split = shots;
        }
    }
    completeRange(&m_view, 0, split);
    if (worker.joinable())
        worker.join();
    batch->shots.clear();
}

void QcPass::finishShot(const FbRecord *records, int n, qint32 firstRecord, const ShotFit &fit,
                        const SpreadView &view)
{
    const qint32 shot = m_report->index.size();
    m_report->index.append(ShotIndexEntry{records[0].ffid, firstRecord, firstRecord + n - 1});
    ShotSummary summary;
    summary.ffid = records[0].ffid;
    summary.picks = n;
    summary.sourceX = records[0].source_x;
    summary.sourceY = records[0].source_y;
    summary.sLine = records[0].s_line;
    summary.sStat = records[0].s_stat;
    judgeValues(records, n, shot, firstRecord, &summary);
    judgeFit(records, n, shot, firstRecord, fit, &summary);
    if (!sourceConstant(records, n))
        judgeSource(records, n, shot);
    for (int k = m_report->sourceVariations.size() - 1; k >= 0 && m_report->sourceVariations[k].shot == shot; --k)
        summary.varyingColumns |= 1u << m_report->sourceVariations[k].column;
    m_report->shots.append(summary);
    m_reciprocity.addShot(shot, view, m_heldSpread);
}

void QcPass::judgeValues(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, ShotSummary *summary)
{
    Report &report = *m_report;
    for (int i = 0; i < n; ++i) {
        const FbRecord &r = records[i];
        if (r.fb_status == 0)
            ++report.status0;
        else if (r.fb_status == 1)
            ++report.status1;
        else
            ++report.statusOther;
        const bool allFinite = std::isfinite(r.source_x) && std::isfinite(r.source_y) && std::isfinite(r.group_x)
                            && std::isfinite(r.group_y) && std::isfinite(r.fb_time);
        if (allFinite && r.fb_time >= 0.0f)
            continue;
        const std::pair<int, float> values[] = {{FbColumns::FbTime, r.fb_time},
                                                {FbColumns::SourceX, r.source_x},
                                                {FbColumns::SourceY, r.source_y},
                                                {FbColumns::GroupX, r.group_x},
                                                {FbColumns::GroupY, r.group_y}};
        for (const auto &v : values) {
            const bool bad = !std::isfinite(v.second);
            if (bad)
                ++summary->nonFinite;
            if (bad || (v.first == FbColumns::FbTime && v.second < 0.0f))
                report.badValues.append(BadValue{shot, firstRecord + i, v.first, v.second});
        }
    }
}

void QcPass::judgeSource(const FbRecord *records, int n, qint32 shot)
{
    // The reference is the shot's most common value (the earliest of equally
    // common ones), so that one stray record is the one called out.
    std::vector<std::pair<double, int>> values;
    for (int column : SourceColumns) {
        values.clear();
        int nan = 0;
        for (int i = 0; i < n; ++i) {
            const double v = sourceValue(records[i], column);
            if (std::isnan(v))
                ++nan;
            else
                values.emplace_back(v, i);
        }
        std::sort(values.begin(), values.end());
        int most = values.empty() ? 1 : 0;
        for (size_t k = 0; k < values.size();) {
            size_t end = k;
            while (end < values.size() && values[end].first == values[k].first)
                ++end;
            most = std::max(most, static_cast<int>(end - k));
            k = end;
        }
        const int differing = n - most;
        if (differing > 0)
            m_report->sourceVariations.append(SourceVariation{shot, column, differing});
    }
}

void QcPass::judgeFit(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, const ShotFit &fit,
                      ShotSummary *summary)
{
    double sum = 0.0;
    int kept = 0;
    int judged = 0;
    // Only a judged side judges picks: millions of tiny shots skip their verdicts.
    const bool anySide = fit.sides[Negative].judged || fit.sides[Positive].judged;
    for (int i = 0; anySide && i < n; ++i) {
        const PickVerdict &v = fit.picks.at(i);
        if (!v.judged)
            continue;
        ++judged;
        if (!v.outlier) {
            sum += double(v.residual) * v.residual;
            ++kept;
            continue;
        }
        const FbRecord &r = records[i];
        m_report->outliers.append(Outlier{shot, firstRecord + i, r.fb_no, r.channel, r.offset, r.fb_time,
                                          v.model, v.residual});
    }
    summary->outliers = fit.outliers();
    summary->notJudged = n - judged;
    m_report->notJudged += n - judged;
    summary->rmsResidual = kept > 0 ? static_cast<float>(std::sqrt(sum / kept)) : float(NaN);
    for (int side = Negative; side <= Positive; ++side) {
        const SideModel &model = fit.sides[side];
        summary->velocity[side] = model.judged ? static_cast<float>(model.velocity) : float(NaN);
        summary->intercept[side] = model.judged ? static_cast<float>(model.intercept) : float(NaN);
    }
}

void QcPass::findRepeatedFfids()
{
    const QVector<ShotIndexEntry> &index = m_report->index;
    // Ffids usually rise (or fall) shot by shot; then none repeats.
    bool rising = true, falling = true;
    for (int s = 1; s < index.size() && (rising || falling); ++s) {
        rising = rising && index[s - 1].ffid < index[s].ffid;
        falling = falling && index[s - 1].ffid > index[s].ffid;
    }
    if (rising || falling)
        return;
    std::vector<std::pair<qint32, qint32>> byFfid(index.size());
    for (int s = 0; s < index.size(); ++s)
        byFfid[s] = {index[s].ffid, s};
    std::sort(byFfid.begin(), byFfid.end());
    for (size_t k = 0; k < byFfid.size();) {
        size_t end = k;
        while (end < byFfid.size() && byFfid[end].first == byFfid[k].first)
            ++end;
        if (end - k > 1) {
            RepeatedFfid repeated;
            repeated.ffid = byFfid[k].first;
            for (size_t j = k; j < end; ++j)
                repeated.shots.append(byFfid[j].second);
            m_report->repeatedFfids.append(repeated);
        }
        k = end;
    }
    std::sort(m_report->repeatedFfids.begin(), m_report->repeatedFfids.end(),
              [](const RepeatedFfid &a, const RepeatedFfid &b) { return a.shots.first() < b.shots.first(); });
}

} // namespace PickQc
