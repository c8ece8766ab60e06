# shellcheck shell=bash
# End-to-end scenarios 4a and 4b, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Converts long.webm with queued.webm behind it and stops it by CANCEL-ACTION once the current
# file's bar has moved (and, given TIME-LEFT-SHOT, once the time left is shown).
cancel_during_long_file() { # DIR CANCEL-ACTION SHOT-NAME [TIME-LEFT-SHOT]
    local s4=$1
    shift
    # One file at a time, so that queued.webm waits behind long.webm (several at once: 24).
    side_at_once 1
    cancel_one_at_a_time "$s4" "$@"
    local rc=$?
    side_at_once ""
    return "$rc"
}

cancel_one_at_a_time() { # DIR CANCEL-ACTION SHOT-NAME [TIME-LEFT-SHOT]
    local s4=$1
    shift
    long_webm "$s4"
    cp "$samples/vp8-vorbis.webm" "$s4/queued.webm"
    start_kestrova "$bin" || return 1
    add_file "$s4/long.webm" || return 1
    add_file "$s4/queued.webm" || return 1
    press_convert || return 1
    expect_progress_shown "$2" || return 1
    local texts
    texts=$(probe texts Converting)
    grep -qP '^Static\t\w+\t\w+\tlong\.webm \(1 of 2\):$' <<<"$texts" ||
        fail "no caption \"long.webm (1 of 2):\" in the progress window: $(cut -f4 <<<"$texts" | paste -sd'|')"
    grep -qP '^Static\t\w+\t\w+\tOverall progress:$' <<<"$texts" ||
        fail "no \"Overall progress:\" label in the progress window"
    expect_eq "percentage labels" 2 "$(grep -cP '^Static\t\w+\t\w+\t\d+%$' <<<"$texts")"
    if [ -n "${3:-}" ]; then
        # The estimate comes a few seconds in, left of Cancel.
        local waited
        for waited in $(seq 40); do
            texts=$(probe texts Converting) || break
            grep -qP '^Static\tvisible\t\w+\t(About .+|Less than a minute|A few seconds) left$' \
                <<<"$texts" && break
            sleep 0.5
        done
        if grep -qP '^Static\tvisible\t\w+\t(About .+|Less than a minute|A few seconds) left$' \
            <<<"$texts"; then
            shot "$3"
        else
            fail "no time left shown in the progress window after $((waited / 2)) s"
        fi
    fi
    "$1" || return 1
    probe gone 15 Converting || { fail "the progress window did not close after the cancel"; return 1; }
    if probe wait 3 Information >/dev/null 2>&1; then
        fail "a summary box came after the cancel: $(probe message Information)"
        dismiss_summary
    fi
    local folder
    folder=$(winpath "$s4")\\
    expect_eq "rows after the cancel" \
        "$(printf '2\tlong.webm\t%s\n1\tqueued.webm\t%s' "$folder" "$folder")" "$(rows)"
    [ ! -e "$s4/queued.avi" ] || fail "the queued file was converted after the cancel"
    [ ! -e "$s4/long.avi" ] || fail "a half-made long.avi is under the final name"
    if [ -f "$s4/long.partial.avi" ]; then
        # The converter has been stopped: the partial file does not grow any more.
        local size
        size=$(stat -c %s "$s4/long.partial.avi")
        sleep 1
        expect_eq "size of long.partial.avi a second later" "$size" \
            "$(stat -c %s "$s4/long.partial.avi")"
    fi
    rm -f "$s4"/*.avi
}

cancel_with_escape() { cancel_during_long_file "$1" press_escape 4-progress-mid-run 4-progress-time-left; }

cancel_with_button() { cancel_during_long_file "$1" click_cancel 4-progress-before-cancel-click; }

register_scenario 4a "cancel with Esc during a long file" cancel_with_escape
register_scenario 4b "cancel with the Cancel button during a long file" cancel_with_button
