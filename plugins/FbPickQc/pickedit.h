#ifndef PICKEDIT_H
#define PICKEDIT_H

#include "fblayout.h"

#include <QMap>
#include <QString>
#include <QVector>

// What the user changed of one pick in the QC window, beside what the file
// holds: an edited fb_time, an edited fb_status, or both. A field not
// edited keeps the file's word. The file's own words are kept with the
// edit, for the cell's tool tip, for restoring and for checking, when a
// corrected copy is written, that the file still holds them.
struct PickEdit
{
    float fileTime = 0.0f;
    qint32 fileStatus = 0;
    bool timeEdited = false;
    bool statusEdited = false;
    float time = 0.0f;
    qint32 status = 0;
    // Why, as the edit log says it.
    QString timeReason;
    QString statusReason;

    bool isEmpty() const { return !timeEdited && !statusEdited; }
    // The record's words as the edit leaves them.
    float timeNow() const { return timeEdited ? time : fileTime; }
    qint32 statusNow() const { return statusEdited ? status : fileStatus; }
    // The same edit with every field that equals the file's word (bit for
    // bit) dropped: an edit is only ever a difference from the file.
    PickEdit normalized() const;
    bool operator==(const PickEdit &other) const;
};

// The edits of a file by record number (0-based), sparse: a file of
// millions of picks with a few edits holds a few entries. Implicitly
// shared, so a snapshot for a worker thread costs nothing until the next
// change.
using PickEdits = QMap<qint32, PickEdit>;

namespace PickEditing {

// records (firstRecord .. firstRecord + size - 1 of the file) as edits
// leaves them.
void apply(const PickEdits &edits, QVector<FbRecord> *records, qint32 firstRecord);

} // namespace PickEditing

#endif // PICKEDIT_H
