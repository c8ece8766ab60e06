# shellcheck shell=bash
# End-to-end scenario 17, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# The real converter ended from outside half-way (Task Manager's End task, a security program):
# the file fails with that reason and its part-made AVI is deleted, rather than being kept as a
# source that "ends early".
converter_stopped_from_outside() { # DIR
    local s17=$1
    converting_long_file "$s17" "no progress seen before stopping the converter" || return 1
    wine taskkill /F /IM ffmpeg.exe </dev/null >>"$work/taskkill.log" 2>&1 ||
        fail "taskkill did not stop ffmpeg.exe (see $work/taskkill.log)"
    await_summary || return 1
    shot 17-summary-stopped
    expect_eq "summary" "The conversion is finished. Some files were not converted.

long.webm: the converter was stopped before it finished" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tlong.webm\t%s\\' "$(winpath "$s17")")" "$(rows)"
    expect_files "$s17" long.webm
}

register_scenario 17 "converter stopped from outside" converter_stopped_from_outside
