#!/usr/bin/env bash
# Installs what is missing, builds what the demo runs (the host, both
# plug-ins and fbtool; not the tests or benchmarks), makes a demo project
# with a generated FB file and its shot records (demo.sgy), and starts the
# host on it.
#
# Without a display the demo runs headless instead, under a virtual X server
# (or Qt's offscreen platform where there is none): the host opens each
# plug-in's window on the demo file in turn, the pictures of the host, the
# browse dialog, the viewer, the QC window and the help window go to
# ${DEMO_SHOTS:-build/demo-shots}/, their paths are printed, and the script
# ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
project=${DEMO_PROJECT:-$build/demo-project}
shots=${DEMO_SHOTS:-$build/demo-shots}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
# The help pages are copied into the build tree when it is configured, and
# every catalogue is built into its program or plug-in.
cmake --build "$build" -j"$(nproc)" --target sorv BrowseFBFile FbPickQc fbtool

mkdir -p "$project"
fb="$project/demo.fb"
traces="$project/demo.sgy"
if [ ! -f "$fb" ] || [ ! -f "$traces" ]; then
    # A few hundred shots with some planted faults for the viewer to show:
    # a varying source value, a NaN coordinate, an ffid that comes back;
    # and for the pick QC, two late picks and a shot with a timing error.
    # The shot records beside it have their first breaks at the true pick
    # times, so the late picks sit off their onsets; the FB file's bytes
    # are the same with or without them.
    "$build/bin/fbtool" gen "$fb" --shots 300 --channels 96 --seed 7 \
        --vary-source 13 --nan 41 --repeat-ffid 6:251 \
        --spike 20:30:25 --spike 150:70:-18 --shift 200:7 \
        --traces "$traces" --sample-interval 1
fi

# Point the browse dialog at the demo file and the QC window at its shot
# records, unless the project already remembers a file of its own.
ini="$project/sorvproject.ini"
if ! grep -q 'BrowseFBFile_BrowseFBFileDialog_fbName' "$ini" 2>/dev/null; then
    escaped=$(printf '%s' "$fb" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')
    escapedTraces=$(printf '%s' "$traces" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')
    cat > "$ini" <<INI
[Types]
BrowseFBFile_BrowseFBFileDialog_fastStep=int
BrowseFBFile_BrowseFBFileDialog_fbName=QString
FbPickQc_FbPickQcWindow_tracesPath=QString

[Values]
BrowseFBFile_BrowseFBFileDialog_fastStep=10
BrowseFBFile_BrowseFBFileDialog_fbName="$escaped"
FbPickQc_FbPickQcWindow_tracesPath="$escapedTraces"
INI
fi

"$build/bin/fbtool" info "$fb"
"$build/bin/fbtool" seis "$traces" --match "$fb" | head -n 14
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    exec "$build/bin/sorv" --project "$project"
fi

echo "run-demo: no display; taking pictures of the demo instead"
rm -rf "$shots"
sorv=("$build/bin/sorv" --project "$project" --screenshots "$shots")
if command -v xvfb-run >/dev/null && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    xvfb-run -a -s "-screen 0 1280x800x24" "${sorv[@]}"
else
    QT_QPA_PLATFORM=offscreen "${sorv[@]}"
fi
echo "run-demo: pictures in $shots"
