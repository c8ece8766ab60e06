# shellcheck shell=bash
# End-to-end scenario 25, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

side_one_file_alone() { # DIR
    local side=$1
    mkdir -p "$side/real"
    cp "$samples/long.webm" "$side/real/only.webm"
    side_at_once ""
    start_kestrova "$bin" || return 1
    add_file "$side/real/only.webm" || return 1
    press_convert || return 1
    expect_progress_shown 25-progress-one-file || return 1
    expect_eq "file lines" "only.webm (1 of 1):" "$(side_captions)"
    expect_eq "percentage labels" 2 "$(probe texts Converting | grep -cP '^Static\t\w+\t\w+\t\d+%$')"
    [ -z "$(probe control Converting "$(resource_id IDC_FILELINES)" 2>/dev/null)" ] ||
        fail "a second file line is there for a batch of one file"
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
}

register_scenario 25 "a batch of one file" side_one_file_alone
