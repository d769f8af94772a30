#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer
# (LeakSanitizer included) into ${BUILD_DIR:-build-asan} and runs the whole
# test suite there. Leaks inside Qt's and the system's own one-time set-up
# are suppressed by scripts/lsan.supp; nothing of ours is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-asan}
bash "$root/scripts/install-deps.sh"
BUILD_DIR=$build BUILD_TYPE=Debug bash "$root/scripts/build.sh" -DSORV_SANITIZE=ON
export QT_QPA_PLATFORM=offscreen
# Slow unwinding on allocation gives leak reports full stacks, which the
# suppressions need: Qt is built without frame pointers.
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j"$(nproc)"
