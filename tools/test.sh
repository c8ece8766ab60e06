#!/usr/bin/env bash
# Sets everything up and runs every test: the core natively (also under ASan/UBSan), then the
# whole program built for Windows under Wine, including end-to-end runs of Kestrova.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

# Each stage prints its own time when the next begins, and the whole run ends with the list, so
# a slow machine shows where its minutes went.
stage_names=()
stage_times=()
stage_name=""
stage_start=$SECONDS
run_start=$SECONDS
end_stage() {
    [ -n "$stage_name" ] || return 0
    local took=$((SECONDS - stage_start))
    stage_names+=("$stage_name")
    stage_times+=("$took")
    printf -- '--- %s: %d min %02d s\n' "$stage_name" $((took / 60)) $((took % 60))
    stage_name=""
}
print_stage_times() {
    end_stage
    local i total=$((SECONDS - run_start))
    printf '\n=== Stage times ===\n'
    for i in "${!stage_names[@]}"; do
        printf '%4d min %02d s  %s\n' $((stage_times[i] / 60)) $((stage_times[i] % 60)) "${stage_names[i]}"
    done
    printf '%4d min %02d s  in all\n' $((total / 60)) $((total % 60))
}
step() {
    end_stage
    stage_name=$*
    stage_start=$SECONDS
    printf '\n=== %s ===\n' "$*"
}

trap print_stage_times EXIT

step "Installing what is missing"
tools/setup.sh

step "Native build and core tests"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure

step "Converter for Windows (cached after the first build)"
ffmpeg_exe=$(tools/build-ffmpeg.sh | tail -n 1)
echo "$ffmpeg_exe"

step "Windows build"
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DKESTROVA_FFMPEG_EXE="$ffmpeg_exe" >/dev/null
cmake --build build/win -j "$jobs"
cmake --build build/win --target package_zip
version=$(cat build/win/version.txt) # written by CMake from project()
grep -qF "Kestrova-$version-win64/ffmpeg.exe" <<<"$(unzip -l "build/win/Kestrova-$version-win64.zip")" ||
    { echo "The release package lacks ffmpeg.exe" >&2; exit 1; }
# The installer, which the "installer" test below installs and uninstalls.
cmake --build build/win --target package_installer

# What needs no Wine (the sanitizer build and its tests, the fuzz targets, the unoptimised Windows
# build) runs beside the Wine tests, which spend much of their time waiting on windows, timers and
# the converter: at the lowest priority, so the timed checks of the Wine tests keep the processor
# whenever they want it. Its output goes to a log, shown when it ends.
background_log=$root/build/test-background.log
background_times=$root/build/test-background.times
mkdir -p "$root/build"
: >"$background_times"
background_stage() { # NAME COMMAND...: runs COMMAND, its time added to $background_times
    local name=$1 start=$SECONDS rc=0
    shift
    printf '\n=== %s ===\n' "$name"
    "$@" || rc=$?
    printf '%d\t%s\n' $((SECONDS - start)) "$name" >>"$background_times"
    return "$rc"
}
asan_stage() {
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTROVA_SANITIZE=ON >/dev/null &&
        cmake --build build/asan -j "$jobs" --target kestrova_core_tests fake_ffmpeg kestrova_samples &&
        ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure -R '^core$'
}
# Longer runs: tools/fuzz.sh [seconds-per-target].
fuzz_stage() { tools/fuzz.sh 5; }
# Inlining can hide what only an unoptimised link shows (two definitions of one function, say):
# the program and the window tests, with what those tests start, built unoptimised too.
windows_debug_stage() {
    cmake -S . -B build/win-debug -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Debug -DKESTROVA_FFMPEG_EXE="$ffmpeg_exe" >/dev/null &&
        cmake --build build/win-debug -j "$jobs" --target Kestrova kestrova_win_tests fake_ffmpeg \
            kestrova_samples
}
background_main() {
    background_stage "Core tests under AddressSanitizer and UndefinedBehaviorSanitizer" asan_stage &&
        background_stage "Fuzz targets, a few seconds each" fuzz_stage &&
        background_stage "Windows build, unoptimised" windows_debug_stage
}
export jobs ffmpeg_exe background_times
export -f background_stage asan_stage fuzz_stage windows_debug_stage background_main
# A session of its own, so that all of it can be ended with the run.
setsid nice -n 19 bash -c background_main </dev/null >"$background_log" 2>&1 &
background=$!
stop_background() { kill -- "-$background" 2>/dev/null || true; }
trap 'stop_background; print_stage_times' EXIT
echo "(the sanitizer build and tests, fuzzing and the unoptimised Windows build run beside the Wine tests: $background_log)"

step "Windows tests under Wine"
# shellcheck source=tools/wine-env.sh
source tools/wine-env.sh --display
# Now and then Wine leaves a console host behind for a console program that has ended; it keeps
# the Unix output descriptors it was started with, so ctest would wait for that output to end
# for ever. No test here keeps a console for two minutes: older ones are strays.
reap_stray_consoles() {
    set +e +o pipefail # a process that goes while it is looked at is no error here
    while sleep 10; do
        { pgrep -f 'conhost.exe --server' || true; } | while read -r pid; do
            age=$(ps -o etimes= -p "$pid" 2>/dev/null | tr -d ' ')
            if [ -n "$age" ] && [ "$age" -gt 120 ]; then
                echo "(ended a console host Wine left behind, pid $pid)" >&2
                kill "$pid" 2>/dev/null || true
            fi
        done
    done
}
reap_stray_consoles &
reaper=$!
trap 'kill $reaper 2>/dev/null || true; stop_background; kestrova_wine_stop; print_stage_times' EXIT
trap "exit 130" INT TERM
ctest --test-dir build/win --output-on-failure

step "Signed release and its package manifest"
# A throwaway certificate signs the release; every signature is verified and the manifest checked.
tests/installer/release.sh build/win

if [ -x tests/e2e/run.sh ]; then
    step "End-to-end: Kestrova.exe driven as a user would"
    tests/e2e/run.sh build/win
fi

step "Waiting for what ran beside the Wine tests"
background_rc=0
wait "$background" || background_rc=$?
cat "$background_log"
while IFS=$'\t' read -r took name; do
    stage_names+=("$name (beside the Wine tests)")
    stage_times+=("$took")
done <"$background_times"
[ "$background_rc" -eq 0 ] || { echo "failed beside the Wine tests: see above" >&2; exit 1; }

step "Window tests of the unoptimised build under Wine"
ctest --test-dir build/win-debug --output-on-failure -R '^win$'

end_stage
echo
echo "=== All tests passed ==="
