#!/usr/bin/env bash
# Builds the QC library, fbtool, the QC window, the trace library and their
# tests with ThreadSanitizer into ${BUILD_DIR:-build-tsan} and runs those
# tests. The QC pass runs on a pool of threads; the window loads on a worker
# thread; the trace library's shots may be read on several threads at once;
# the gather view scales traces on a worker thread; fbtool pick picks shots
# on several threads.
# Qt itself is not instrumented: scripts/tsan.supp names the Qt internals
# whose synchronisation TSan cannot see, each with why, so that a race in
# our own code stands out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-tsan}
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORV_TSAN=ON
tests=(tst_qcpass tst_latestjob tst_qcsession tst_pickqc tst_qccli tst_fbtool tst_fbpickqc tst_traces tst_gather tst_seiscli)
cmake --build "$build" -j"$(nproc)" --target fbtool FbPickQc BrowseFBFile "${tests[@]}"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1 history_size=4"
cd "$build"
pattern=$(IFS='|'; echo "^(${tests[*]})\$")
ctest --output-on-failure -R "$pattern"
