#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and fuzzes the FB file core, the
# QC pass and the trace readers for ${1:-1000000} executions each, starting
# from fuzz/corpus (fuzz/corpus-traces for the trace readers). New inputs
# go to a scratch folder; copy the interesting ones
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
for target in fbfile_fuzzer qcpass_fuzzer tracefile_fuzzer; do
    echo "fuzz.sh: $target"
    mkdir -p "$work/$target"
    corpus=$root/fuzz/corpus
    if [ "$target" = tracefile_fuzzer ]; then corpus=$root/fuzz/corpus-traces; fi
    "$build/$target" -runs="$runs" -max_total_time="${FUZZ_SECONDS:-0}" -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$build/$target-" "$work/$target" "$corpus"
done
