# shellcheck shell=bash
# End-to-end scenario 30, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Where Kestrova keeps each window's list (%LOCALAPPDATA%\Kestrova\Lists) in the test prefix.
saved_lists() { printf '%s\n' "$WINEPREFIX"/drive_c/users/*/AppData/Local/Kestrova/Lists; }

# Ended from outside while converting long.webm, with clip.webm already converted: the next start
# lists long.webm again, says so, and removes the partial file the ended run left, but not a file
# of that name in another folder.
list_survives_a_kill() { # DIR
    local dir=$1
    long_webm "$dir"
    cp "$samples/vp8-vorbis.webm" "$dir/clip.webm"
    mkdir -p "$dir/other"
    echo theirs >"$dir/other/long.partial.avi"
    # One at a time, clip.webm first.
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /t REG_DWORD /d 1 /f \
        </dev/null >/dev/null 2>&1
    start_kestrova "$bin" "$(winpath "$dir/clip.webm")" "$(winpath "$dir/long.webm")" || return 1
    press_convert || return 1
    local waited
    for waited in $(seq 120); do
        [ -f "$dir/clip.avi" ] && converter_on 's30.long\.webm' && break
        sleep 0.5
    done
    [ -f "$dir/long.partial.avi" ] || { fail "long.webm was not being converted"; return 1; }
    # The row of clip.webm has left the saved list within a second of its conversion.
    sleep 1.5
    probe crash Kestrova >/dev/null || { fail "Kestrova.exe could not be ended from outside"; return 1; }
    for waited in $(seq 20); do
        converter_on 's30.long\.webm' || break
        sleep 0.5
    done
    wine reg delete 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /f </dev/null >/dev/null 2>&1
    [ -f "$dir/long.partial.avi" ] || fail "the ended run left no partial file to clear (nothing shown)"
    ls "$(saved_lists)"/*.list >/dev/null 2>&1 || fail "no saved list was left by the ended run"

    # Started by hand: the word comes in a box at once, which keeps the window disabled, so
    # start_kestrova's wait for an enabled window would not end.
    (cd "$bin" && exec wine Kestrova.exe) </dev/null >>"$work/kestrova.log" 2>&1 &
    kestrova_pid=$!
    probe wait 60 Information >/dev/null || { fail "no word that the list was taken up again"; return 1; }
    shot 30-listed-again
    expect_eq "the line said" \
        "Kestrova was interrupted: the file not converted yet is listed again." \
        "$(probe message Information)"
    dismiss_summary
    expect_eq "rows listed again" "$(printf '1\tlong.webm\t%s\\' "$(winpath "$dir")")" "$(rows)"
    expect_files "$dir" clip.avi clip.webm long.webm other
    expect_eq "the other folder's file of the same name" theirs "$(cat "$dir/other/long.partial.avi")"
}

register_scenario 30 "Kestrova ended mid-batch, started again" list_survives_a_kill
