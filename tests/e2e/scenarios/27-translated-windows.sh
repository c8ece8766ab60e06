# shellcheck shell=bash
# End-to-end scenario 27, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# German, Russian and Japanese, each driven once through a whole conversion: the main window's
# button, the summary box's caption and its sentence in that language, the AVI written.
translated_windows() { # DIR
    local dir=$1 lang convert info finished texts
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v UseCount /t REG_DWORD /d 5 /f </dev/null \
        >/dev/null 2>&1
    for lang in de ru ja; do
        mkdir -p "$dir/$lang"
        cp "$samples/vp8-vorbis.webm" "$dir/$lang/clip.webm"
        convert=$(translated_string "$lang" IDS_CONVERTTOAVI) || return 1
        info=$(translated_string "$lang" IDS_INFORMATION) || return 1
        finished=$(translated_string "$lang" IDS_CONVERSIONFINISHED) || return 1
        export KESTROVA_LANGUAGE=$lang
        start_kestrova "$bin" "$(winpath "$dir/$lang/clip.webm")" || { unset KESTROVA_LANGUAGE; return 1; }
        unset KESTROVA_LANGUAGE
        texts=$(probe texts Kestrova)
        grep -qF "$convert" <<<"$texts" || fail "[$lang] the Convert button does not read \"$convert\""
        press_convert || return 1
        probe wait 180 "$info" >/dev/null || { fail "[$lang] no summary box \"$info\""; return 1; }
        shot "27-$lang-summary"
        expect_eq "[$lang] summary" "$finished" "$(probe message "$info")"
        xdotool key Return
        probe gone 10 "$info" || fail "[$lang] the summary box did not close with Return"
        expect_files "$dir/$lang" clip.avi clip.webm
        kestrova_stop
    done
}

register_scenario 27 "the windows in German, Russian and Japanese" translated_windows
