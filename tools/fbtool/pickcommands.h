#ifndef FBTOOL_PICKCOMMANDS_H
#define FBTOOL_PICKCOMMANDS_H

// fbtool pick: first breaks picked from a seismic data set's waveforms into
// a new FB file.

#include <QStringList>

namespace FbTool {

// "fbtool pick --seismic DATA -o OUT.fb [--geometry FB] [--first-sample MS]
// [--threads N]". One record per trace, in the data set's shot order:
// status 0 for a confident pick, 1 for a doubtful one, time 0 (not picked)
// where nothing rises out of the noise, and at offset 0 status 2 as well. Exit 0, or 2 when DATA or FB cannot
// be read, OUT cannot be written or an option is wrong. The picks are the
// same for every number of threads.
int runPick(const QStringList &args);

} // namespace FbTool

#endif // FBTOOL_PICKCOMMANDS_H
