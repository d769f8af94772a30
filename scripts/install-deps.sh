#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# skipping those already present. Run as root (or with sudo available).
set -euo pipefail

packages=(
    build-essential cmake
    qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n
    libqwt-qt5-dev libqt5svg5-dev
    libsegyio-dev
    fonts-noto-cjk imagemagick xdotool
    dpkg-dev
    xvfb xauth
    clang libclang-rt-14-dev clang-format
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: everything is installed"
    exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
