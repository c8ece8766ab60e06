# shellcheck shell=bash
# End-to-end scenario 16, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# A listed file that is gone by the time Convert is pressed (moved, deleted, a stick pulled out):
# its row is marked with the reason, the others convert, nothing is made for it.
vanished_before_convert() { # DIR
    local s16=$1
    cp "$samples/vp8-vorbis.webm" "$s16/kept.webm"
    cp "$samples/vp9-opus.webm" "$s16/moved away.webm"
    start_kestrova "$bin" "$(winpath "$s16/moved away.webm")" "$(winpath "$s16/kept.webm")" ||
        return 1
    rm "$s16/moved away.webm"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished. Some files were not converted.

moved away.webm: the file is no longer there" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tmoved away.webm\t%s\\' "$(winpath "$s16")")" "$(rows)"
    expect_files "$s16" kept.avi kept.webm
    expect_avi "$s16/kept.avi" 3
}

register_scenario 16 "a listed file gone before Convert" vanished_before_convert
