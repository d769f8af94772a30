#ifndef BACKGROUNDJOB_H
#define BACKGROUNDJOB_H

#include "latestjob.h"

// The QC window's name for LatestJob, for the parts that still use it;
// the same job in every respect (it never waits on destruction).
class BackgroundJob : public LatestJob
{
    Q_OBJECT

public:
    using LatestJob::LatestJob;
};

#endif // BACKGROUNDJOB_H
