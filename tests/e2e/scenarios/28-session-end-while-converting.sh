# shellcheck shell=bash
# End-to-end scenario 28, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# The end of the session while converting
# Windows asks every top-level window whether the session may end (a log off, a restart, another
# program's or another Kestrova's shut down): while it converts, Kestrova says no and converts on.
# When the session ends all the same, Kestrova is gone within seconds, its converter with it, and
# leaves no partial file.
session_end_while_converting() { # DIR
    local dir=$1
    converting_long_file "$dir" "no progress seen before the end of the session" || return 1
    converter_on 's28.long\.webm' || fail "no converter seen at work on long.webm"
    expect_eq "answers of the main and the progress window to the end of the session" "0 0" \
        "$(probe queryend Kestrova Converting)"
    local waited
    sleep 2
    converter_on 's28.long\.webm' || fail "the converter stopped after the question alone"
    probe progress 5 >/dev/null || fail "the progress window went after the question alone"
    compgen -G "$dir/long*.partial.avi" >/dev/null || fail "no partial file while converting"
    local ms
    if ms=$(probe endsession 10 Kestrova); then
        echo "    Kestrova gone ${ms} ms after WM_ENDSESSION" >&2
        wait "$kestrova_pid" 2>/dev/null || true
        kestrova_pid=
    else
        fail "Kestrova still runs 10 s after WM_ENDSESSION"
    fi
    waited=0
    while converter_on 's28.long\.webm' && [ $((waited += 1)) -le 10 ]; do sleep 0.2; done
    converter_on 's28.long\.webm' && fail "a converter is left after the end of the session"
    expect_files "$dir" long.webm
}

register_scenario 28 "the end of the session while converting" session_end_while_converting
