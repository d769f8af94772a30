#!/usr/bin/env bash
# Makes the screenshots of the help pages again: the host's window, the
# browse dialog and the viewer on a generated file, in English (help/images/)
# and in Chinese (help/images/zh_CN/), each on its own virtual X server. The
# host takes them itself (sorv --screenshots), as the headless demo does.
# Needs Xvfb, the Noto CJK fonts and ImageMagick (scripts/install-deps.sh).
#
#     bash scripts/help-screenshots.sh [OUTPUT_DIR]    # default: help/images
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$root/help/images}

cmake --build "$build" --target sorv BrowseFBFile FbPickQc fbtool >/dev/null
# The same small project for every language, at a short path that reads
# well in the viewer: a file of 40 shots whose first shot has a source
# elevation that varies, so the viewer shows a red column, with a late shot
# and a wrong pick for the QC window to find, and its traces, which the QC
# window shows under the picks.
project=${TMPDIR:-/tmp}/line12
rm -rf "$project"
mkdir -p "$project"
trap 'rm -rf "$project"' EXIT
# fbtool counts shots from 1 now and counted from 0 before: ask for the
# first shot either way.
gen=("$build/bin/fbtool" gen "$project/line12.fb" --shots 40 --channels 48 --seed 12 --shift 20:9 --spike 8:30:25
     --traces "$project/line12.sgy" --vary-source)
"${gen[@]}" 0:s_elev >/dev/null 2>&1 || "${gen[@]}" 1:s_elev >/dev/null
cat > "$project/sorvproject.ini" <<INI
[Types]
BrowseFBFile_BrowseFBFileDialog_fastStep=int
BrowseFBFile_BrowseFBFileDialog_fbName=QString
FbPickQc_FbPickQcWindow_tracesPath=QString

[Values]
BrowseFBFile_BrowseFBFileDialog_fastStep=10
BrowseFBFile_BrowseFBFileDialog_fbName=$project/line12.fb
FbPickQc_FbPickQcWindow_tracesPath=$project/line12.sgy
INI

# The host's pictures are named after the windows; the help pages name them
# after the pages that show them.
shoot() {
    local lang=$1 dir=$2 tour
    tour=$(mktemp -d)
    mkdir -p "$dir"
    xvfb-run -a -s "-screen 0 1920x1200x24" \
        "$build/bin/sorv" --project "$project" --lang "$lang" --screenshots "$tour" >/dev/null
    cp "$tour/sorv.png" "$dir/sorv.png"
    cp "$tour/browsefbfiledialog.png" "$dir/w_cover.png"
    cp "$tour/fbtabledialog.png" "$dir/fbtabledialog.png"
    cp "$tour/fbpickqcwindow.png" "$dir/fbpickqc.png"
    # The traces pane alone: where the QC window of 1400 x 900 places it,
    # between the shot and the map.
    convert "$tour/fbpickqcwindow.png" -crop 348x770+519+62 +repage "$dir/fbpickqc-traces.png"
    rm -rf "$tour"
    echo "help-screenshots: $lang in $dir"
}

shoot en_US "$out"
shoot zh_CN "$out/zh_CN"
