#ifndef PICKEDIT_H
#define PICKEDIT_H

#include <fbqc/editplan.h>

// The QC library's form of an edit of a pick, under the names the window's
// classes use.
using PickEdit = FbQc::PickEdit;
using PickEdits = FbQc::PickEdits;
using PickChange = FbQc::PickChange;

namespace PickEditing {

inline void apply(const PickEdits &edits, QVector<FbFile::FbRecord> *records, qint32 firstRecord)
{
    FbQc::applyEdits(edits, records, firstRecord);
}

} // namespace PickEditing

#endif // PICKEDIT_H
