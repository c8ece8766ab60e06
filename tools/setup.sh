#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages. Quick when all is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ googletest                       # native build and tests
    g++-mingw-w64-x86-64-posix mingw-w64-tools             # Windows build
    wine wine64 xvfb xdotool imagemagick x11-utils         # running and seeing Windows programs
    ffmpeg                                                 # native converter, samples, ffprobe
    nasm pkg-config dpkg-dev make                          # building ffmpeg.exe
    zip unzip
    nsis                                                   # the installer
)

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
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
