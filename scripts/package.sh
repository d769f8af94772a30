#!/usr/bin/env bash
# Builds the Debian package sorv_<version>_amd64.deb with CPack into the
# project folder: the host, the plug-ins, fbtool, the SDK, the help pages,
# the desktop entry with its icons and the man pages, installed under /usr.
# Its dependencies come from the shared libraries (dpkg-shlibdeps).
#
#     bash scripts/package.sh          # build folder: build-package/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PACKAGE_BUILD_DIR:-$root/build-package}

bash "$root/scripts/install-deps.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    "${launcher[@]}"
cmake --build "$build" -j"${JOBS:-$(nproc)}"
rm -f "$build"/sorv_*.deb
(cd "$build" && cpack -G DEB)
cp "$build"/sorv_*.deb "$root/"
ls -l "$root"/sorv_*.deb
