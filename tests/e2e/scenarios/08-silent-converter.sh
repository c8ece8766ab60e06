# shellcheck shell=bash
# End-to-end scenarios 8a and 8b, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# During the silence the window answers, and CANCEL-ACTION closes it at once with nothing left.
cancel_during_silence() { # DIR CANCEL-ACTION
    local fake=$1
    shift
    fake_converter "$fake"
    start_kestrova "$fake/bin" "$(winpath "$fake/files/silent.webm")" || return 1
    press_convert || return 1
    probe progress 20 >/dev/null || { fail "the scripted converter's progress never showed"; return 1; }
    # The bar has moved: the script goes silent within the next second.
    sleep 1.2
    converter_running silent.webm || fail "the scripted converter is not running"
    local worst
    # Generous bound: a window blocked on the converter would not answer for the whole silence.
    worst=$(probe answers 3 Converting) || { fail "the progress window did not answer during the silence ($worst ms)"; return 1; }
    echo "    progress window answered within $worst ms during the silence" >&2
    [ "$worst" -lt 1000 ] || fail "the progress window took $worst ms to answer during the silence"
    [ -f "$fake/files/silent.partial.avi" ] ||
        fail "the scripted converter did not create silent.partial.avi"
    [ ! -e "$fake/files/silent.avi" ] || fail "silent.avi is there before the file is whole"
    local started=$SECONDS
    "$1" || return 1
    probe gone 2 Converting || { fail "the progress window did not close within 2 s of the cancel"; abandon_batch; return 1; }
    echo "    closed $((SECONDS - started)) s after the cancel (whole seconds)" >&2
    if probe wait 2 Information >/dev/null 2>&1; then
        fail "a summary box came after the cancel: $(probe message Information)"
        dismiss_summary
    fi
    ! converter_running silent.webm || fail "the scripted converter still runs after the cancel"
    expect_files "$fake/files" crash.webm nothing.webm silent.webm
    expect_eq "rows after the cancel" "$(printf '2\tsilent.webm\t%s\\' "$(winpath "$fake/files")")" \
        "$(rows)"
}

silent_cancel_escape() { cancel_during_silence "$1" press_escape; }

silent_cancel_click() { cancel_during_silence "$1" click_cancel; }

register_scenario 8a "silent converter, cancelled with Esc" silent_cancel_escape
register_scenario 8b "silent converter, cancelled with the Cancel button" silent_cancel_click
