# shellcheck shell=bash
# End-to-end scenario 18, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# A stand-in that puts a file under the name it was given and then runs the real converter, as
# another program taking that name at the last moment would: the converter is told to write over
# Kestrova's own partial file and reads no input, so it neither asks nor waits.
standin_takes_the_name() { # DIR
    local s18=$1/files
    fake_converter_program "$1"
    mkdir -p "$s18"
    printf '%s\n' create "convert $(winpath "$bin/ffmpeg.exe") $(winpath "$samples/vp8-vorbis.webm")" \
        >"$s18/standin.webm"
    start_kestrova "$1/bin" "$(winpath "$s18/standin.webm")" || return 1
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_files "$s18" standin.avi standin.webm
    expect_avi "$s18/standin.avi" 3
}

register_scenario 18 "a stand-in takes the name, then runs the real converter" standin_takes_the_name
