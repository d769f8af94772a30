#!/usr/bin/env bash
# Builds the libFuzzer target with clang and fuzzes the FB file core for
# ${1:-1000000} executions, starting from fuzz/corpus. New inputs go to a
# scratch folder; copy the interesting ones into fuzz/corpus by hand.
# FUZZ_SECONDS, when set, bounds the run in time as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-1000000}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
bash "$root/scripts/install-deps.sh"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/fbfile_fuzzer" -runs="$runs" -max_total_time="${FUZZ_SECONDS:-0}" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$build/" "$work" "$root/fuzz/corpus"
