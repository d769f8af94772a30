#include "shotviewbudget.h"

#include <unistd.h>

using namespace FbFile;

namespace ShotViewBudget {

namespace {
constexpr qint64 Floor = qint64(512) * 1024 * 1024;
}

qint64 physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return qint64(pages) * qint64(pageSize);
}

qint64 budgetBytes(qint64 physical)
{
    return qMax(Floor, physical / 4);
}

bool fits(qint64 records, qint64 budget)
{
    return records <= MaxRecordsPerRead && estimatedBytes(records) <= budget;
}

} // namespace ShotViewBudget
