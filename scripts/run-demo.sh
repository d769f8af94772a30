#!/usr/bin/env bash
# Installs what is missing, builds, makes a demo project with a generated FB
# file, and starts the host on it. Without a display the host runs under a
# virtual X server (xvfb-run), which is only useful for smoke checks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
project=${DEMO_PROJECT:-$build/demo-project}

bash "$root/scripts/install-deps.sh"
BUILD_DIR=$build bash "$root/scripts/build.sh"

mkdir -p "$project"
fb="$project/demo.fb"
if [ ! -f "$fb" ]; then
    # A few hundred shots with some planted faults for the viewer to show:
    # a varying source value, a NaN coordinate, an ffid that comes back;
    # and for the pick QC, two late picks and a shot with a timing error.
    "$build/bin/fbtool" gen "$fb" --shots 300 --channels 96 --seed 7 \
        --vary-source 13 --nan-coordinate 41 --repeat-ffid 6:251 \
        --spike 20:30:25 --spike 150:70:-18 --shift 200:7
fi

# Point the browse dialog at the demo file, unless the project already
# remembers a file of its own.
ini="$project/sorvproject.ini"
if ! grep -q 'BrowseFBFile_BrowseFBFileDialog_fbName' "$ini" 2>/dev/null; then
    escaped=$(printf '%s' "$fb" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')
    cat > "$ini" <<INI
[Types]
BrowseFBFile_BrowseFBFileDialog_fastStep=int
BrowseFBFile_BrowseFBFileDialog_fbName=QString

[Values]
BrowseFBFile_BrowseFBFileDialog_fastStep=10
BrowseFBFile_BrowseFBFileDialog_fbName="$escaped"
INI
fi

"$build/bin/fbtool" info "$fb"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ "${QT_QPA_PLATFORM:-}" = offscreen ]; then
    exec "$build/bin/sorv" --project "$project"
fi
echo "run-demo: no display; starting the host under xvfb-run (close it with Ctrl+C)"
exec xvfb-run -a "$build/bin/sorv" --project "$project"
