#!/usr/bin/env bash
# Installs the Debian package on this machine, runs what it installed (fbtool,
# the host listing its plug-ins from the system folder), builds the SDK
# sample against it, and removes the package again. Run as root (or with
# sudo available), after scripts/package.sh.
#
#     bash scripts/package-check.sh [sorv_VERSION_amd64.deb]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-}
if [ -z "$deb" ]; then
    deb=$(ls -t "$root"/sorv_*_amd64.deb 2>/dev/null | head -n 1)
fi
[ -n "$deb" ] && [ -f "$deb" ] || { echo "package-check: no sorv_*_amd64.deb; run scripts/package.sh first" >&2; exit 2; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
work=$(mktemp -d)
remove() {
    echo "== apt-get remove -y sorv"
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get remove -y -q sorv
    rm -rf "$work"
}

echo "== dependencies"
# The Chinese interface is unreadable without a CJK font: the package must
# bring one, not only suggest it.
dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -qx ' *fonts-noto-cjk' \
    || { echo "package-check: the package does not depend on fonts-noto-cjk" >&2; exit 1; }

echo "== apt-get install -y $deb"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q "$deb"
trap remove EXIT

echo "== fbtool --version"
/usr/bin/fbtool --version

echo "== fbtool info on a generated file"
/usr/bin/fbtool gen "$work/check.fb" --shots 20 --channels 24 --seed 3
/usr/bin/fbtool info "$work/check.fb"

echo "== sorv --list-plugins"
plugins=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/sorv/plugins
listing=$(env -u DISPLAY -u LANGUAGE LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen /usr/bin/sorv --list-plugins)
echo "$listing"
count=0
for lib in "$plugins"/*.so; do
    grep -q "^loaded	$lib	" <<<"$listing" || { echo "package-check: $lib was not loaded" >&2; exit 1; }
    count=$((count + 1))
done
[ "$count" -ge 1 ] || { echo "package-check: no plug-in in $plugins" >&2; exit 1; }
if grep -q '^failed' <<<"$listing"; then
    echo "package-check: the installed host refused a library" >&2
    exit 1
fi
echo "package-check: $count plug-ins loaded from $plugins"
# The catalogues travel inside the libraries: the Chinese name must show.
env -u DISPLAY -u LC_ALL -u LANGUAGE LANG=zh_CN.UTF-8 QT_QPA_PLATFORM=offscreen /usr/bin/sorv --list-plugins \
    | grep '浏览初至文件' || { echo "package-check: no Chinese plug-in name" >&2; exit 1; }

echo "== help pages and man pages"
for page in index.html w_cover.html fbtabledialog.html fbtool.html zh_CN/index.html; do
    [ -f "/usr/share/sorv/help/$page" ] || { echo "package-check: help page $page missing" >&2; exit 1; }
done
man -w sorv fbtool

echo "== the SDK sample built against the installed package"
cmake -DPREFIX=/usr -DREADME="$root/README.md" \
    -DSAMPLE_SOURCE="$root/tests/sdkconsumer/sample/myplugin.cpp" \
    -DWORK_DIR="$work/sample" -DSAMPLE_GENERATOR="Unix Makefiles" \
    -P "$root/tests/sdkconsumer/buildsample.cmake"
echo "package-check: all passed"
