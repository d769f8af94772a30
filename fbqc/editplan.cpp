#include <fbqc/editplan.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fbpicks.h>
#include <fbfile/numbertext.h>
#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

using namespace FbFile;

namespace FbQc {

namespace {

// Records closer than this are read as one range: reading a few records
// more is cheaper than a seek.
constexpr qint32 ReadGap = 64;

QVector<qint32> sortedUnique(QVector<qint32> records)
{
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

} // namespace

PickEdit PickEdit::normalized() const
{
    PickEdit e = *this;
    if (NumberText::floatBits(e.time) == NumberText::floatBits(e.fileTime))
        e.timeEdited = false;
    if (e.status == e.fileStatus)
        e.statusEdited = false;
    if (!e.timeEdited)
        e.timeReason.clear();
    if (!e.statusEdited)
        e.statusReason.clear();
    return e;
}

bool PickEdit::operator==(const PickEdit &o) const
{
    using NumberText::floatBits;
    return floatBits(fileTime) == floatBits(o.fileTime) && fileStatus == o.fileStatus && timeEdited == o.timeEdited &&
           statusEdited == o.statusEdited && (!timeEdited || floatBits(time) == floatBits(o.time)) &&
           (!statusEdited || status == o.status) && timeReason == o.timeReason && statusReason == o.statusReason;
}

void applyEdits(const PickEdits &edits, QVector<FbRecord> *records, qint32 firstRecord)
{
    if (edits.isEmpty() || records->isEmpty())
        return;
    const qint64 last = qint64(firstRecord) + records->size() - 1;
    for (auto it = edits.lowerBound(firstRecord); it != edits.cend() && it.key() <= last; ++it) {
        FbRecord &r = (*records)[it.key() - firstRecord];
        if (it->timeEdited)
            r.fb_time = it->time;
        if (it->statusEdited)
            r.fb_status = it->status;
    }
}

QString signedMs(double ms)
{
    char text[NumberText::MaxBytes];
    const QString digits = QString::fromLatin1(text, int(NumberText::writeDouble(ms, text) - text));
    return ms > 0 ? QLatin1Char('+') + digits : digits;
}

EditPlan::EditPlan(const QString &fileName, const QVector<ShotIndexEntry> &index, const PickEdits &edits, int keep)
    : m_fileName(fileName), m_index(index), m_base(edits), m_keep(keep), m_rejectStatus(FbPicks::DefaultRejectStatus)
{ }

bool EditPlan::setRejectStatus(qint32 status)
{
    if (FbPicks::isAccepted(status))
        return false;
    m_rejectStatus = status;
    return true;
}

QString EditPlan::shiftReason(qint32 ffid, double ms)
{
    return QStringLiteral("shift ffid %1 by %2 ms").arg(ffid).arg(signedMs(ms));
}

namespace {

QString outlierText(double residualMs, const QString &threshold)
{
    return QStringLiteral("outlier: residual %1 ms, threshold %2 ms")
        .arg(signedMs(std::round(residualMs * 100.0) / 100.0), threshold);
}

} // namespace

QString EditPlan::outlierReason(double residualMs, double thresholdMs)
{
    return outlierText(residualMs, QcCsv::decimal(thresholdMs, 3));
}

qint32 EditPlan::text(const QString &reason)
{
    const auto it = m_textIndex.constFind(reason);
    if (it != m_textIndex.cend())
        return *it;
    m_texts.append(reason);
    return *m_textIndex.insert(reason, qint32(m_texts.size() - 1));
}

QString EditPlan::reason(int k) const
{
    const Why &why = m_blockWhys.at(k);
    return why.outlier ? outlierText(why.residual, m_texts.at(why.text)) : m_texts.at(why.text);
}

bool EditPlan::fail(const QString &why)
{
    m_error = why;
    return false;
}

template<typename Visit>
bool EditPlan::read(const QVector<qint32> &records, Visit visit)
{
    if (records.isEmpty())
        return true;
    FbBlockReader reader(m_fileName);
    if (!reader.open())
        return fail(tr("Cannot read %1: %2").arg(m_fileName, reader.errorString()));
    if (records.first() < 0 || records.last() >= reader.recordCount())
        return fail(tr("%1 holds no record %2").arg(m_fileName).arg(qint64(records.last()) + 1));
    int k = 0;
    while (k < records.size()) {
        int end = k + 1;
        while (end < records.size() && records.at(end) - records.at(end - 1) <= ReadGap)
            ++end;
        reader.setRange(records.at(k), qint64(records.at(end - 1)) - records.at(k) + 1);
        FbBlockReader::Block block;
        while (k < end && reader.nextBlock(&block)) {
            const qint64 past = block.firstRecord + block.records;
            for (; k < end && records.at(k) < past; ++k)
                visit(records.at(k), FbLayout::decodeRecord(block.record(records.at(k) - block.firstRecord)));
        }
        if (k < end)
            return fail(tr("Cannot read %1: it ended before record %2").arg(m_fileName).arg(qint64(records.at(k)) + 1));
    }
    if (!reader.unchanged())
        return fail(tr("%1 changed while it was read").arg(m_fileName));
    return true;
}

PickEdit EditPlan::current(qint32 record, const FbRecord &file) const
{
    const auto changed = m_changeOf.constFind(record);
    if (changed != m_changeOf.cend())
        return m_changes.at(*changed).after;
    const auto edited = m_base.constFind(record);
    if (edited != m_base.cend())
        return *edited;
    PickEdit e;
    e.fileTime = file.fb_time;
    e.fileStatus = file.fb_status;
    return e;
}

void EditPlan::change(qint32 record, const FbRecord &file, const PickEdit &after)
{
    const auto at = m_changeOf.constFind(record);
    if (at != m_changeOf.cend()) {
        m_changes[*at].after = after.normalized();
        return;
    }
    PickChange c;
    c.record = record;
    c.before = current(record, file);
    c.after = after.normalized();
    c.ffid = file.ffid;
    c.channel = file.channel;
    m_changeOf.insert(record, m_changes.size());
    m_changes.append(c);
}

EditPlan::Step &EditPlan::listedStep()
{
    if (m_steps.isEmpty() || m_steps.last().type != Step::Listed)
        m_steps.append(Step{Step::Listed, m_words.size(), m_words.size()});
    return m_steps.last();
}

void EditPlan::word(const FbEdit &edit, const Why &why)
{
    if (!(m_keep & Words))
        return;
    Step &step = listedStep();
    m_words.append(edit);
    m_whys.append(why);
    step.end = m_words.size();
}

void EditPlan::addWord(const FbEdit &edit, const QString &reason)
{
    if (!(m_keep & Words))
        return;
    // A list's own reasons, each its own text (a log given back may hold
    // millions of them, all different).
    m_texts.append(reason);
    word(edit, Why{0.0f, qint32(m_texts.size() - 1), false});
}

bool EditPlan::reject(const QVector<qint32> &records, const QString &reason)
{
    const QVector<qint32> sorted = sortedUnique(records);
    const Why why{0.0f, (m_keep & Words) ? text(reason) : 0, false};
    if (!(m_keep & Picks)) {
        for (qint32 record : sorted)
            word(FbEdit::status(record, m_rejectStatus), why);
        return true;
    }
    return read(sorted, [&](qint32 record, const FbRecord &file) {
        PickEdit e = current(record, file);
        if (!FbPicks::isAccepted(e.statusNow()))
            return;
        e.statusEdited = true;
        e.status = m_rejectStatus;
        e.statusReason = reason;
        change(record, file, e);
        word(FbEdit::status(record, m_rejectStatus), why);
    });
}

bool EditPlan::restore(const QVector<qint32> &records, const QString &reason)
{
    const Why why{0.0f, (m_keep & Words) ? text(reason) : 0, false};
    return read(sortedUnique(records), [&](qint32 record, const FbRecord &file) {
        PickEdit e = current(record, file);
        if (FbPicks::isAccepted(e.statusNow()))
            return;
        // The file's own status when it was in use, else a pick in use.
        e.status = FbPicks::isAccepted(e.fileStatus) ? e.fileStatus : RestoredStatus;
        e.statusEdited = true;
        e.statusReason = reason;
        change(record, file, e);
        word(FbEdit::status(record, e.status), why);
    });
}

bool EditPlan::retime(qint32 record, float ms, const QString &reason)
{
    return retime(QVector<QPair<qint32, float>>{{record, ms}}, reason);
}

bool EditPlan::retime(const QVector<QPair<qint32, float>> &times, const QString &reason)
{
    QHash<qint32, float> last;
    last.reserve(times.size());
    QVector<qint32> records;
    records.reserve(times.size());
    for (const auto &t : times) {
        last.insert(t.first, t.second);
        records.append(t.first);
    }
    const Why why{0.0f, (m_keep & Words) ? text(reason) : 0, false};
    return read(sortedUnique(records), [&](qint32 record, const FbRecord &file) {
        const float ms = last.value(record);
        PickEdit e = current(record, file);
        e.timeEdited = true;
        e.time = ms;
        e.timeReason = reason;
        change(record, file, e);
        word(FbEdit::time(record, ms), why);
    });
}

bool EditPlan::shiftShot(int shot, double ms, const QString &reason)
{
    if (shot < 0 || shot >= m_index.size())
        return fail(tr("%1 holds no shot %2").arg(m_fileName).arg(qint64(shot) + 1));
    const ShotIndexEntry &e = m_index.at(shot);
    const double delta = ms * m_storedPerMs;
    if (m_keep == Words) {
        Step step{Step::Shift, e.firstRecord, e.lastRecord + 1};
        step.delta = delta;
        step.text = text(reason);
        m_steps.append(step);
        return true;
    }
    QVector<qint32> records;
    records.reserve(e.lastRecord - e.firstRecord + 1);
    for (qint32 r = e.firstRecord; r <= e.lastRecord; ++r)
        records.append(r);
    const Why why{0.0f, (m_keep & Words) ? text(reason) : 0, false};
    return read(records, [&](qint32 record, const FbRecord &file) {
        PickEdit now = current(record, file);
        FbRecord r = file;
        r.fb_time = now.timeNow();
        // A trace nobody picked stays unpicked.
        if (!std::isfinite(r.fb_time) || FbPicks::isUnpicked(r)) {
            ++m_keptTimes;
            return;
        }
        const float time = float(double(r.fb_time) + delta);
        now.timeEdited = true;
        now.time = time;
        now.timeReason = reason;
        change(record, file, now);
        word(FbEdit::time(record, time), why);
    });
}

bool EditPlan::fixTiming(const Report &report)
{
    FindingList::Reader late(report.findings(Kind::TimingError));
    while (const Finding *f = late.next()) {
        // Back by the delay as the report shows it, to the hundredth.
        const double ms = -std::round(double(f->value) * 100.0) / 100.0;
        const QString reason = QStringLiteral("timing error of shot %1 (ffid %2): %3 ms")
                                   .arg(qint64(f->shot) + 1)
                                   .arg(report.index().value(f->shot).ffid)
                                   .arg(signedMs(-ms));
        if (!shiftShot(f->shot, ms, reason))
            return false;
    }
    return true;
}

bool EditPlan::rejectOutliers(const QVector<Finding> &outliers, double thresholdMs)
{
    FindingList list;
    list.reserve(outliers.size());
    for (const Finding &f : outliers)
        list.append(f);
    return rejectOutliers(list, thresholdMs);
}

bool EditPlan::rejectOutliers(const FindingList &outliers, double thresholdMs)
{
    if (m_keep == Words) {
        // The report's list itself when it runs in record order, as the
        // pass gives it; a sorted copy otherwise.
        Step step{Step::Outliers, 0, 0};
        step.text = text(QcCsv::decimal(thresholdMs, 3));
        FindingList::Reader reader(outliers);
        bool ordered = true;
        qint32 last = std::numeric_limits<qint32>::min();
        while (const Finding *f = reader.next()) {
            ordered = ordered && f->record >= last;
            last = std::max(last, f->record);
        }
        step.end = last;
        if (ordered) {
            step.list = outliers;
        } else {
            FindingList::Reader again(outliers);
            while (const Finding *f = again.next())
                step.sorted.append({f->record, f->value});
            std::stable_sort(step.sorted.begin(), step.sorted.end(),
                             [](const Outlier &a, const Outlier &b) { return a.record < b.record; });
        }
        m_steps.append(step);
        return true;
    }
    const qint32 threshold = (m_keep & Words) ? text(QcCsv::decimal(thresholdMs, 3)) : 0;
    QHash<qint32, float> residual;
    QVector<qint32> records;
    residual.reserve(int(std::min<qint64>(outliers.size(), std::numeric_limits<int>::max())));
    records.reserve(residual.capacity());
    FindingList::Reader reader(outliers);
    while (const Finding *f = reader.next()) {
        residual.insert(f->record, f->value);
        records.append(f->record);
    }
    return read(sortedUnique(records), [&](qint32 record, const FbRecord &file) {
        PickEdit e = current(record, file);
        if (!FbPicks::isAccepted(e.statusNow()))
            return;
        e.statusEdited = true;
        e.status = m_rejectStatus;
        e.statusReason = outlierReason(residual.value(record), thresholdMs);
        change(record, file, e);
        word(FbEdit::status(record, m_rejectStatus), Why{residual.value(record), threshold, true});
    });
}

bool EditPlan::start(const FbEditWriter &writer, qint64 recordCount, QString *error)
{
    m_keptTimes = 0;
    for (Step &step : m_steps) {
        step.next = 0;
        switch (step.type) {
        case Step::Listed:
            for (int k = step.first; k < step.end; ++k) {
                if (!writer.checkEdit(m_words.at(k), recordCount, error))
                    return false;
            }
            if (step.order.isEmpty()) {
                step.order.resize(step.end - step.first);
                std::iota(step.order.begin(), step.order.end(), step.first);
                std::stable_sort(step.order.begin(), step.order.end(),
                                 [this](int a, int b) { return m_words.at(a).record < m_words.at(b).record; });
            }
            break;
        case Step::Shift:
        case Step::Outliers:
            // Records from the file's own index or QC pass: past its end
            // only when the file is not the one they came from.
            if (step.end > recordCount || (step.type == Step::Outliers && step.end >= recordCount)) {
                *error = tr("%1 holds no record %2").arg(m_fileName).arg(qint64(step.end) + 1);
                return false;
            }
            break;
        }
    }
    return true;
}

void EditPlan::put(const FbEdit &edit, const Why &why, QVector<FbEdit> *edits)
{
    edits->append(edit);
    m_blockWhys.append(why);
    if (edit.field == FbEdit::timeField())
        m_blockTimes[int(edit.record - m_blockFirst)] = NumberText::bitsFloat(edit.bits);
}

void EditPlan::block(qint64 first, qint64 count, const char *records, QVector<FbEdit> *edits)
{
    edits->resize(0);
    m_blockWhys.resize(0);
    m_blockFirst = first;
    const qint64 end = first + count;
    // fb_time as each step leaves it, for the shifts after it.
    m_blockTimes.resize(int(count));
    for (qint64 k = 0; k < count; ++k)
        m_blockTimes[int(k)] = FbLayout::decodeTime(FbLayout::recordAt(records, k));
    for (Step &step : m_steps) {
        switch (step.type) {
        case Step::Listed:
            for (; step.next < step.order.size() && m_words.at(step.order.at(int(step.next))).record < end; ++step.next)
                put(m_words.at(step.order.at(int(step.next))), m_whys.at(step.order.at(int(step.next))), edits);
            break;
        case Step::Shift: {
            const Why why{0.0f, step.text, false};
            for (qint64 record = std::max<qint64>(first, step.first); record < std::min<qint64>(end, step.end);
                 ++record) {
                FbRecord r = FbLayout::decodeRecord(FbLayout::recordAt(records, record - first));
                r.fb_time = m_blockTimes.at(int(record - first));
                // A trace nobody picked stays unpicked.
                if (!std::isfinite(r.fb_time) || FbPicks::isUnpicked(r)) {
                    ++m_keptTimes;
                    continue;
                }
                put(FbEdit::time(qint32(record), float(double(r.fb_time) + step.delta)), why, edits);
            }
            break;
        }
        case Step::Outliers:
            if (step.sorted.isEmpty()) {
                for (; step.next < step.list.size(); ++step.next) {
                    const Finding f = step.list.at(step.next);
                    if (f.record >= end)
                        break;
                    put(FbEdit::status(f.record, m_rejectStatus), Why{f.value, step.text, true}, edits);
                }
            } else {
                for (; step.next < step.sorted.size() && step.sorted.at(int(step.next)).record < end; ++step.next) {
                    const Outlier &o = step.sorted.at(int(step.next));
                    put(FbEdit::status(o.record, m_rejectStatus), Why{o.residual, step.text, true}, edits);
                }
            }
            break;
        }
    }
}

QVector<PickChange> EditPlan::changes() const
{
    QVector<PickChange> real;
    real.reserve(m_changes.size());
    for (const PickChange &c : m_changes) {
        if (!(c.after == c.before))
            real.append(c);
    }
    return real;
}

} // namespace FbQc
