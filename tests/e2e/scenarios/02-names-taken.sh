# shellcheck shell=bash
# End-to-end scenario 2, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

sha() { sha256sum "$1" | cut -d' ' -f1; }

# The AVI names are taken already, by the files of an earlier conversion.
names_taken() { # DIR
    local s1=$1
    two_sources "$s1"
    local first=$s1/My\ clips\ \(ä\)/clip\ one.avi second=$s1/plain/second.avi
    echo "an earlier conversion" >"$first"
    echo "another earlier conversion" >"$second"
    start_kestrova "$bin" || return 1
    local sum1 sum2
    sum1=$(sha "$first")
    sum2=$(sha "$second")
    add_file "$s1/My clips (ä)/clip one.webm" || return 1
    add_file "$s1/plain/second.webm" || return 1
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s1/My clips (ä)" "clip one.webm" "clip one.avi" "clip one(2).avi"
    expect_files "$s1/plain" "second.webm" "second.avi" "second(2).avi"
    expect_eq "first AVI after the second run" "$sum1" "$(sha "$first")"
    expect_eq "second AVI after the second run" "$sum2" "$(sha "$second")"
    expect_avi "$s1/My clips (ä)/clip one(2).avi" 3
    expect_avi "$s1/plain/second(2).avi" 3
}

register_scenario 2 "second run, names taken" names_taken
