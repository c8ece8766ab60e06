#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them natively, then under Wine when a Windows build with
# ffmpeg.exe is there.
#   tools/bench.sh [rounds]
# Build folders: $KESTROVA_BENCH_NATIVE (build/bench-native), $KESTROVA_BENCH_WIN (build/bench-win).
# The Windows runs take ffmpeg.exe from $KESTROVA_BENCH_FFMPEG_EXE (build/win/bin/ffmpeg.exe).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=${1:-5}
native=${KESTROVA_BENCH_NATIVE:-$root/build/bench-native}
win=${KESTROVA_BENCH_WIN:-$root/build/bench-win}
ffmpeg_exe=${KESTROVA_BENCH_FFMPEG_EXE:-$root/build/win/bin/ffmpeg.exe}
targets=(parser_bench runner_bench publish_bench kestrova_samples)
native_targets=("${targets[@]}" timeleft_bench)

cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target "${native_targets[@]}" >/dev/null
echo "== native: parser_bench"
"$native/bin/parser_bench" "$rounds"
echo
echo "== native: runner_bench"
"$native/bin/runner_bench" --rounds "$rounds"
echo
echo "== native: publish_bench"
"$native/bin/publish_bench" --rounds "$rounds"
echo
echo "== native: timeleft_bench"
"$native/bin/timeleft_bench"

if [ ! -f "$ffmpeg_exe" ]; then
    echo
    echo "(no $ffmpeg_exe: skipping the runs under Wine)"
    exit 0
fi

cmake -S "$root" -B "$win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$win" --target "${targets[@]}" Kestrova fake_ffmpeg silence_bench >/dev/null
# runner_bench looks for the converter beside itself.
cmp -s "$ffmpeg_exe" "$win/bin/ffmpeg.exe" || cp "$ffmpeg_exe" "$win/bin/ffmpeg.exe"

# A prefix of its own: stopping its wineserver at the end leaves other Wine programs alone.
export KESTROVA_WINEPREFIX=${KESTROVA_WINEPREFIX:-$root/build/bench-wineprefix}
# shellcheck source=tools/wine-env.sh
source "$root/tools/wine-env.sh" --display
trap kestrova_wine_stop EXIT
echo
echo "== Wine: parser_bench"
wine "$win/bin/parser_bench.exe" "$rounds"
echo
echo "== Wine: runner_bench"
wine "$win/bin/runner_bench.exe" --rounds "$rounds"
echo
echo "== Wine: publish_bench"
wine "$win/bin/publish_bench.exe" --rounds "$rounds"
echo
echo "== Wine: silence_bench (Kestrova.exe with a converter that goes silent)"
# A copy of the program with the scripted converter beside it as its ffmpeg.exe.
silent=$win/silence-bench
mkdir -p "$silent"
cp "$win/bin/Kestrova.exe" "$silent/"
cp "$win/bin/fake_ffmpeg.exe" "$silent/ffmpeg.exe"
# A counted start, so closing the program does not open the web site.
wine reg add 'HKCU\Software\Tamblin\Kestrova' /v UseCount /t REG_DWORD /d 5 /f >/dev/null 2>&1
wine "$win/bin/silence_bench.exe" "Z:${silent//\//\\}" "$rounds"
