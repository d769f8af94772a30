#ifndef REPORTCOPY_H
#define REPORTCOPY_H

#include "pickqc.h"

// A judged report copied whole, so that edited shots can be judged again on
// a worker thread while the window goes on showing the report as it was:
// every value and every finding (findings kept on disk are read back and
// kept the same way, with the same memory budget). Takes time in
// proportion to the findings, pairs and shots; the source may be read by
// other threads meanwhile (findings are read through their readers). False,
// with *error, when a list of findings cannot be kept (a full disk).
//
//   PickQc::Report copy;
//   if (!ReportCopy::copy(shown.report, &copy, &error)) ...
//   PickQc::rejudgeShots(&copy, shots, before, after);
namespace ReportCopy {

bool copy(const PickQc::Report &from, PickQc::Report *to, QString *error);

} // namespace ReportCopy

#endif // REPORTCOPY_H
