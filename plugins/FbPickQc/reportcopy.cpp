#include "reportcopy.h"

namespace ReportCopy {

namespace {

PickQc::FindingList emptyLike(const PickQc::FindingList &list)
{
    PickQc::FindingList empty;
    empty.setMemoryBudget(list.memoryBudget());
    return empty;
}

bool append(PickQc::FindingList *list, const PickQc::Finding &f, QString *error)
{
    if (list->append(f))
        return true;
    *error = list->errorString();
    return false;
}

// from into *to, the findings of shots not in judged into *aside when given.
bool copyList(const PickQc::FindingList &from, PickQc::FindingList *to, const std::unordered_set<qint32> &judged,
              PickQc::FindingList *aside, QString *error)
{
    PickQc::FindingList list = emptyLike(from);
    if (aside)
        *aside = emptyLike(from);
    else
        list.reserve(from.size());
    PickQc::FindingList::Reader reader(from);
    while (const PickQc::Finding *f = reader.next()) {
        const bool apart = aside && judged.count(f->shot) == 0;
        if (!append(apart ? aside : &list, *f, error))
            return false;
    }
    *to = std::move(list);
    return true;
}

const int ShotKindCount = int(PickQc::shotKinds().size());

PickQc::FindingList &shotList(PickQc::Report *r, int k)
{
    return k < ShotKindCount ? r->findings(PickQc::shotKinds()[size_t(k)]) : r->outlierCandidates();
}

} // namespace

void copyValues(const PickQc::Report &from, PickQc::Report *to)
{
    to->settings = from.settings;
    to->header = from.header;
    to->fileSize = from.fileSize;
    to->recordCount = from.recordCount;
    to->minOffset = from.minOffset;
    to->maxOffset = from.maxOffset;
    to->index = from.index;
    to->shots = from.shots;
    to->pairs = from.pairs;
    to->repeats = from.repeats;
    to->timing = from.timing;
    to->receivers = from.receivers;
    to->stations = from.stations;
    to->status0 = from.status0;
    to->status1 = from.status1;
    to->statusOther = from.statusOther;
    to->notPicked = from.notPicked;
    to->notJudged = from.notJudged;
    to->setCandidateFloorMs(from.candidateFloorMs());
}

bool copyFindings(const PickQc::FindingList &from, PickQc::FindingList *to, QString *error)
{
    return copyList(from, to, {}, nullptr, error);
}

bool copy(const PickQc::Report &from, PickQc::Report *to, QString *error, const std::unordered_set<qint32> &judged,
          Aside *aside)
{
    copyValues(from, to);
    for (int k = 0; k < PickQc::KindCount; ++k) {
        const PickQc::Kind kind = PickQc::Kind(k);
        PickQc::FindingList *apart = nullptr;
        for (int s = 0; aside && s < ShotKindCount; ++s)
            apart = PickQc::shotKinds()[size_t(s)] == kind ? &aside->lists[size_t(s)] : apart;
        if (!copyList(from.findings(kind), &to->findings(kind), judged, apart, error))
            return false;
    }
    return copyList(from.outlierCandidates(), &to->outlierCandidates(), judged,
                    aside ? &aside->lists[size_t(ShotKindCount)] : nullptr, error);
}

bool setAside(PickQc::Report *report, const std::unordered_set<qint32> &judged, Aside *aside, QString *error)
{
    for (int k = 0; k <= ShotKindCount; ++k) {
        PickQc::FindingList &list = shotList(report, k);
        if (!copyList(PickQc::FindingList(std::move(list)), &list, judged, &aside->lists[size_t(k)], error))
            return false;
    }
    return true;
}

bool putBack(PickQc::Report *to, Aside *aside, QString *error)
{
    for (int k = 0; k <= ShotKindCount; ++k) {
        PickQc::FindingList &judged = shotList(to, k);
        PickQc::FindingList merged = emptyLike(judged);
        // Both in shot order, and no shot in both.
        PickQc::FindingList::Reader a(aside->lists[size_t(k)]), b(judged);
        const PickQc::Finding *x = a.next(), *y = b.next();
        while (x || y) {
            const bool fromAside = x && (!y || x->shot <= y->shot);
            if (!append(&merged, fromAside ? *x : *y, error))
                return false;
            if (fromAside)
                x = a.next();
            else
                y = b.next();
        }
        judged = std::move(merged);
        aside->lists[size_t(k)] = PickQc::FindingList();
    }
    return true;
}

} // namespace ReportCopy
