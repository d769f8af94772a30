#!/usr/bin/env bash
# Makes the screenshots of the help pages again: the host's window, the
# browse dialog and the viewer on a generated file, in English (help/images/)
# and in Chinese (help/images/zh_CN/), each on its own virtual X server.
# Needs Xvfb, xdotool, imagemagick and the Noto CJK fonts (scripts/install-deps.sh).
#
#     bash scripts/help-screenshots.sh [OUTPUT_DIR]    # default: help/images
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$root/help/images}

cmake --build "$build" --target sorv BrowseFBFile fbtool >/dev/null
# The same small project for every language, at a short path that reads
# well in the viewer: a file of 40 shots whose first shot has a source
# elevation that varies, so the viewer shows a red column.
project=${TMPDIR:-/tmp}/line12
rm -rf "$project"
mkdir -p "$project"
trap 'rm -rf "$project"' EXIT
# fbtool counts shots from 1 now and counted from 0 before: ask for the
# first shot either way.
gen=("$build/bin/fbtool" gen "$project/line12.fb" --shots 40 --channels 48 --seed 12 --vary-source)
"${gen[@]}" 0:s_elev >/dev/null 2>&1 || "${gen[@]}" 1:s_elev >/dev/null
cat > "$project/sorvproject.ini" <<INI
[Types]
BrowseFBFile_BrowseFBFileDialog_fastStep=int
BrowseFBFile_BrowseFBFileDialog_fbName=QString

[Values]
BrowseFBFile_BrowseFBFileDialog_fastStep=10
BrowseFBFile_BrowseFBFileDialog_fbName=$project/line12.fb
INI

# Waits for a visible window whose title matches the pattern $1, other than
# those listed in $2, and prints its id.
wait_window() {
    local title=$1 except=${2:-} id
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
            case " $except " in *" $id "*) ;; *) echo "$id"; return 0 ;; esac
        done
        sleep 0.1
    done
    echo "help-screenshots: no window '$title'" >&2
    return 1
}

shoot() {
    local lang=$1 dir=$2 title=$3 main_title=$4 display=:$((90 + RANDOM % 400))
    mkdir -p "$dir"
    Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
    local xvfb=$!
    sleep 1
    DISPLAY=$display "$build/bin/sorv" --project "$project" --lang "$lang" >/dev/null 2>&1 &
    local sorv=$!
    (
        export DISPLAY=$display
        main=$(wait_window "$main_title") || exit 1
        sleep 0.5
        import -window "$main" "$dir/sorv.png"
        xdotool windowfocus --sync "$main"
        # The first command of the Plug-ins menu is the plug-in's.
        xdotool key --clearmodifiers alt+p Return
        browse=$(wait_window "^$title\$") || exit 1
        xdotool windowmove "$browse" 0 0
        sleep 0.5
        import -window "$browse" "$dir/w_cover.png"
        # OK is the default button: indexing runs, then the viewer opens.
        xdotool windowfocus --sync "$browse" key Return
        # The progress dialog carries the same title; let it come and go.
        sleep 2
        viewer=$(wait_window "^$title\$" "$browse") || exit 1
        xdotool windowmove "$viewer" 0 0
        sleep 0.8
        import -window "$viewer" "$dir/fbtabledialog.png"
    ) || true
    kill "$sorv" "$xvfb" 2>/dev/null || true
    wait "$sorv" "$xvfb" 2>/dev/null || true
    for page in sorv w_cover fbtabledialog; do
        [ -s "$dir/$page.png" ] || { echo "help-screenshots: $dir/$page.png was not made" >&2; exit 1; }
    done
    echo "help-screenshots: $lang in $dir"
}

shoot en_US "$out" "Browse FB File" " - Sorv\$"
shoot zh_CN "$out/zh_CN" "浏览初至文件" " - Sorv\$"
