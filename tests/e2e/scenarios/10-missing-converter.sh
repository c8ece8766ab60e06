# shellcheck shell=bash
# End-to-end scenario 10, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Checked before the batch: no converter; an "Other:" folder that is missing or relative
missing_converter() { # DIR
    local s10=$1
    mkdir -p "$s10/bin" "$s10/files"
    cp "$bin/Kestrova.exe" "$s10/bin/"
    cp "$samples/vp8-vorbis.webm" "$s10/files/clip.webm"
    start_kestrova "$s10/bin" "$(winpath "$s10/files/clip.webm")" || return 1
    press_convert || return 1
    sleep 1
    local text
    # The box comes over the window, under the same title; it is the topmost of the two.
    text=$(probe message Kestrova 2>/dev/null)
    shot 10-missing-converter
    grep -qF "ffmpeg.exe" <<<"$text" || fail "the message does not name ffmpeg.exe: [$text]"
    grep -qF "$(winpath "$s10/bin")" <<<"$text" ||
        fail "the message does not name the folder $(winpath "$s10/bin"): [$text]"
    xdotool key Return
    probe idle 10 Kestrova || fail "the main window did not come back after the message"
    probe wait 1 Converting >/dev/null 2>&1 && fail "a progress window opened without a converter"
    expect_eq "rows" "$(printf '1\tclip.webm\t%s\\' "$(winpath "$s10/files")")" "$(rows)"
    expect_files "$s10/files" clip.webm
    expect_files "$s10/bin" Kestrova.exe
}

register_scenario 10 "no converter beside the program" missing_converter
