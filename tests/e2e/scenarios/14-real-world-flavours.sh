# shellcheck shell=bash
# End-to-end scenario 14, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Real-world flavours through the whole program
real_world_flavours() { # DIR
    local s14=$1
    "$root/tests/corpus/make-corpus.sh" "$s14" browser-h264-opus mp4-named-webm vp9-10bit
    start_kestrova "$bin" "$(winpath "$s14")" || return 1
    expect_eq "rows from the command line" "$(printf '1\t%s\t%s\n' \
        browser-h264-opus.webm "$(winpath "$s14")\\" mp4-named-webm.webm "$(winpath "$s14")\\" \
        vp9-10bit.webm "$(winpath "$s14")\\")" "$(rows)"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    local name
    for name in browser-h264-opus mp4-named-webm vp9-10bit; do
        expect_avi "$s14/$name.avi" 3
    done
}

register_scenario 14 "real-world flavours" real_world_flavours
