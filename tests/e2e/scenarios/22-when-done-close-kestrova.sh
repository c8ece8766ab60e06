# shellcheck shell=bash
# End-to-end scenario 22, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# "When done: Close Kestrova", chosen from the keyboard while the batch runs, ends the program
# once the batch has run to its end, with its file converted; the choice is kept in the settings
# at once.
when_done_close_kestrova() { # DIR
    local key='HKCU\Software\Tamblin\Kestrova' dir=$1
    # Three times the one-minute sample: time enough to choose while it converts, a batch short
    # enough to wait for to its end.
    ffmpeg -v error -nostdin -stream_loop 2 -i "$samples/long.webm" -c copy "$dir/long.webm"
    # A counted start: a first start's close would open the web site.
    wine reg add "$key" /v UseCount /t REG_DWORD /d 5 /f </dev/null >/dev/null 2>&1
    wine reg delete "$key" /v WhenDone /f </dev/null >/dev/null 2>&1 || true
    start_kestrova "$bin" "$(winpath "$dir/long.webm")" || return 1
    press_convert || return 1
    probe idle 30 Converting || { fail "no progress window to choose in"; return 1; }
    # The list's access key, then the next choice.
    xdotool key --delay 150 alt+d Down
    sleep 0.5
    shot 22-when-done-close
    grep -q 'WhenDone.*0x1' <<<"$(wine reg query "$key" /v WhenDone </dev/null 2>/dev/null)" ||
        fail "\"Close Kestrova\" chosen in the progress window was not kept in the settings"
    probe gone 300 Converting || { fail "the batch did not end"; return 1; }
    local waited
    for waited in $(seq 50); do
        kill -0 "$kestrova_pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$kestrova_pid" 2>/dev/null; then
        fail "Kestrova is still running after the batch"
    else
        wait "$kestrova_pid" 2>/dev/null || true
        kestrova_pid=
    fi
    expect_files "$dir" long.webm long.avi
    wine reg delete "$key" /v WhenDone /f </dev/null >/dev/null 2>&1 || true
}

register_scenario 22 "when done: Close Kestrova" when_done_close_kestrova
