#include "qcpass.h"

#include "fbcolumns.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace PickQc {

namespace {

// The first pass's share of the progress; the second pass has the rest.
constexpr int FirstPassPercent = 80;

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
    const QFileInfo info(m_fileName);
    if (!info.exists()) {
        m_error = tr("%1 does not exist").arg(m_fileName);
        return false;
    }
    if (!info.isFile()) {
        m_error = tr("%1 is not a regular file").arg(m_fileName);
        return false;
    }
    m_file.setFileName(m_fileName);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_error = tr("cannot open %1: %2").arg(m_fileName, m_file.errorString());
        return false;
    }
    char bytes[FbLayout::HeaderSize] = {};
    const qint64 got = m_file.read(bytes, FbLayout::HeaderSize);
    if (got < 0) {
        m_error = tr("cannot read %1: %2").arg(m_fileName, m_file.errorString());
        return false;
    }
    m_report->header = FbLayout::decodeHeader(bytes, got);
    m_report->recordCount = FbLayout::recordCount(m_file.size());
    if (m_report->recordCount == 0) {
        m_error = tr("%1 holds no complete record").arg(m_fileName);
        return false;
    }
    if (m_report->recordCount > std::numeric_limits<qint32>::max()) {
        m_error = tr("%1 holds more records than can be numbered").arg(m_fileName);
        return false;
    }
    // About a mebibyte of whole records per read, as the index scan does.
    m_blockRecords = std::max<qint64>(1, (qint64(1) << 20) / FbLayout::RecordSize);
    return true;
}

bool QcPass::readRecords(qint64 first, qint64 count)
{
    const qint64 bytes = count * FbLayout::RecordSize;
    if (m_block.size() < bytes)
        m_block.resize(static_cast<int>(bytes));
    if (!m_file.seek(FbLayout::recordPosition(static_cast<qint32>(first)))) {
        std::fill(m_block.data(), m_block.data() + bytes, '\0');
        return true;
    }
    const qint64 got = m_file.read(m_block.data(), bytes);
    if (got < 0) {
        m_error = tr("cannot read %1: %2").arg(m_fileName, m_file.errorString());
        return false;
    }
    // A file that shrank under us reads short: the missing part reads as
    // zeros, as every other reader of the file treats it.
    if (got < bytes)
        std::fill(m_block.data() + got, m_block.data() + bytes, '\0');
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
    const qint64 total = m_report->recordCount;
    m_shot.clear();
    qint32 shotFirst = 0;
    for (qint64 first = 0; first < total; first += m_blockRecords) {
        if (cancelled())
            return Cancelled;
        const qint64 count = std::min(m_blockRecords, total - first);
        if (!readRecords(first, count))
            return Failed;
        const char *p = m_block.constData();
        for (qint64 k = 0; k < count; ++k, p += FbLayout::RecordSize) {
            if (!m_shot.empty() && FbLayout::decodeFfid(p) != m_shot.front().ffid) {
                finishShot(m_shot.data(), static_cast<int>(m_shot.size()), shotFirst);
                m_shot.clear();
                shotFirst = static_cast<qint32>(first + k);
            }
            m_shot.push_back(FbLayout::decodeRecord(p));
        }
        setProgress(static_cast<int>((first + count) * FirstPassPercent / total));
    }
    finishShot(m_shot.data(), static_cast<int>(m_shot.size()), shotFirst);
    return Done;
}

QcPass::Outcome QcPass::secondPass()
{
    const std::vector<qint32> wanted = m_reciprocity.secondPassShots();
    const qint64 total = m_report->recordCount;
    qint64 bufferFirst = 0;
    qint64 bufferCount = 0;
    for (size_t w = 0; w < wanted.size(); ++w) {
        if (cancelled())
            return Cancelled;
        const ShotIndexEntry &entry = m_report->index.at(wanted[w]);
        const qint64 n = qint64(entry.lastRecord) - entry.firstRecord + 1;
        if (entry.firstRecord < bufferFirst || entry.lastRecord >= bufferFirst + bufferCount) {
            bufferFirst = entry.firstRecord;
            bufferCount = std::min(std::max(n, m_blockRecords), total - bufferFirst);
            if (!readRecords(bufferFirst, bufferCount))
                return Failed;
            setProgress(FirstPassPercent + static_cast<int>((100 - FirstPassPercent) * w / wanted.size()));
        }
        m_shot.resize(n);
        const char *p = m_block.constData() + (entry.firstRecord - bufferFirst) * FbLayout::RecordSize;
        for (qint64 k = 0; k < n; ++k, p += FbLayout::RecordSize)
            m_shot[k] = FbLayout::decodeRecord(p);
        m_reciprocity.complete(wanted[w], m_shot.data(), static_cast<int>(n), m_settings.reciprocityMs,
                               &m_report->pairs);
    }
    return Done;
}

void QcPass::finishShot(const FbRecord *records, int n, qint32 firstRecord)
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
    judgeFit(records, n, shot, firstRecord, &summary);
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

void QcPass::judgeFit(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, ShotSummary *summary)
{
    m_fitter.fit(records, n, m_settings, &m_fit);
    double sum = 0.0;
    int kept = 0;
    int judged = 0;
    for (int i = 0; i < n; ++i) {
        const PickVerdict &v = m_fit.picks.at(i);
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
    summary->outliers = m_fit.outliers();
    summary->notJudged = n - judged;
    m_report->notJudged += n - judged;
    summary->rmsResidual = kept > 0 ? static_cast<float>(std::sqrt(sum / kept)) : float(NaN);
    for (int side = Negative; side <= Positive; ++side) {
        const SideModel &model = m_fit.sides[side];
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
