#include <fbqc/pickqc.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>
#include <fbqc/receiverstatics.h>
#include <fbqc/reciprocity.h>
#include <fbqc/robuststats.h>
#include <fbqc/shotjudgement.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

using namespace FbFile;

// Judging a report again without the pass: for new thresholds, and for
// shots whose picks were edited.
namespace FbQc {

namespace {

// The timing errors, flagged pairs and repeats again, from the compared
// pairs as they now stand.
void judgePairsAgain(Report *r)
{
    for (Kind kind : pairKinds())
        r->clearFindings(kind);
    for (const FileCheckEntry &check : fileChecks()) {
        if (check.basis == Basis::Pairs)
            check.check(r);
    }
}

} // namespace

bool rejudge(Report *r, double outlierMs, double reciprocityMs)
{
    if (outlierMs < r->candidateFloorMs())
        return false;
    if (outlierMs != r->settings.outlierMs) {
        r->settings.outlierMs = outlierMs;
        // Each shot's outliers and rms residual again, from its candidates:
        // the rest of its judged picks lie within the floor.
        struct Tally
        {
            qint32 shot;
            qint32 outliers;
            qint32 kept;
            double squares;
        };
        std::vector<Tally> perShot;
        FindingList outliers;
        FindingList::Reader reader(r->outlierCandidates());
        while (const Finding *f = reader.next()) {
            const bool outlier = std::abs(double(f->value)) > outlierMs;
            const bool counted = std::abs(double(f->value)) <= rmsReachMs(outlierMs);
            if (outlier)
                outliers.append(*f);
            if (perShot.empty() || perShot.back().shot != f->shot)
                perShot.push_back({f->shot, 0, 0, 0.0});
            Tally &t = perShot.back();
            t.outliers += outlier ? 1 : 0;
            t.kept += counted ? 1 : 0;
            t.squares += counted ? double(f->value) * f->value : 0.0;
        }
        r->setFindings(Kind::Outlier, std::move(outliers));
        size_t next = 0;
        for (int shot = 0; shot < r->shots().size(); ++shot) {
            ShotSummary s = r->shots().at(shot);
            const bool candidates = next < perShot.size() && perShot[next].shot == shot;
            if (s.quietPicks == 0 && !candidates)
                continue;
            const Tally t = candidates ? perShot[next++] : Tally{shot, 0, 0, 0.0};
            const qint32 kept = s.quietPicks + t.kept;
            s.outliers = t.outliers;
            s.rmsResidual = kept > 0 ? float(std::sqrt((double(s.quietSquares) + t.squares) / kept)) : float(NaN);
            r->replaceShotSummary(shot, s);
        }
    }
    if (reciprocityMs != r->settings.reciprocityMs) {
        r->settings.reciprocityMs = reciprocityMs;
        judgePairsAgain(r);
    }
    return true;
}

namespace {

void subtract(Report *r, const ShotJudgement &j)
{
    r->status0 -= j.status[0];
    r->status1 -= j.status[1];
    r->statusOther -= j.status[2];
    r->notPicked -= j.notPicked;
    r->notJudged -= j.notJudged;
}

void add(Report *r, const ShotJudgement &j)
{
    r->status0 += j.status[0];
    r->status1 += j.status[1];
    r->statusOther += j.status[2];
    r->notPicked += j.notPicked;
    r->notJudged += j.notJudged;
}

// What a shot as the report holds it added to the file's counts: its
// statuses from its records, the rest from its summary (no fit needed).
ShotJudgement counted(const QVector<FbRecord> &records, const ShotSummary &summary)
{
    ShotJudgement j;
    for (const FbRecord &record : records)
        ++j.status[int(FbColumns::pickClass(record.fb_status))];
    j.notPicked = summary.notPicked;
    j.notJudged = summary.notJudged;
    return j;
}

// Shot's time at another shot's source, or at a point.
double timeAtSource(const SpreadView &view, const ShotSource &s)
{
    return view.timeAt(s.line, s.stat, s.x, s.y);
}

// Judged in ms, as the pass judged them.
RecordsOf inMilliseconds(const Report &r, const RecordsOf &from)
{
    const Units units = r.settings.units;
    return [units, from](qint32 shot) {
        QVector<FbRecord> records = from(shot);
        timesInMilliseconds(records.data(), records.size(), units);
        return records;
    };
}

// A shot small enough to be judged again; a larger one keeps its findings.
bool isJudged(const Report &r, qint32 shot)
{
    const ShotIndexEntry &e = r.index().at(shot);
    return qint64(e.lastRecord) - e.firstRecord + 1 <= r.settings.maxJudgedPicks;
}

// The pairs and repeats of the judged shots, taken again from their
// records as they now stand (after, in ms) and their partners'. Both lists
// are in shot order, a pair's earlier shot first: a shot's spread is held
// from its first pair until the walk passes it, so each is read once.
void measurePairsAgain(Report *r, const std::vector<char> &judged, const RecordsOf &after, const EditedFits *fits)
{
    struct Held
    {
        QVector<FbRecord> records;
        ShotFit fit;
        SpreadView view;
    };
    std::map<qint32, Held> held;
    ShotFitter fitter;
    const auto viewOf = [&](qint32 shot) -> const SpreadView & {
        auto it = held.find(shot);
        if (it == held.end()) {
            it = held.emplace(shot, Held()).first;
            Held &h = it->second;
            h.records = after(shot);
            ShotLines lines(h.records.constData(), h.records.size());
            h.view.build(h.records.constData(), h.records.size(), &lines);
            // The fit the pass reads a pair's times with: an edited shot's
            // was made when it was judged.
            if (const ShotFit *made = fits ? fits->find(shot) : nullptr) {
                h.view.setFit(made);
            } else if (h.records.size() >= MinPicksPerSide) {
                fitter.fit(h.records.constData(), h.records.size(), r->settings, &h.fit, &lines);
                h.view.setFit(&h.fit);
            }
        }
        return it->second.view;
    };
    const auto passed = [&held](qint32 shot) {
        while (!held.empty() && held.begin()->first < shot)
            held.erase(held.begin());
    };
    const auto touched = [&judged](qint32 a, qint32 b) { return judged[size_t(a)] || judged[size_t(b)]; };
    QVector<ReciprocalPair> pairs;
    pairs.reserve(r->pairs().size());
    for (const ReciprocalPair &p : qAsConst(r->pairs())) {
        if (!touched(p.shotA, p.shotB)) {
            pairs.append(p);
            continue;
        }
        passed(std::min(p.shotA, p.shotB));
        const double ab = timeAtSource(viewOf(p.shotA), r->shots().source(p.shotB));
        const double ba = timeAtSource(viewOf(p.shotB), r->shots().source(p.shotA));
        // A time that is gone (a pick rejected or unpicked) ends the pair.
        if (std::isfinite(ab) && std::isfinite(ba))
            pairs.append(ReciprocalPair{p.shotA, p.shotB, float(ab), float(ba)});
    }
    r->setPairs(std::move(pairs));
    held.clear();
    std::vector<int> probes;
    std::vector<double> differences;
    QVector<RepeatPair> repeats;
    for (const RepeatPair &p : qAsConst(r->repeats())) {
        if (!touched(p.shotA, p.shotB)) {
            repeats.append(p);
            continue;
        }
        passed(std::min(p.shotA, p.shotB));
        const SpreadView &a = viewOf(p.shotA), &b = viewOf(p.shotB);
        const ShotSource &source = r->shots().source(p.shotB);
        b.probes(source.x, source.y, 8, &probes);
        differences.clear();
        for (int row : probes) {
            const FbRecord &at = b.record(row);
            const double timeA = a.timeAt(at.g_line, at.g_stat, at.group_x, at.group_y);
            if (std::isfinite(timeA))
                differences.push_back(timeA - at.fb_time);
        }
        if (differences.empty())
            continue;
        const double middle = median(differences);
        repeats.append(RepeatPair{p.shotA, p.shotB, float(middle), qint32(differences.size())});
    }
    r->setRepeats(std::move(repeats));
}

} // namespace

void EditedFits::keep(qint32 shot, ShotFit &&fit)
{
    const qint64 picks = fit.picks.size();
    if (picks > m_room || m_fits.count(shot) > 0)
        return;
    m_room -= picks;
    m_fits.emplace(shot, std::move(fit));
}

const ShotFit *EditedFits::find(qint32 shot) const
{
    const auto it = m_fits.find(shot);
    return it == m_fits.end() ? nullptr : &it->second;
}

bool rejudgeShots(Report *r, const QVector<qint32> &shots, const RecordsOf &fileBefore, const RecordsOf &fileAfter,
                  bool settlePairs, EditedFits *fits)
{
    // Without a holder of the caller's, the fits still serve this call's pairs.
    EditedFits own;
    if (!fits && settlePairs)
        fits = &own;
    if (!r->settings.judgePicks)
        return false;
    const RecordsOf before = inMilliseconds(*r, fileBefore), after = inMilliseconds(*r, fileAfter);
    QVector<qint32> edited = shots;
    std::sort(edited.begin(), edited.end());
    edited.erase(std::unique(edited.begin(), edited.end()), edited.end());
    ShotFitter fitter;
    // What the shots' picks gave the receivers' statics, taken away, and
    // what they give now, added: the old fit is made again, as the pass
    // made it, since a shot's residuals are not kept.
    std::vector<ReceiverStatic> statics;
    ShotFit oldFit;
    for (qint32 shot : qAsConst(edited)) {
        if (shot < 0 || shot >= r->index().size())
            return false;
        if (!isJudged(*r, shot))
            continue; // too large to judge: its findings stay as they were
        const ShotIndexEntry &e = r->index().at(shot);
        const QVector<FbRecord> old = before(shot), current = after(shot);
        if (old.size() != e.lastRecord - e.firstRecord + 1 || current.size() != old.size())
            return false;
        ShotJudgement is;
        Findings findings, candidates;
        ShotData anew{nullptr, current.size(), shot, e.firstRecord, nullptr, true};
        anew.records = current.constData();
        judgeShot(anew, r->settings, r->candidateFloorMs(), &fitter, &is, &findings, &candidates);
        if (old.size() >= MinPicksPerSide) {
            fitter.fit(old.constData(), old.size(), r->settings, &oldFit);
            ReceiverStatics::collect(old.constData(), oldFit.picks.constData(), old.size(), -1, &statics);
        }
        if (is.fitted)
            ReceiverStatics::collect(current.constData(), is.fit.picks.constData(), current.size(), 1, &statics);
        subtract(r, counted(old, r->shots().at(shot)));
        add(r, is);
        ShotSummary summary = is.summary;
        r->replaceShotSummary(shot, summary);
        QString error;
        if (!r->replaceShot(shot, std::vector<Finding>(findings.begin(), findings.end()),
                            std::vector<Finding>(candidates.begin(), candidates.end()), &error))
            return false;
        if (fits && is.fitted)
            fits->keep(shot, std::move(is.fit));
    }
    QVector<ReceiverStatic> sums = r->receiverStatics();
    ReceiverStatics::apply(&sums, std::move(statics));
    r->setReceiverStatics(std::move(sums));
    return !settlePairs || settleShotPairs(r, edited, fileAfter, fits);
}

bool settleShotPairs(Report *r, const QVector<qint32> &shots, const RecordsOf &after, const EditedFits *fits)
{
    std::vector<char> judged(size_t(r->index().size()), 0);
    for (qint32 shot : shots) {
        if (shot < 0 || shot >= r->index().size())
            return false;
        judged[size_t(shot)] = isJudged(*r, shot) ? 1 : 0;
    }
    measurePairsAgain(r, judged, inMilliseconds(*r, after), fits);
    judgePairsAgain(r);
    return true;
}

} // namespace FbQc
