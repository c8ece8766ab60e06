# shellcheck shell=bash
# End-to-end scenario 13, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# What the converter reports decides: 10-bit AV1, and a file that ends early
av1_10bit_and_half_file() { # DIR
    local s13=$1
    "$root/tests/corpus/make-corpus.sh" "$s13" av1-10bit
    # Ten seconds of real video, cut in the middle as a stopped download is.
    ffmpeg -v error -nostdin -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi \
        -i "sine=frequency=440:sample_rate=48000" -t 10 -ac 2 -c:v libvpx -deadline realtime \
        -cpu-used 8 -b:v 600k -c:a libvorbis "$s13/whole.webm"
    head -c $(($(stat -c %s "$s13/whole.webm") / 2)) "$s13/whole.webm" >"$s13/half.webm"
    rm "$s13/whole.webm"
    start_kestrova "$bin" "$(winpath "$s13/av1-10bit.webm")" "$(winpath "$s13/half.webm")" ||
        return 1
    press_convert || return 1
    await_summary || return 1
    shot 13-summary-ends-early
    grep -qP '^half\.webm ends early: 0:0\d of 0:10 converted — the file is damaged or incomplete$' \
        <<<"$summary" || fail "the summary does not say how far half.webm went: [$summary]"
    grep -qF "av1-10bit" <<<"$summary" && fail "the summary names the 10-bit AV1 file: [$summary]"
    dismiss_summary
    expect_empty_list
    expect_files "$s13" av1-10bit.webm av1-10bit.avi half.webm half.avi
    expect_avi "$s13/av1-10bit.avi" 3
    local frames
    frames=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_read_frames -of csv=p=0 "$s13/av1-10bit.avi")
    expect_eq "frames in av1-10bit.avi" 75 "$frames"
    frames=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_read_frames -of csv=p=0 "$s13/half.avi")
    [ "${frames:-0}" -gt 25 ] && [ "$frames" -lt 250 ] ||
        fail "half.avi holds $frames frames, not part of the 250"
}

register_scenario 13 "10-bit AV1, and a file that ends early" av1_10bit_and_half_file
