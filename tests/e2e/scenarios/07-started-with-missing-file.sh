# shellcheck shell=bash
# End-to-end scenario 7, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# A file the list cannot take, given on the command line: the list's own message, over the window.
started_with_missing_file() { # DIR
    local s6=$1
    mkdir -p "$s6/files"
    cp "$samples/vp8-vorbis.webm" "$s6/files/one.webm"
    start_kestrova "$bin" "$(winpath "$s6/files/gone.webm")" "$(winpath "$s6/files/one.webm")" ||
        return 1
    # The box comes over the window, under the same title; it is the topmost of the two.
    sleep 1
    expect_eq "message" "The specified file was not found." "$(probe message Kestrova 2>/dev/null)"
    shot 7-missing-file-message
    xdotool key Return
    sleep 0.5
    expect_eq "rows" "$(printf '1\tone.webm\t%s\\' "$(winpath "$s6/files")")" "$(rows)"
}

register_scenario 7 "started with a missing file" started_with_missing_file
