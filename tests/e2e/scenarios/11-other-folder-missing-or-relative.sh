# shellcheck shell=bash
# End-to-end scenario 11, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

type_output_folder() { # TEXT
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    xdotool type --delay 12 "$1"
}

other_folder_missing_or_relative() { # DIR
    local s11=$1
    mkdir -p "$s11/src"
    cp "$samples/vp8-vorbis.webm" "$s11/src/clip.webm"
    start_kestrova "$bin" "$(winpath "$s11/src/clip.webm")" || return 1
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    # A relative path: a message, nothing converted, nothing marked.
    type_output_folder 'avi\out'
    press_convert || return 1
    sleep 1
    local text
    text=$(probe message Kestrova 2>/dev/null)
    grep -qF 'The folder "avi\out" is not a full path.' <<<"$text" ||
        fail "no message for the relative folder: [$text]"
    xdotool key Return
    probe idle 10 Kestrova || return 1
    expect_eq "rows after the relative folder" \
        "$(printf '1\tclip.webm\t%s\\' "$(winpath "$s11/src")")" "$(rows)"
    [ ! -e "$bin/avi" ] || fail "a folder avi was made beside the program"
    expect_files "$s11" src
    # A full path two levels below anything that exists: made, and the file converted into it.
    type_output_folder "$(winpath "$s11/new folder/ä")"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s11/new folder/ä" clip.avi
    expect_avi "$s11/new folder/ä/clip.avi" 3
    expect_files "$s11/src" clip.webm
    click Kestrova IDC_RBSAMEFOLDER
}

register_scenario 11 "Other: folder missing or relative" other_folder_missing_or_relative
