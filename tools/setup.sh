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
    fonts-noto-cjk locales                                 # Japanese, Chinese, Korean text; locales
    ffmpeg                                                 # native converter, samples, ffprobe
    gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64   # building ffmpeg.exe ...
    nasm meson pkg-config dpkg-dev xz-utils make gcc libc6-dev  # ... and its libraries
    zip unzip
    nsis                                                   # the installer
    osslsigncode openssl                                   # signing a release, and its check
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

# The locales the translated windows are tried in under Wine (LANG=de_DE.UTF-8 and so on).
wanted_locales=(de_DE ru_RU ja_JP)
have_locales=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
missing_locales=()
for l in "${wanted_locales[@]}"; do
    grep -qx "$(tr 'A-Z' 'a-z' <<<"$l").utf8" <<<"$have_locales" || missing_locales+=("$l")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Generating the locales ${missing_locales[*]} needs root." >&2
        exit 1
    fi
    for l in "${missing_locales[@]}"; do
        sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" >>/etc/locale.gen
    done
    locale-gen >/dev/null
fi

"$root/tools/fetch-converter-sources.sh"
