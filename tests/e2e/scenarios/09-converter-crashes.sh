# shellcheck shell=bash
# End-to-end scenario 9, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

converter_crashes() { # DIR
    local fake=$1
    fake_converter "$fake"
    start_kestrova "$fake/bin" "$(winpath "$fake/files/crash.webm")" \
        "$(winpath "$fake/files/nothing.webm")" || return 1
    press_convert || return 1
    await_summary || return 1
    shot 9-summary-crash
    grep -qxF "crash.webm: the converter stopped unexpectedly (exit code 0xC0000005)" <<<"$summary" ||
        fail "the summary does not give the crash: [$summary]"
    grep -qxF "nothing.webm: the converter ended without writing the AVI file" <<<"$summary" ||
        fail "the summary does not say that nothing was written: [$summary]"
    dismiss_summary
    expect_eq "rows after the crash" "$(printf '2\t%s\t%s\\\n' crash.webm "$(winpath "$fake/files")" \
        nothing.webm "$(winpath "$fake/files")")" "$(rows)"
    expect_files "$fake/files" crash.webm nothing.webm silent.webm
}

register_scenario 9 "converter crashes, or writes nothing" converter_crashes
