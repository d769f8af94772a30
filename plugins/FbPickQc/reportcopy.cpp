#include "reportcopy.h"

namespace ReportCopy {

namespace {

bool copyList(const PickQc::FindingList &from, PickQc::FindingList *to, QString *error)
{
    PickQc::FindingList list;
    list.setMemoryBudget(from.memoryBudget());
    PickQc::FindingList::Reader reader(from);
    while (const PickQc::Finding *f = reader.next()) {
        if (!list.append(*f)) {
            *error = list.errorString();
            return false;
        }
    }
    *to = std::move(list);
    return true;
}

} // namespace

bool copy(const PickQc::Report &from, PickQc::Report *to, QString *error)
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
    for (int k = 0; k < PickQc::KindCount; ++k) {
        if (!copyList(from.findings(PickQc::Kind(k)), &to->findings(PickQc::Kind(k)), error))
            return false;
    }
    return copyList(from.outlierCandidates(), &to->outlierCandidates(), error);
}

} // namespace ReportCopy
