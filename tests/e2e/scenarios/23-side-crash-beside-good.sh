# shellcheck shell=bash
# End-to-end scenario 23, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

side_crash_beside_good() { # DIR
    local side=$1
    fake_converter_program "$side"
    mkdir -p "$side/files"
    # Long enough to be seen running three at once on a busy machine.
    side_script "$side" good1.webm create 'status 20000 1000 400' "$side_totals" 'exit 0'
    side_script "$side" crash.webm create 'status 5000 1000 400' 'crash 3221225477'
    side_script "$side" good2.webm create 'status 20000 1000 400' "$side_totals" 'exit 0'
    side_script "$side" good3.webm create 'status 20000 2000 100' "$side_totals" 'exit 0'
    side_at_once 3
    start_kestrova "$side/bin" || return 1
    add_by_dialog "$(winpath "$side/files")\\" '"good1.webm" "crash.webm" "good2.webm" "good3.webm"' || return 1
    press_convert || return 1
    side_await_captions 3 && shot 23-progress-three-files
    await_summary || return 1
    shot 23-summary
    expect_eq "summary" "The conversion is finished. Some files were not converted.

crash.webm: the converter stopped unexpectedly (exit code 0xC0000005)" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tcrash.webm\t%s\\' "$(winpath "$side/files")")" "$(rows)"
    expect_files "$side/files" crash.webm good1.avi good1.webm good2.avi good2.webm good3.avi \
        good3.webm
    side_at_once ""
}

register_scenario 23 "several at once: a crash beside good files" side_crash_beside_good
