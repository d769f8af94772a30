#!/bin/bash
# False outliers `fbtool qc` reports on clean 3-D patches: 50 generated
# patches (seeds 1-5, 4 and 8 receiver lines of 60, 24 shots) over hills at
# 1,500 and 2,500 m/s, three layers dipping 1.5 degrees, refractors 25%
# slower past the middle and 3 ms station statics; no fault is planted, so
# every outlier is a false one. Prints each patch with any and the total.
#
#   bench/clean-patches.sh [FBTOOL]     (default build/bin/fbtool)
set -u
if [ "${1:-}" = -h ] || [ "${1:-}" = --help ]; then
    sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
fi
fbtool=${1:-$(dirname "$0")/../build/bin/fbtool}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
total=0
for seed in 1 2 3 4 5; do
    for lines in 4 8; do
        for ground in "--elevation-velocity 1500" "--elevation-velocity 2500" \
            "--velocities 700,2000,4000 --crossovers 120,900 --dip 1.5" "--lateral-change 0.25" "--station-statics 3"; do
            # shellcheck disable=SC2086
            if ! "$fbtool" gen "$dir/p.fb" --shots 24 --channels $((lines * 60)) --receiver-lines $lines --seed $seed \
                --noise 0.5 $ground >/dev/null; then
                echo "fbtool gen failed: seed $seed, $lines lines, $ground" >&2
                exit 2
            fi
            n=$("$fbtool" qc "$dir/p.fb" | sed -n 's/^Outliers: \([0-9]*\).*/\1/p')
            [ "${n:-0}" != 0 ] && echo "seed $seed, $lines lines, $ground: $n"
            total=$((total + ${n:-0}))
        done
    done
done
echo "false outliers on 50 clean patches: $total"
