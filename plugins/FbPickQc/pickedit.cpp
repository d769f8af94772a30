#include "pickedit.h"

#include "numbertext.h"

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
    return floatBits(fileTime) == floatBits(o.fileTime) && fileStatus == o.fileStatus && timeEdited == o.timeEdited
        && statusEdited == o.statusEdited && (!timeEdited || floatBits(time) == floatBits(o.time))
        && (!statusEdited || status == o.status) && timeReason == o.timeReason && statusReason == o.statusReason;
}

namespace PickEditing {

void apply(const PickEdits &edits, QVector<FbRecord> *records, qint32 firstRecord)
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

} // namespace PickEditing
