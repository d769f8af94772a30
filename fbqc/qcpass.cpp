#include <fbqc/qcpass.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace FbFile;

namespace FbQc {

namespace {

// The first pass's share of the progress; the second pass has the rest.
constexpr int FirstPassPercent = 80;
// Picks a chunk of small shots holds: enough that threads do not fight
// over the next chunk once per pick.
constexpr size_t ClaimPicks = 256;
// What a held shot costs per pick beyond its record: its verdict and spread.
constexpr size_t HeldBytesPerPick = 40;
// A batch over this share of the budget for held shots (or over 8 MiB)
// gives a giant shot's room back instead of keeping it.
constexpr size_t BatchShare = 2;
// Every shard of receivers looks at every record of a batch: a few are
// enough to spread the work.
constexpr int MaxReceiverShards = 4;
// Shots finished between two looks at the cancel flag.
constexpr size_t CancelEvery = 4096;

int threadsFor(const Settings &settings)
{
    return settings.threads > 0 ? settings.threads : std::max(1, QThread::idealThreadCount());
}

} // namespace

QcPass::QcPass(const QString &fileName, const Settings &settings, const Progress &progress)
    : m_settings(settings), m_progress(progress), m_reader(fileName),
      m_heldSpread([this](qint32 shot) { return heldSpread(shot); }),
      m_receivers(std::min(threadsFor(settings), MaxReceiverShards)),
      m_stations(std::min(threadsFor(settings), MaxReceiverShards)), m_statics(1)
{ }

bool QcPass::cancelRequested() const
{
    return m_progress.cancelled();
}

void QcPass::setProgress(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_percent)
        return;
    m_percent = percent;
    m_progress.reportPercent(percent);
}

bool QcPass::open()
{
    if (!m_reader.open()) {
        m_error = m_reader.errorString();
        return false;
    }
    m_report->header = m_reader.header();
    m_report->fileSize = m_reader.fileSize();
    m_report->recordCount = m_reader.recordCount();
    if (m_report->recordCount == 0 && m_settings.judgePicks) {
        // Callers name the file before the reason, as for the reader's errors.
        m_error = QCoreApplication::translate("FbQc::Analyzer", "the file holds no complete record");
        return false;
    }
    if (m_report->recordCount > std::numeric_limits<qint32>::max()) {
        m_error = QCoreApplication::translate("FbQc::Analyzer", "the file holds more records than can be numbered");
        return false;
    }
    return true;
}

ShotFitter *QcPass::takeFitter()
{
    const std::lock_guard<std::mutex> lock(m_fitterMutex);
    if (m_freeFitters.empty()) {
        m_fitters.push_back(std::make_unique<ShotFitter>());
        return m_fitters.back().get();
    }
    ShotFitter *fitter = m_freeFitters.back();
    m_freeFitters.pop_back();
    return fitter;
}

void QcPass::giveBack(ShotFitter *fitter)
{
    const std::lock_guard<std::mutex> lock(m_fitterMutex);
    m_freeFitters.push_back(fitter);
}

bool QcPass::run(Report *report)
{
    m_report = report;
    report->settings = m_settings;
    report->setCandidateFloorMs(std::min(m_settings.outlierMs, CandidateFloorMs));
    setProgress(0);
    if (!open())
        return false;
    m_pool = std::make_unique<WorkerPool>(threadsFor(m_settings));
    m_reciprocity.reset(&report->shots());
    bool ok = firstPass();
    report->attachShotIndex();
    if (ok && m_settings.judgePicks)
        ok = secondPass();
    QVector<ReciprocalPair> pairs;
    QVector<RepeatPair> repeats;
    m_reciprocity.finish(&pairs, &repeats);
    report->setPairs(std::move(pairs));
    report->setRepeats(std::move(repeats));
    m_pool.reset();
    if (!ok)
        return false;
    if (m_report->recordCount == 0) {
        // No complete record still makes the one empty shot of the index.
        const char *first = m_reader.firstRecordBytes();
        report->appendIndexEntry(ShotIndexEntry{FbLayout::decodeFfid(first), 0, -1});
        report->appendShot(ShotSummary());
        report->attachShotIndex();
    }
    if (!m_reader.unchanged()) {
        m_error = QCoreApplication::translate("FbQc::Analyzer",
                                              "the file changed while it was read (cut short or rewritten); "
                                              "judge it again once it is complete");
        return false;
    }
    if (m_settings.collectReceivers) {
        report->setReceivers(m_receivers.take());
        report->setStations(m_stations.take());
    }
    if (m_settings.judgePicks)
        report->setReceiverStatics(m_statics.take());
    for (const FileCheckEntry &check : fileChecks())
        check.check(report);
    for (int k = 0; k <= KindCount; ++k) {
        const FindingList &list = k < KindCount ? report->findings(Kind(k)) : report->outlierCandidates();
        if (!list.ok()) {
            m_error = list.errorString();
            return false;
        }
    }
    setProgress(100);
    return true;
}

bool QcPass::firstPass()
{
    // Batches take turns: while the pool checks one, this thread reads the
    // next and then finishes the one checked before it (in file order:
    // index, statistics, reciprocity). Finished batches stay held, up to a
    // budget, so that a later shot finds the spreads of its reciprocal
    // partners without reading them again.
    m_shotFirst = 0;
    m_nextShot = 0;
    m_report->minOffset = std::numeric_limits<qint32>::max();
    m_report->maxOffset = std::numeric_limits<qint32>::min();
    Batch *checking = spareBatch();
    Batch *filling = spareBatch();
    bool ended = false;
    bool ok = fill(checking, filling, &ended);
    if (ok && !checking->shots.empty())
        startBatch(checking);
    while (ok && !checking->shots.empty()) {
        // What the fill leaves of the shot still arriving goes to a fresh batch.
        Batch *spill = spareBatch();
        if (ended)
            filling->shots.clear();
        else
            ok = fill(filling, spill, &ended);
        if (ok && !filling->shots.empty())
            startBatch(filling);
        m_pool->wait(checking->task.get());
        if (checking->receiverTask)
            m_pool->wait(checking->receiverTask.get());
        gatherStations(checking);
        ok = ok && finishBatch(checking);
        if (!ok && !filling->shots.empty()) {
            // Let the pool end what it was given before the batch goes.
            m_pool->wait(filling->task.get());
            if (filling->receiverTask)
                m_pool->wait(filling->receiverTask.get());
        }
        hold(checking);
        checking = filling;
        filling = spill;
    }
    flushZeroRun();
    m_faulter.stop();
    m_receiving = nullptr; // every batch's was waited for above
    if (m_report->recordCount == 0 || m_report->index().isEmpty())
        m_report->minOffset = m_report->maxOffset = 0;
    // The second pass reads one batch at a time.
    m_held.clear();
    m_heldBytes = 0;
    m_owned.clear();
    m_spare.clear();
    return ok;
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
    return batch.records.capacity() * (sizeof(FbRecord) + HeldBytesPerPick) + batch.work.size() * sizeof(ShotWork);
}

void QcPass::hold(Batch *batch)
{
    if (batch->shots.empty() || !m_settings.judgePicks) {
        m_spare.push_back(batch);
        return;
    }
    m_held.push_back(batch);
    m_heldBytes += footprint(*batch);
}

const SpreadView *QcPass::heldSpread(qint32 shot) const
{
    // The held batches, newest first: partners are mostly near in file
    // order. (The batch being finished is the newest held one.)
    if (m_settings.recentBytes <= 0)
        return nullptr;
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
        const Batch *b = *it;
        if (b->shots.empty() || shot > b->shots.back().shot)
            return nullptr;
        if (shot < b->shots.front().shot)
            continue;
        const auto at = std::lower_bound(b->shots.begin(), b->shots.end(), shot,
                                         [](const BatchShot &s, qint32 k) { return s.shot < k; });
        if (at == b->shots.end() || at->shot != shot || at->part)
            return nullptr;
        const ShotWork &w = b->work[size_t(at - b->shots.begin())];
        return w.viewBuilt ? &w.view : nullptr;
    }
    return nullptr;
}

void QcPass::cutShot(Batch *batch, size_t start, size_t end, qint32 firstRecord)
{
    BatchShot shot{m_nextShot, firstRecord, start, end - start};
    // A shot too large to judge goes in parts, even when it is all here.
    if (m_giant || qint64(end - start) > m_settings.maxJudgedPicks) {
        shot.part = true;
        shot.last = false;
    }
    batch->shots.push_back(shot);
}

bool QcPass::fill(Batch *batch, Batch *spill, bool *ended)
{
    // batch starts with the records of the shot still arriving; blocks are
    // read until a shot (or a part of a giant one) is complete, and the
    // records after it move to spill.
    batch->shots.clear();
    const qint64 total = m_report->recordCount;
    const size_t giant = size_t(qMax<qint64>(1, m_settings.maxJudgedPicks));
    size_t start = 0;
    FbBlockReader::Block block;
    while (batch->shots.empty()) {
        if (cancelRequested()) {
            m_wasCancelled = true;
            m_error = QCoreApplication::translate("FbQc::Analyzer", "cancelled");
            return false;
        }
        if (!m_reader.nextBlock(&block)) {
            if (!batch->records.empty() || m_giant) {
                cutShot(batch, 0, batch->records.size(), m_shotFirst);
                batch->shots.back().last = true;
                ++m_nextShot;
                m_giant = false;
            }
            *ended = true;
            return true;
        }
        Records &records = batch->records;
        const size_t old = records.size();
        records.resize(old + size_t(block.records));
        FbLayout::decodeRecords(block.data, block.records, records.data() + old);
        timesInMilliseconds(records.data() + old, block.records, m_settings.units);
        qint32 ffid = records[start].ffid;
        for (size_t k = old; k < records.size(); ++k) {
            if (records[k].ffid == ffid)
                continue;
            cutShot(batch, start, k, m_shotFirst);
            batch->shots.back().last = true;
            ++m_nextShot;
            m_giant = false;
            m_shotFirst += static_cast<qint32>(k - start);
            start = k;
            ffid = records[k].ffid;
        }
        // The shot still arriving has grown past what may be held and
        // judged: from here on it goes in parts, checked record by record.
        if (records.size() > start && (m_giant || records.size() - start > giant)) {
            m_giant = true;
            cutShot(batch, start, records.size(), m_shotFirst);
            m_shotFirst += static_cast<qint32>(records.size() - start);
            start = records.size();
        }
        if (block.firstRecord == 0)
            reserveFor(batch->shots.size(), block.records, total);
        setProgress(static_cast<int>((block.firstRecord + block.records) * FirstPassPercent / total));
    }
    spill->records.assign(batch->records.data() + start, batch->records.size() - start);
    batch->records.resize(start);
    return true;
}

void QcPass::reserveFor(size_t shots, qint64 records, qint64 total)
{
    // The per-shot lists would otherwise grow by copies, which for millions
    // of small shots costs more than the rest of the pass. The first block
    // tells how large shots are; the room is only address space until used.
    const double perRecord = double(std::max<size_t>(shots, 1)) / double(records);
    const qint64 expected = qMin<qint64>(total, qint64(perRecord * double(total) * 1.05) + 16);
    m_report->reserveShots(int(expected));
    adviseLargePages(m_report->index().constData(), size_t(expected) * sizeof(ShotIndexEntry));
    const auto sources = m_report->shots().room();
    std::vector<RoomFaulter::Room> rooms{{m_report->index().constData(), sizeof(ShotIndexEntry)},
                                         {sources.first, sources.second}};
    if (m_settings.judgePicks) {
        const auto stations = m_reciprocity.reserve(size_t(expected));
        rooms.push_back({stations.first, stations.second});
    }
    m_faulter.start(rooms, size_t(expected));
}

void QcPass::startBatch(Batch *batch)
{
    const size_t shots = batch->shots.size();
    if (batch->work.size() < shots)
        batch->work.resize(shots);
    // Small shots are checked in runs, so that threads do not fight over
    // the next one once per pick; the runs depend on the batch alone.
    batch->claim = std::max<size_t>(1, ClaimPicks * shots / std::max<size_t>(1, batch->records.size()));
    const size_t chunks = (shots + batch->claim - 1) / batch->claim;
    if (batch->findings.size() < chunks) {
        batch->findings.resize(chunks);
        batch->candidates.resize(chunks);
    }
    batch->task = std::make_unique<WorkerPool::Task>(chunks, [this, batch](size_t chunk) { checkChunk(batch, chunk); });
    m_pool->post(batch->task.get());
    if (m_settings.collectReceivers && m_receiving) {
        // Each shard of the receiver set takes one batch at a time: the
        // batch before may still be adding to it.
        m_pool->wait(m_receiving);
        m_receiving = nullptr;
    }
    batch->receiverTask.reset();
    if (m_settings.collectReceivers) {
        batch->receiverTask =
            std::make_unique<WorkerPool::Task>(size_t(m_receivers.shards()), [this, batch](size_t shard) {
                m_receivers.add(int(shard), batch->records.data(), batch->records.size());
            });
        m_pool->post(batch->receiverTask.get());
        m_receiving = batch->receiverTask.get();
    }
}

void QcPass::gatherStations(Batch *batch)
{
    if (!m_settings.judgePicks)
        return;
    // Once the batch's shots are judged. The statics in one table: each
    // shot's picks are read once, where shards would each read them all.
    batch->staticsTask = std::make_unique<WorkerPool::Task>(1, [this, batch](size_t) {
        for (size_t i = 0; i < batch->shots.size(); ++i) {
            const ShotWork &w = batch->work[i];
            if (w.fitted)
                m_statics.add(0, w.statics.data(), w.statics.size());
        }
    });
    m_pool->post(batch->staticsTask.get());
    // Each shard adds its receivers' residuals, in record order.
    if (m_settings.collectReceivers) {
        batch->stationTask =
            std::make_unique<WorkerPool::Task>(size_t(m_stations.shards()), [this, batch](size_t shard) {
                for (size_t i = 0; i < batch->shots.size(); ++i) {
                    const BatchShot &b = batch->shots[i];
                    const ShotWork &w = batch->work[i];
                    if (w.fitted)
                        m_stations.add(int(shard), batch->records.data() + b.offset, w.fit.picks.constData(),
                                       int(b.records));
                }
            });
        m_pool->post(batch->stationTask.get());
        m_pool->wait(batch->stationTask.get());
    }
    m_pool->wait(batch->staticsTask.get());
    // A held batch keeps its records for later shots, not these.
    for (size_t i = 0; i < batch->shots.size(); ++i)
        std::vector<ReceiverStatic>().swap(batch->work[i].statics);
}

void QcPass::checkChunk(Batch *batch, size_t chunk)
{
    ShotFitter *fitter = m_settings.judgePicks ? takeFitter() : nullptr;
    Findings &out = batch->findings[chunk];
    Findings &candidates = batch->candidates[chunk];
    out.clear();
    candidates.clear();
    const size_t from = chunk * batch->claim;
    const size_t to = std::min(batch->shots.size(), from + batch->claim);
    for (size_t i = from; i < to; ++i)
        checkShot(batch, i, fitter, &out, &candidates);
    if (fitter)
        giveBack(fitter);
}

void QcPass::checkShot(Batch *batch, size_t i, ShotFitter *fitter, Findings *out, Findings *candidates)
{
    const BatchShot &b = batch->shots[i];
    ShotWork &w = batch->work[i];
    const FbRecord *records = batch->records.data() + b.offset;
    const int n = static_cast<int>(b.records);
    const ShotData data{records, n, b.shot, b.firstRecord, nullptr, !b.part};
    // Found once, for the fit and the view alike.
    ShotLines lines(records, n);
    judgeShot(data, m_settings, m_report->candidateFloorMs(), fitter, &w, out, candidates, &lines);
    w.statics.clear();
    if (w.fitted) {
        w.statics.reserve(size_t(n));
        ReceiverStatics::collect(records, w.fit.picks.constData(), n, 1, &w.statics);
    }
    // Every shot judged takes part in reciprocity, however few its picks.
    w.viewBuilt = false;
    if (fitter && !b.part && n > 0) {
        w.view.build(records, n, &lines);
        w.view.setFit(w.fitted ? &w.fit : nullptr);
        w.viewBuilt = true;
    }
}

bool QcPass::finishBatch(Batch *batch)
{
    // The batch is the newest held one while it is finished, so that a
    // shot finds the spreads of earlier shots of its own batch.
    m_held.push_back(batch);
    size_t chunk = 0, next = 0, nextCandidate = 0;
    bool ok = true;
    for (size_t i = 0; i < batch->shots.size(); ++i) {
        if (i % CancelEvery == 0 && i > 0 && cancelRequested()) {
            ok = false;
            break;
        }
        const BatchShot &b = batch->shots[i];
        if (b.part)
            finishPart(*batch, i);
        else
            finishShot(*batch, i);
        // The shot's findings join the report in file order: a chunk's
        // are in shot order, and a giant shot's own come after its parts'.
        const Findings &found = batch->findings[chunk];
        for (; next < found.size() && found[next].shot <= b.shot; ++next)
            addFinding(found[next]);
        const Findings &candidates = batch->candidates[chunk];
        for (; nextCandidate < candidates.size() && candidates[nextCandidate].shot <= b.shot; ++nextCandidate)
            m_report->addCandidate(candidates[nextCandidate]);
        for (const Finding &f : m_deferred)
            addFinding(f);
        m_deferred.clear();
        if ((i + 1) % batch->claim == 0)
            ++chunk, next = 0, nextCandidate = 0;
    }
    m_held.pop_back();
    // What the batch found has joined the report: a held batch keeps its
    // records for later shots, not a second copy of its findings (every
    // pick of it, under a threshold of 0).
    for (std::vector<Findings> *lists : {&batch->findings, &batch->candidates}) {
        for (Findings &list : *lists) {
            if (list.capacity() > 0)
                Findings().swap(list);
        }
    }
    m_faulter.advance(size_t(m_report->index().size()));
    if (!ok) {
        m_wasCancelled = true;
        m_error = QCoreApplication::translate("FbQc::Analyzer", "cancelled");
    }
    return ok;
}

void QcPass::addFinding(const Finding &f)
{
    // A zero-filled stretch read in parts is one run: runs wait until the
    // next one shows whether it goes on.
    if (f.kind == Kind::ZeroFilled) {
        if (m_zeroRun.kind == Kind::ZeroFilled && m_zeroRun.shot == f.shot &&
            qint64(m_zeroRun.record) + m_zeroRun.count == f.record) {
            m_zeroRun.count += f.count;
            return;
        }
        flushZeroRun();
        m_zeroRun = f;
        return;
    }
    m_report->addFinding(f);
}

void QcPass::flushZeroRun()
{
    if (m_zeroRun.kind == Kind::ZeroFilled)
        m_report->addFinding(m_zeroRun);
    m_zeroRun = Finding();
}

void QcPass::finishShot(const Batch &batch, size_t i)
{
    const BatchShot &b = batch.shots[i];
    const ShotWork &w = batch.work[i];
    Report &r = *m_report;
    r.appendIndexEntry(ShotIndexEntry{w.summary.ffid, b.firstRecord, b.firstRecord + qint32(b.records) - 1});
    r.appendShot(w.summary);
    r.status0 += w.status[0];
    r.status1 += w.status[1];
    r.statusOther += w.status[2];
    r.notPicked += w.notPicked;
    r.notJudged += w.notJudged;
    r.minOffset = std::min(r.minOffset, w.minOffset);
    r.maxOffset = std::max(r.maxOffset, w.maxOffset);
    r.offsets.add(w.offsets);
    if (w.viewBuilt)
        m_reciprocity.addShot(b.shot, w.view, m_heldSpread);
}

void QcPass::finishPart(const Batch &batch, size_t i)
{
    const BatchShot &b = batch.shots[i];
    const ShotWork &w = batch.work[i];
    const FbRecord *records = batch.records.data() + b.offset;
    ShotWork &g = m_giantWork;
    if (m_giantRecords == 0) {
        g = ShotWork();
        g.summary = w.summary;
        g.summary.nonFinite = 0;
        g.minOffset = std::numeric_limits<qint32>::max();
        g.maxOffset = std::numeric_limits<qint32>::min();
        if (b.records > 0)
            m_giantSource.start(records[0]);
    }
    for (int k = 0; k < 3; ++k)
        g.status[k] += w.status[k];
    g.notPicked += w.notPicked;
    g.minOffset = std::min(g.minOffset, w.minOffset);
    g.maxOffset = std::max(g.maxOffset, w.maxOffset);
    g.offsets.add(w.offsets);
    g.summary.nonFinite += w.summary.nonFinite;
    m_giantSource.add(records, int(b.records));
    m_giantRecords += qint64(b.records);
    if (!b.last)
        return;
    // The whole shot is in: it joins the index as one shot.
    Report &r = *m_report;
    const qint32 first = b.firstRecord + qint32(b.records) - qint32(m_giantRecords);
    r.appendIndexEntry(ShotIndexEntry{g.summary.ffid, first, b.firstRecord + qint32(b.records) - 1});
    Findings found;
    m_giantSource.finish(b.shot, first, m_giantRecords, &found);
    ShotSummary s = g.summary;
    s.picks = qint32(std::min<qint64>(m_giantRecords, std::numeric_limits<qint32>::max()));
    s.notJudged = s.picks;
    s.notPicked = qint32(std::min<qint64>(g.notPicked, std::numeric_limits<qint32>::max()));
    for (const Finding &f : found)
        s.varyingColumns |= 1u << f.column;
    r.appendShot(s);
    r.status0 += g.status[0];
    r.status1 += g.status[1];
    r.statusOther += g.status[2];
    r.notPicked += g.notPicked;
    r.notJudged += m_giantRecords;
    r.minOffset = std::min(r.minOffset, g.minOffset);
    r.maxOffset = std::max(r.maxOffset, g.maxOffset);
    r.offsets.add(g.offsets);
    // After the findings of the parts' chunks, which come first in the file.
    m_deferred.insert(m_deferred.end(), found.begin(), found.end());
    if (m_settings.judgePicks) {
        Finding f;
        f.kind = Kind::TooLarge;
        f.shot = b.shot;
        f.record = first;
        f.count = m_giantRecords;
        m_deferred.push_back(f);
    }
    m_giantRecords = 0;
}

bool QcPass::secondPass()
{
    // The shots to read again, in runs of neighbours read as one range;
    // each block's complete shots are compared on the pool.
    const std::vector<qint32> wanted = m_reciprocity.secondPassShots();
    const QVector<ShotIndexEntry> &index = m_report->index();
    Records records;
    std::vector<BatchShot> shots;
    for (size_t w = 0; w < wanted.size();) {
        size_t end = w + 1;
        while (end < wanted.size() && wanted[end] == wanted[end - 1] + 1)
            ++end;
        const qint64 first = index[wanted[w]].firstRecord;
        m_reader.setRange(first, qint64(index[wanted[end - 1]].lastRecord) - first + 1);
        size_t current = w;
        records.clear();
        size_t shotStart = 0;
        FbBlockReader::Block block;
        while (m_reader.nextBlock(&block)) {
            if (cancelRequested()) {
                m_wasCancelled = true;
                m_error = QCoreApplication::translate("FbQc::Analyzer", "cancelled");
                return false;
            }
            const size_t old = records.size();
            records.resize(old + size_t(block.records));
            FbLayout::decodeRecords(block.data, block.records, records.data() + old);
            timesInMilliseconds(records.data() + old, block.records, m_settings.units);
            shots.clear();
            for (qint64 k = 0; k < block.records; ++k) {
                if (block.firstRecord + k < index[wanted[current]].lastRecord)
                    continue;
                const size_t shotEnd = old + size_t(k) + 1;
                shots.push_back(BatchShot{wanted[current], 0, shotStart, shotEnd - shotStart});
                shotStart = shotEnd;
                ++current;
            }
            // Each part completes different shots: no two touch one entry.
            WorkerPool::Task task(shots.size(), [this, &records, &shots](size_t k) {
                const BatchShot &b = shots[k];
                const FbRecord *shotRecords = records.data() + b.offset;
                const int n = static_cast<int>(b.records);
                // The same fit as the first pass made, for the curve's
                // shape: a pair's times do not depend on whether the
                // shot's records were still held.
                ShotFit fit;
                ShotLines lines(shotRecords, n);
                const bool fitted = n >= MinPicksPerSide;
                if (fitted) {
                    ShotFitter *fitter = takeFitter();
                    fitter->fit(shotRecords, n, m_settings, &fit, &lines);
                    giveBack(fitter);
                }
                SpreadView view;
                m_reciprocity.complete(b.shot, shotRecords, n, &view, fitted ? &fit : nullptr, &lines);
            });
            m_pool->post(&task);
            m_pool->wait(&task);
            records.dropFront(shotStart);
            shotStart = 0;
            setProgress(FirstPassPercent + static_cast<int>((100 - FirstPassPercent) * current / wanted.size()));
        }
        w = end;
    }
    return true;
}

} // namespace FbQc
