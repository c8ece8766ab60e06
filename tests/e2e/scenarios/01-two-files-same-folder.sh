# shellcheck shell=bash
# End-to-end scenario 1, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

two_files_same_folder() { # DIR
    local s1=$1 s1_rows
    two_sources "$s1"
    s1_rows=$(printf '1\tclip one.webm\t%s\\\n1\tsecond.webm\t%s\\' \
        "$(winpath "$s1/My clips (ä)")" "$(winpath "$s1/plain")")
    start_kestrova "$bin" || return 1
    add_file "$s1/My clips (ä)/clip one.webm" || return 1
    add_file "$s1/plain/second.webm" || return 1
    expect_eq "rows after adding" "$s1_rows" "$(rows)"
    grep -qP '^Button\tvisible\tenabled\tConvert to AVI$' <<<"$(probe texts Kestrova)" ||
        fail "Convert to AVI is not enabled with rows listed"
    shot 1-main-with-rows
    press_convert || return 1
    expect_progress_shown 1-progress
    await_summary || return 1
    shot 1-summary
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s1/My clips (ä)" "clip one.webm" "clip one.avi"
    expect_files "$s1/plain" "second.webm" "second.avi"
    expect_avi "$s1/My clips (ä)/clip one.avi" 3
    expect_avi "$s1/plain/second.avi" 3
}

register_scenario 1 "two files, same folder" two_files_same_folder
