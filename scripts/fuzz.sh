#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and fuzzes the FB file core, the
# QC pass, the trace readers, the .sgt import and the edits-list reader for
# ${1:-1000000} executions each, starting from their corpora (fuzz/corpus for
# the first two, fuzz/corpus-traces, fuzz/corpus-sgt and fuzz/corpus-edits).
# New inputs go to a scratch folder; copy the interesting ones
# into fuzz/corpus by hand. FUZZ_SECONDS, when set, bounds each run in time
# as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-1000000}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
bash "$root/scripts/install-deps.sh"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for entry in fbfile_fuzzer:corpus qcpass_fuzzer:corpus tracefile_fuzzer:corpus-traces sgt_fuzzer:corpus-sgt editlist_fuzzer:corpus-edits; do
    target=${entry%%:*}
    corpus=$root/fuzz/${entry#*:}
    echo "fuzz.sh: $target"
    mkdir -p "$work/$target"
    "$build/$target" -runs="$runs" -max_total_time="${FUZZ_SECONDS:-0}" -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$work/$target" "$corpus"
done
