#ifndef PICKEDIT_H
#define PICKEDIT_H

#include "editplan.h"

// The QC library's form of an edit of a pick, under the names the window's
// classes use.
using PickEdit = PickQc::PickEdit;
using PickEdits = PickQc::PickEdits;
using PickChange = PickQc::PickChange;

namespace PickEditing {

inline void apply(const PickEdits &edits, QVector<FbRecord> *records, qint32 firstRecord)
{
    PickQc::applyEdits(edits, records, firstRecord);
}

} // namespace PickEditing

#endif // PICKEDIT_H
