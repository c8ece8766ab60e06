#!/usr/bin/env bash
# Builds Kestrova for Windows (with its own ffmpeg.exe) and starts it under Wine.
# Without a display it runs on a virtual one and says how to look at it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/setup.sh
ffmpeg_exe=$(tools/build-ffmpeg.sh | tail -n 1)
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKESTROVA_FFMPEG_EXE="$ffmpeg_exe" >/dev/null
cmake --build build/win -j "$(nproc)" --target Kestrova

# A prefix of its own, kept between runs (the start counter lives in its registry), apart from
# the tests' throw-away one.
export KESTROVA_WINEPREFIX=${KESTROVA_WINEPREFIX:-$root/build/run-wineprefix}
if [ -z "${DISPLAY:-}" ]; then
    # shellcheck source=tools/wine-env.sh
    source tools/wine-env.sh --display
    cat >&2 <<MSG
No display was set, so Kestrova runs on the virtual display $DISPLAY.
To see it, run Kestrova from a desktop session instead, or take a picture of it:
    DISPLAY=$DISPLAY import -window root kestrova.png
Stop it with Ctrl+C.
MSG
else
    # shellcheck source=tools/wine-env.sh
    source tools/wine-env.sh
fi
trap kestrova_wine_stop EXIT
trap "exit 130" INT TERM
wine build/win/bin/Kestrova.exe
