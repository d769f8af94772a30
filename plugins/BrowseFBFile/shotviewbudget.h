#ifndef SHOTVIEWBUDGET_H
#define SHOTVIEWBUDGET_H

#include <fbfile/fblayout.h>

#include <QtGlobal>

// Whether the viewer can afford to show a shot. A damaged or zero-filled
// stretch of a file reads as one run of a single ffid, i.e. one "shot" of
// millions of records; building a table for it would exhaust memory and take
// the host, with the user's unsaved work, down with it.
namespace ShotViewBudget {

// What one table row costs: sixteen items and the model's bookkeeping
// (about 3.3 KiB, measured), plus the record and its share of the read
// buffer.
constexpr qint64 BytesPerRow = 3400 + 2 * FbFile::FbLayout::RecordSize;

using FbFile::FbLayout::MaxRecordsPerRead;

// Memory needed to show a shot of records records.
constexpr qint64 estimatedBytes(qint64 records)
{
    return records <= 0 ? 0 : records * BytesPerRow;
}

// Physical memory of the machine in bytes (0 when unknown).
qint64 physicalMemory();

// What one shot may take: a quarter of the physical memory, so that the
// host and everything else keep the rest, and never less than 512 MiB
// (about 150,000 picks). The same 512 MiB when the memory is unknown.
qint64 budgetBytes(qint64 physical = physicalMemory());

// Whether a shot of records records can be shown within budget.
bool fits(qint64 records, qint64 budget = budgetBytes());

} // namespace ShotViewBudget

#endif // SHOTVIEWBUDGET_H
