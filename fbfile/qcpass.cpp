#include "qcpass.h"

#include "fbcolumns.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace PickQc {

namespace {

// The first pass's share of the progress; the second pass has the rest.
constexpr int FirstPassPercent = 80;
// Below this many picks in a block a second thread costs more than it saves.
constexpr size_t MinThreadedPicks = 2048;
// This thread's share of a block's fits: finishing a shot (its statistics
// and reciprocal times) costs about a quarter of fitting it, and this
// thread finishes its shots while the other still fits.
constexpr double OwnFitShare = 0.44;

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

// Asks for large pages under a list of millions of shot entries: faulting
// in a gigabyte page by page costs more than the rest of a pass over
// one-record shots. Only a hint; nothing changes where it is not heeded.
void adviseLargePages(const void *data, size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr begin = (quintptr(data) + page - 1) / page * page;
    const quintptr end = (quintptr(data) + bytes) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

QString tr(const char *text)
{
    return QCoreApplication::translate("PickQc::Analyzer", text);
}

} // namespace

QcPass::QcPass(const QString &fileName, const Settings &settings, const Analyzer::Progress &progress,
               const std::atomic_bool *cancel)
    : m_fileName(fileName)
    , m_settings(settings)
    , m_progress(progress)
    , m_cancel(cancel)
    , m_reader(fileName)
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
        m_error = tr("%1 holds no complete record").arg(m_fileName);
        return false;
    }
    if (m_report->recordCount > std::numeric_limits<qint32>::max()) {
        m_error = tr("%1 holds more records than can be numbered").arg(m_fileName);
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
    if (outcome == Done)
        outcome = secondPass();
    m_reciprocity.finish(&report->pairs);
    if (outcome == Cancelled)
        m_error = tr("cancelled");
    if (outcome != Done)
        return outcome;
    findRepeatedFfids();
    setProgress(100);
    return Done;
}

QcPass::Outcome QcPass::firstPass()
{
    // Records are decoded into the batch; each block's complete shots are
    // then judged, the current one carried over to the next block.
    const qint64 total = m_report->recordCount;
    m_batch.clear();
    m_batchShots.clear();
    size_t shotStart = 0;
    qint32 shotFirst = 0;
    FbBlockReader::Block block;
    while (m_reader.nextBlock(&block)) {
        if (cancelled())
            return Cancelled;
        const char *p = block.data;
        for (qint64 k = 0; k < block.records; ++k, p += FbLayout::RecordSize) {
            if (m_batch.size() > shotStart && FbLayout::decodeFfid(p) != m_batch[shotStart].ffid) {
                m_batchShots.push_back(BatchShot{shotFirst, shotStart, m_batch.size() - shotStart});
                shotStart = m_batch.size();
                shotFirst = static_cast<qint32>(block.firstRecord + k);
            }
            m_batch.push_back(FbLayout::decodeRecord(p));
        }
        if (block.firstRecord == 0)
            reserveFor(m_batchShots.size(), block.records, total);
        judgeBatch();
        m_batch.erase(m_batch.begin(), m_batch.begin() + shotStart);
        shotStart = 0;
        setProgress(static_cast<int>((block.firstRecord + block.records) * FirstPassPercent / total));
    }
    m_batchShots.push_back(BatchShot{shotFirst, 0, m_batch.size()});
    judgeBatch();
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
    adviseLargePages(m_report->shots.constData(), size_t(expected) * sizeof(ShotSummary));
}

void QcPass::judgeBatch()
{
    const size_t shots = m_batchShots.size();
    if (m_fits.size() < shots)
        m_fits.resize(shots);
    auto fitRange = [this](ShotFitter *fitter, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const BatchShot &b = m_batchShots[i];
            fitter->fit(m_batch.data() + b.offset, static_cast<int>(b.records), m_settings, &m_fits[i]);
        }
    };
    // The fits are independent and take most of the time: a second thread
    // takes the later picks while this one fits the earlier ones and then
    // finishes their shots (in file order) before waiting for the rest.
    size_t split = shots;
    if (shots >= 2 && m_batch.size() >= MinThreadedPicks) {
        size_t picks = 0;
        const double share = double(m_batch.size()) * OwnFitShare;
        for (split = 0; split < shots && double(picks) < share; ++split)
            picks += m_batchShots[split].records;
    }
    std::thread worker;
    if (split < shots) {
        try {
            worker = std::thread(fitRange, &m_workerFitter, split, shots);
        } catch (const std::system_error &) {
            split = shots; // no thread to be had: this one fits them all
        }
    }
    fitRange(&m_fitter, 0, split);
    auto finishRange = [this](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const BatchShot &b = m_batchShots[i];
            finishShot(m_batch.data() + b.offset, static_cast<int>(b.records), b.firstRecord, m_fits[i]);
        }
    };
    finishRange(0, split);
    if (worker.joinable())
        worker.join();
    finishRange(split, shots);
    m_batchShots.clear();
}

QcPass::Outcome QcPass::secondPass()
{
    // The shots to read again, in runs of neighbours read as one range;
    // each block's complete shots are compared on two threads.
    const std::vector<qint32> wanted = m_reciprocity.secondPassShots();
    const QVector<ShotIndexEntry> &index = m_report->index;
    // At most one pair per entry: room for all at once spares the copies
    // of a growing list of millions.
    m_report->pairs.reserve(int(m_reciprocity.pendingCount()));
    for (size_t w = 0; w < wanted.size();) {
        size_t end = w + 1;
        while (end < wanted.size() && wanted[end] == wanted[end - 1] + 1)
            ++end;
        const qint64 first = index[wanted[w]].firstRecord;
        m_reader.setRange(first, qint64(index[wanted[end - 1]].lastRecord) - first + 1);
        size_t current = w;
        m_batch.clear();
        m_batchShots.clear();
        size_t shotStart = 0;
        FbBlockReader::Block block;
        while (m_reader.nextBlock(&block)) {
            if (cancelled())
                return Cancelled;
            const char *p = block.data;
            for (qint64 k = 0; k < block.records; ++k, p += FbLayout::RecordSize) {
                m_batch.push_back(FbLayout::decodeRecord(p));
                if (block.firstRecord + k < index[wanted[current]].lastRecord)
                    continue;
                BatchShot shot{0, shotStart, m_batch.size() - shotStart};
                shot.shot = wanted[current];
                m_batchShots.push_back(shot);
                shotStart = m_batch.size();
                ++current;
            }
            completeBatch();
            m_batch.erase(m_batch.begin(), m_batch.begin() + shotStart);
            shotStart = 0;
            setProgress(FirstPassPercent + static_cast<int>((100 - FirstPassPercent) * current / wanted.size()));
        }
        w = end;
    }
    return Done;
}

void QcPass::completeBatch()
{
    const size_t shots = m_batchShots.size();
    auto completeRange = [this](SpreadView *view, std::vector<ReciprocalPair> *pairs, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const BatchShot &b = m_batchShots[i];
            m_reciprocity.complete(b.shot, m_batch.data() + b.offset, static_cast<int>(b.records),
                                   m_settings.reciprocityMs, view, pairs);
        }
    };
    // The later half of the picks on a second thread; its pairs follow
    // this thread's, so that they stay in order of the earlier shot.
    size_t split = shots;
    if (shots >= 2 && m_batch.size() >= MinThreadedPicks) {
        size_t picks = 0;
        for (split = 0; split < shots && picks < m_batch.size() / 2; ++split)
            picks += m_batchShots[split].records;
    }
    m_pairs.clear();
    m_workerPairs.clear();
    std::thread worker;
    if (split < shots) {
        try {
            worker = std::thread(completeRange, &m_workerView, &m_workerPairs, split, shots);
        } catch (const std::system_error &) {
            split = shots;
        }
    }
    completeRange(&m_view, &m_pairs, 0, split);
    if (worker.joinable())
        worker.join();
    for (const std::vector<ReciprocalPair> *found : {&m_pairs, &m_workerPairs})
        for (const ReciprocalPair &pair : *found)
            m_report->pairs.append(pair);
    m_batchShots.clear();
}

void QcPass::finishShot(const FbRecord *records, int n, qint32 firstRecord, const ShotFit &fit)
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
    m_reciprocity.addShot(shot, records, n);
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
    for (int i = 0; i < n; ++i) {
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
