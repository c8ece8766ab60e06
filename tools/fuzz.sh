#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer, ASan and UBSan) and runs each for the
# given number of seconds (default 60), one after another. Corpora grow in build/fuzz/corpus,
# seeded with the captured converter output of tests/core/data; a fault stops the run and leaves
# its input in build/fuzz/faults. Prints executions and coverage per target.
#   tools/fuzz.sh [seconds-per-target] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=$root/build/fuzz

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in "$build"/fuzz_*; do
        [ -x "$t" ] && targets+=("$(basename "$t")")
    done
fi

mkdir -p "$build/faults"
status=0
printf '%-20s %12s %8s %8s\n' target executions cov ft
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    case $target in
    fuzz_verdict | fuzz_chunked | fuzz_progress | fuzz_utf8)
        cp -n "$root"/tests/core/data/*.txt "$corpus"/ ;;
    esac
    log=$build/$target.log
    if ! UBSAN_OPTIONS=print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
        "$build/$target" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$build/faults/$target-" "$corpus" >"$log" 2>&1; then
        echo "$target: FAULT (see $log and build/fuzz/faults)" >&2
        grep -m 5 -E 'ERROR|check failed|runtime error|SUMMARY' "$log" >&2 || true
        status=1
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-20s %12s %8s %8s\n' "$target" "$runs" "$cov" "$ft"
done
exit $status
