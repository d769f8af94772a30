#ifndef REPORTCOPY_H
#define REPORTCOPY_H

#include "pickqc.h"

#include <unordered_set>

// A judged report copied whole, so that edited shots can be judged again on
// a worker thread while the window goes on showing the report as it was:
// every value and every finding (findings kept on disk are read back and
// kept the same way, with the same memory budget). Takes time in
// proportion to the findings, pairs and shots; the source may be read by
// other threads meanwhile (findings are read through their readers).
//
// PickQc::rejudgeShots() replaces an edited shot's own findings (outliers,
// zero-filled runs, varying sources, values not finite) and its outlier
// candidates shot by shot, a rewrite of the whole list for each shot: for
// the outliers of a file in thousands of shots that is hours. So copy()
// can set the other shots' findings of those lists aside, leaving in the
// copy only those of the shots about to be judged again, and putBack()
// merges them in shot order once they are.
//
// setAside() does the same in place, so that many shots can be judged a
// batch at a time, each batch's lists holding only its own findings.
//
// copy(), setAside() and putBack() are false, with *error, when a list of
// findings cannot be kept (a full disk).
//
//   PickQc::Report copy;
//   ReportCopy::Aside aside;
//   if (!ReportCopy::copy(shown.report, &copy, &error, edited, &aside)) ...
//   PickQc::rejudgeShots(&copy, shots, before, after);
//   if (!ReportCopy::putBack(&copy, &aside, &error)) ...
namespace ReportCopy {

// The findings of the shots not judged again: one list per entry of
// PickQc::shotKinds(), then the outlier candidates.
struct Aside
{
    std::vector<PickQc::FindingList> lists = std::vector<PickQc::FindingList>(PickQc::shotKinds().size() + 1);
};

// With aside null, everything is copied; else the findings of ShotKinds
// and the candidates of shots not in `judged` go to *aside.
bool copy(const PickQc::Report &from, PickQc::Report *to, QString *error,
          const std::unordered_set<qint32> &judged = {}, Aside *aside = nullptr);
// Every value of a report but its lists of findings and outlier
// candidates; the large ones are implicitly shared until changed.
void copyValues(const PickQc::Report &from, PickQc::Report *to);
// One list of findings, spilled pages included, with the same budget.
bool copyFindings(const PickQc::FindingList &from, PickQc::FindingList *to, QString *error);
bool setAside(PickQc::Report *report, const std::unordered_set<qint32> &judged, Aside *aside, QString *error);
bool putBack(PickQc::Report *to, Aside *aside, QString *error);

} // namespace ReportCopy

#endif // REPORTCOPY_H
