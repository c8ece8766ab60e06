#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages, and fetches the
# source packages ffmpeg.exe is built from. Quick when all is there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
    cmake ninja-build g++ googletest                       # native build and tests
    g++-mingw-w64-x86-64-posix mingw-w64-tools             # Windows build
    wine wine64 xvfb xdotool imagemagick x11-utils         # running and seeing Windows programs
    fonts-wine                                             # Tahoma and Marlett (only recommended)
    ffmpeg                                                 # native converter, samples, ffprobe
    gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # building ffmpeg.exe ...
    nasm meson pkg-config dpkg-dev xz-utils make gcc libc6-dev  # ... and its libraries
    zip unzip
    nsis                                                   # the installer
    clang libclang-rt-14-dev                               # fuzz targets (libFuzzer runtime)
)

missing=()
for p in "${packages[@]}"; do
    # Installed, not merely known (a removed package keeps its configuration files).
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q ' installed$' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    if [ "$(id -u)" -ne 0 ]; then
        echo "Installing packages needs root (run as root, or install them by hand)." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$root/tools/fetch-converter-sources.sh"
