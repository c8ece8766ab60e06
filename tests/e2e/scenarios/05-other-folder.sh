# shellcheck shell=bash
# End-to-end scenario 5, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

other_folder() { # DIR
    local s5=$1
    mkdir -p "$s5/src" "$s5/out ä"
    cp "$samples/vp8-vorbis.webm" "$s5/src/clip.webm"
    start_kestrova "$bin" || return 1
    # "Other:", then its box.
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    grep -qP '^Edit\tvisible\tenabled\t' <<<"$(probe texts Kestrova)" ||
        { fail "choosing Other: did not enable the folder box"; return 1; }
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    # No trailing backslash: the program adds it.
    local folder
    folder=$(winpath "$s5/out ä")
    xdotool type --delay 12 "$folder"
    expect_eq "folder box" "$folder" \
        "$(probe texts Kestrova | awk -F'\t' '$1 == "Edit" { print $4 }')"
    add_file "$s5/src/clip.webm" || return 1
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s5/src" clip.webm
    expect_files "$s5/out ä" clip.avi
    expect_avi "$s5/out ä/clip.avi" 3
}

register_scenario 5 "other output folder" other_folder
