#!/usr/bin/env bash
# End-to-end runs of Kestrova.exe worked as a user works it: the real program and its real
# ffmpeg.exe under Wine, files added through the Add dialog by typing their paths, buttons
# clicked where the window layout puts them (xdotool), results read back from the running
# program (kestrova_probe.exe) and from the disk (ffprobe).
#
#   tests/e2e/run.sh <build-dir> [ID...]  e.g. build/win; needs its bin/ with Kestrova.exe,
#                                         ffmpeg.exe, fake_ffmpeg.exe, kestrova_probe.exe and
#                                         samples/
# Given IDs (numbers as listed at the end: "12", "4a"; "4" is 4a and 4b), it runs those scenarios
# alone; each makes its own files in a folder of its own and starts the program itself.
# KESTROVA_E2E_ONLY=REGEX runs only the scenarios whose "ID name" match.
#
# Always on a display and a Wine prefix of its own, whatever the caller has set up (tools/test.sh
# has its own): its own Xvfb, because the keyboard map gets keys for the non-ASCII letters typed
# here and that map must be in place before any Wine program starts; its own prefix
# ($KESTROVA_E2E_WINEPREFIX, default <build-dir>/e2e-wineprefix), because the run deletes the
# program's registry key, turns on Wine's own desktop window and stops its own wineserver at the
# end. There is no window manager; Wine's desktop window draws the frames.
#
# Artefacts: <build-dir>/e2e/ (files, logs), <build-dir>/screenshots/e2e-*.png.
# Exit code 0 when every check passed, 1 when any failed, 2 when the run could not start.
set -euo pipefail
# The typed and compared names hold non-ASCII letters: xdotool, Wine's file names, ls and sort
# must all read them as UTF-8.
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 <build-dir> [scenario-id...]" >&2; exit 2; }
build=$(cd "$1" && pwd)
wanted=("${@:2}")
bin=$build/bin
probe_exe=$bin/kestrova_probe.exe
samples=$bin/samples
for f in "$bin/Kestrova.exe" "$bin/ffmpeg.exe" "$bin/fake_ffmpeg.exe" "$probe_exe" "$samples/vp8-vorbis.webm" \
    "$samples/vp9-opus.webm" "$samples/long.webm" "$samples/corrupt.webm"; do
    [ -f "$f" ] || { echo "e2e: $f is missing; build $build first" >&2; exit 2; }
done
for tool in Xvfb xkbcomp xdotool import ffmpeg ffprobe sha256sum wine timeout; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (tools/setup.sh)" >&2; exit 2; }
done

work=$build/e2e
shots=$build/screenshots
rm -rf "$work"
mkdir -p "$work" "$shots"
rm -f "$shots"/e2e-*.png

failures=()
scenario=setup
xvfb_pid=

fail() {
    echo "FAIL [$scenario] $*" >&2
    failures+=("[$scenario] $*")
}

cleanup() {
    if declare -F kestrova_stop >/dev/null; then kestrova_stop; fi
    if declare -F kestrova_wine_stop >/dev/null; then kestrova_wine_stop; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- display: Xvfb with ä and Ä on the key left of Z ----------------------------------------
# xdotool would otherwise remap a spare key for each such letter while typing, and Wine
# reads the changed map too late: the letter is lost. -noreset keeps the map when the
# last client leaves.
Xvfb -displayfd 3 -screen 0 1280x900x24 -dpi 96 -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "e2e: Xvfb did not start (see $work/xvfb.log)" >&2; exit 2; }
DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
export DISPLAY
xkbcomp -w0 "$DISPLAY" "$work/keymap.xkb"
awk '/^ *key <LSGT> *\{/ { print "    key <LSGT> { [ adiaeresis, Adiaeresis ] };"
                           skip = $0 !~ /\};/; next }
     skip { if ($0 ~ /\};/) skip = 0; next }
     { print }' "$work/keymap.xkb" >"$work/keymap-e2e.xkb"
xkbcomp -w0 "$work/keymap-e2e.xkb" "$DISPLAY"

# --- Wine --------------------------------------------------------------------------------------
export KESTROVA_WINEPREFIX=${KESTROVA_E2E_WINEPREFIX:-$build/e2e-wineprefix}
export KESTROVA_PROBE=$probe_exe
# shellcheck source=tools/wine-env.sh
source "$root/tools/wine-env.sh"
# No window manager on this display.
kestrova_wine_desktop
# A fresh account as far as the program is concerned.
wine reg delete 'HKCU\Software\Tamblin' /f </dev/null >/dev/null 2>&1 || true

# --- helpers -----------------------------------------------------------------------------------
probe() { kestrova_wine_query 150 "$probe_exe" "$@"; }

# Windows form of a path under Wine's Z: drive.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

shot() {
    import -window root "$shots/e2e-$1.png"
    echo "    screenshot $shots/e2e-$1.png" >&2
}

# A control's identifier, as resources/resource.h defines it (IDCANCEL is the system's own 2).
control_id() { # NAME
    [ "$1" = IDCANCEL ] && { echo 2; return; }
    awk -v name="$1" '$1 == "#define" && $2 == name { print $3 }' "$root/resources/resource.h"
}

# A left click in the middle of a window's control, found by its identifier.
click() { # TITLE CONTROL-NAME
    local id x y
    id=$(control_id "$2")
    [ -n "$id" ] || { fail "no identifier $2 in resource.h"; return 1; }
    local attempt
    for attempt in 1 2 3; do
        read -r x y <<<"$(probe control "$1" "$id")"
        [ -n "$y" ] && break
        sleep 0.3
    done
    [ -n "$y" ] || { fail "no place to click $2 in \"$1\""; return 1; }
    xdotool mousemove "$x" "$y" click 1 || { fail "xdotool could not click $2 at $x,$y"; return 1; }
}

# Kestrova.exe of the folder DIR (a copy elsewhere has its own converter) started with the
# ARGUMENTs, as "Open with", "Send to" or a drop on its icon give them; waits for its window.
start_kestrova() { # DIR [ARGUMENT...]
    kestrova_start "$1" "$work/kestrova.log" "${@:2}" && return 0
    fail "the main window did not come up"
    return 1
}

# Add..., then the path typed into the dialog's file-name box.
add_by_dialog() { # TEXT...: each typed and confirmed with Return, in turn
    probe idle 20 Kestrova || { fail "main window not ready for Add"; return 1; }
    click Kestrova IDC_BTNADDFILES || return 1
    probe idle 20 "Add Files" || { fail "Add did not open the \"Add Files\" dialog"; return 1; }
    local i
    for ((i = 1; i <= $#; i++)); do
        xdotool type --delay 12 "${!i}"
        xdotool key Return
        # A folder typed first: the dialog goes there and waits for the names.
        if [ "$i" -lt $# ]; then
            probe idle 10 "Add Files" || { fail "the Add dialog did not take: ${!i}"; return 1; }
        fi
    done
    # A path the dialog refuses leaves it open with an error box.
    probe gone 10 "Add Files" || { fail "the Add dialog did not accept: $*"; return 1; }
}

add_file() { add_by_dialog "$(winpath "$1")"; }

# Convert to AVI.
press_convert() {
    probe idle 20 Kestrova || { fail "main window not ready for Convert"; return 1; }
    click Kestrova IDC_BTNCONVERT
}

# The progress window is shown while the converter runs: checked once the current file's bar
# has moved, and pictured then.
expect_progress_shown() { # SHOT-NAME
    local state
    state=$(probe progress 30) || { fail "no progress seen in the \"Converting\" window"; return 1; }
    shot "$1"
    [ "${state%% *}" = visible ] ||
        fail "the progress window is not shown while converting (current bar at ${state#* }%)"
}

# After Convert: waits for the summary box and sets $summary to its text.
summary=
await_summary() {
    summary=
    probe wait 180 Information >/dev/null || { fail "no summary box after Convert"; return 1; }
    summary=$(probe message Information)
}

dismiss_summary() {
    xdotool key Return
    probe gone 10 Information || fail "the summary box did not close with Return"
}

rows() { probe rows; }

expect_eq() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# The list is empty again: no rows, the hint shown, Convert disabled.
expect_empty_list() {
    expect_eq "rows left" "" "$(rows)"
    local texts
    texts=$(probe texts Kestrova)
    grep -qP '^Static\tvisible\t\w+\tPlease add the files you want to convert$' <<<"$texts" ||
        fail "the empty-list hint is not shown"
    grep -qP '^Button\tvisible\tdisabled\tConvert to AVI$' <<<"$texts" ||
        fail "Convert to AVI is not disabled with an empty list"
}

# An AVI file as the program promises it: MPEG-4 video tagged XVID, MP3 audio, whole length.
expect_avi() { # FILE SECONDS
    [ -f "$1" ] || { fail "missing output $1"; return 0; }
    local streams duration
    streams=$(ffprobe -v error -show_entries stream=codec_name,codec_type,codec_tag_string \
        -of csv=p=0 "$1" 2>&1 | sort)
    expect_eq "streams of ${1#"$work"/}" $'mp3,audio,U[0][0][0]\nmpeg4,video,XVID' "$streams"
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>&1)
    awk -v d="$duration" -v want="$2" 'BEGIN { exit !(d + 0 > want - 0.3 && d + 0 < want + 0.3) }' ||
        fail "duration of ${1#"$work"/}: expected about $2 s, got $duration"
}

# The folder holds exactly these names.
expect_files() { # DIR NAME...
    local want got
    want=$(printf '%s\n' "${@:2}" | sort)
    got=$(cd "$1" && ls -1A | sort)
    expect_eq "files in ${1#"$work"/}" "$want" "$got"
}

sha() { sha256sum "$1" | cut -d' ' -f1; }

# Each scenario's commands are traced to $work/trace.log: one that stops early shows the last
# of them, so a failed check that said nothing can still be placed.
exec {trace_fd}>>"$work/trace.log"
BASH_XTRACEFD=$trace_fd
PS4='+ line ${LINENO}: '

scenario_times=()

# Runs FUNCTION with a new, empty folder of its own, $work/s<ID>, where it makes its files; it
# starts the program itself (start_kestrova), with the arguments and from the folder it needs.
run_scenario() { # ID NAME FUNCTION
    scenario="$1 $2"
    local before=${#failures[@]} start=$SECONDS rc=0
    echo "--- $scenario"
    echo "=== $scenario" >&"$trace_fd"
    mkdir -p "$work/s$1"
    # No list left by an earlier scenario's ended run is taken up.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Kestrova
    set -x
    "$3" "$work/s$1" || rc=$?
    { set +x; } 2>/dev/null
    if [ "$rc" -ne 0 ]; then
        fail "stopped early; its last commands:"$'\n'"$(tail -n 14 "$work/trace.log" |
            head -n 12 | sed 's/^/      /')"
    fi
    kestrova_stop
    scenario_times+=("$((SECONDS - start)) s  $1 $2")
    if [ ${#failures[@]} -eq "$before" ]; then
        echo "    passed in $((SECONDS - start)) s"
    else
        echo "    FAILED in $((SECONDS - start)) s"
    fi
}

# --- scenarios ---------------------------------------------------------------------------------
# Two sources in folders of their own, one with a non-ASCII name.
two_sources() { # DIR
    mkdir -p "$1/My clips (ä)" "$1/plain"
    cp "$samples/vp8-vorbis.webm" "$1/My clips (ä)/clip one.webm"
    cp "$samples/vp9-opus.webm" "$1/plain/second.webm"
}

two_files_same_folder() { # DIR
    local s1=$1 s1_rows
    two_sources "$s1"
    s1_rows=$(printf '1\tclip one.webm\t%s\\\n1\tsecond.webm\t%s\\' \
        "$(winpath "$s1/My clips (ä)")" "$(winpath "$s1/plain")")
    start_kestrova "$bin" || return 1
    add_file "$s1/My clips (ä)/clip one.webm" || return 1
    add_file "$s1/plain/second.webm" || return 1
    expect_eq "rows after adding" "$s1_rows" "$(rows)"
    grep -qP '^Button\tvisible\tenabled\tConvert to AVI$' <<<"$(probe texts Kestrova)" ||
        fail "Convert to AVI is not enabled with rows listed"
    shot 1-main-with-rows
    press_convert || return 1
    expect_progress_shown 1-progress
    await_summary || return 1
    shot 1-summary
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s1/My clips (ä)" "clip one.webm" "clip one.avi"
    expect_files "$s1/plain" "second.webm" "second.avi"
    expect_avi "$s1/My clips (ä)/clip one.avi" 3
    expect_avi "$s1/plain/second.avi" 3
}

# The AVI names are taken already, by the files of an earlier conversion.
names_taken() { # DIR
    local s1=$1
    two_sources "$s1"
    local first=$s1/My\ clips\ \(ä\)/clip\ one.avi second=$s1/plain/second.avi
    echo "an earlier conversion" >"$first"
    echo "another earlier conversion" >"$second"
    start_kestrova "$bin" || return 1
    local sum1 sum2
    sum1=$(sha "$first")
    sum2=$(sha "$second")
    add_file "$s1/My clips (ä)/clip one.webm" || return 1
    add_file "$s1/plain/second.webm" || return 1
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s1/My clips (ä)" "clip one.webm" "clip one.avi" "clip one(2).avi"
    expect_files "$s1/plain" "second.webm" "second.avi" "second(2).avi"
    expect_eq "first AVI after the second run" "$sum1" "$(sha "$first")"
    expect_eq "second AVI after the second run" "$sum2" "$(sha "$second")"
    expect_avi "$s1/My clips (ä)/clip one(2).avi" 3
    expect_avi "$s1/plain/second(2).avi" 3
}

corrupt_among_good() { # DIR
    local s3=$1
    cp "$samples/vp9-opus.webm" "$s3/a.webm"
    cp "$samples/corrupt.webm" "$s3/broken.webm"
    cp "$samples/vp8-vorbis.webm" "$s3/c.webm"
    start_kestrova "$bin" || return 1
    # One Add: the folder first, then three names at once.
    add_by_dialog "$(winpath "$s3")\\" '"a.webm" "broken.webm" "c.webm"' || return 1
    local folder
    folder=$(winpath "$s3")\\
    # Sorted: the order of several names is the dialog's, not the program's.
    expect_eq "rows after adding" \
        "$(printf '1\t%s\t%s\n' a.webm "$folder" broken.webm "$folder" c.webm "$folder" | sort)" \
        "$(rows | sort)"
    press_convert || return 1
    await_summary || return 1
    shot 3-summary
    # The failed file is listed with its reason.
    expect_eq "summary" "The conversion is finished. Some files were not converted.

broken.webm: the file is not a WebM video, or it is damaged" "$summary"
    dismiss_summary
    # Image 2 is the failed mark.
    expect_eq "rows left" "$(printf '2\tbroken.webm\t%s' "$folder")" "$(rows)"
    probe idle 10 Kestrova >/dev/null && shot 3-main-failed-row
    expect_avi "$s3/a.avi" 3
    expect_avi "$s3/c.avi" 3
}

# Fifteen times the long sample (no re-encoding): a quarter of an hour of video, half a minute or
# more of converting on a fast machine, so a cancel lands in the middle of the file. Made once,
# as the samples are, and linked into the folder of each scenario that converts it.
long_webm() { # DIR: puts long.webm there
    [ -f "$work/long.webm" ] ||
        ffmpeg -v error -nostdin -stream_loop 14 -i "$samples/long.webm" -c copy "$work/long.webm"
    ln "$work/long.webm" "$1/long.webm"
}

# Started with long.webm in DIR, Convert pressed, and the current file's bar moved; else fails
# with WHY.
converting_long_file() { # DIR WHY
    long_webm "$1"
    start_kestrova "$bin" "$(winpath "$1/long.webm")" || return 1
    press_convert || return 1
    probe progress 30 >/dev/null || { fail "$2"; return 1; }
}

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

press_escape() { xdotool key Escape; }

# Cancel of the progress window, found by its identifier.
click_cancel() {
    if ! probe wait 1 Converting >/dev/null 2>&1; then
        fail "no progress window to click Cancel on"
        abandon_batch
        return 1
    fi
    click Converting IDCANCEL
}

# Ends a batch that could not be cancelled with a click, so the scenario ends in a known state
# without converting minutes of video: Esc reaches the progress window even when it is not shown.
abandon_batch() {
    xdotool key Escape
    probe gone 30 Converting || true
    if probe wait 3 Information >/dev/null 2>&1; then dismiss_summary; fi
}

cancel_with_escape() { cancel_during_long_file "$1" press_escape 4-progress-mid-run 4-progress-time-left; }
cancel_with_button() { cancel_during_long_file "$1" click_cancel 4-progress-before-cancel-click; }

other_folder() { # DIR
    local s5=$1
    mkdir -p "$s5/src" "$s5/out ä"
    cp "$samples/vp8-vorbis.webm" "$s5/src/clip.webm"
    start_kestrova "$bin" || return 1
    # "Other:", then its box.
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    grep -qP '^Edit\tvisible\tenabled\t' <<<"$(probe texts Kestrova)" ||
        { fail "choosing Other: did not enable the folder box"; return 1; }
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    # No trailing backslash: the program adds it.
    local folder
    folder=$(winpath "$s5/out ä")
    xdotool type --delay 12 "$folder"
    expect_eq "folder box" "$folder" \
        "$(probe texts Kestrova | awk -F'\t' '$1 == "Edit" { print $4 }')"
    add_file "$s5/src/clip.webm" || return 1
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s5/src" clip.webm
    expect_files "$s5/out ä" clip.avi
    expect_avi "$s5/out ä/clip.avi" 3
}

# Started with a file, a folder and a path of more than 260 characters, as the shell starts it.
started_with_paths() { # DIR
    local s6=$1 s6_long=$1/long part
    for part in a b c d; do s6_long=$s6_long/$(printf "$part%.0s" $(seq 60)); done
    mkdir -p "$s6/files" "$s6/Folder/sub" "$s6_long"
    cp "$samples/vp8-vorbis.webm" "$s6/files/one.webm"
    cp "$samples/vp9-opus.webm" "$s6/Folder/clip10.webm"
    cp "$samples/vp8-vorbis.webm" "$s6/Folder/Clip2.WEBM"
    cp "$samples/vp8-vorbis.webm" "$s6/Folder/sub/deep.webm"
    echo notes >"$s6/Folder/notes.txt"
    cp "$samples/vp9-opus.webm" "$s6_long/far.webm"
    start_kestrova "$bin" "$(winpath "$s6/files/one.webm")" "$(winpath "$s6/Folder")" \
        "$(winpath "$s6_long/far.webm")" || return 1
    local long_folder
    long_folder=$(winpath "$s6_long")\\
    [ ${#long_folder} -gt 260 ] || fail "the long folder is only ${#long_folder} characters"
    expect_eq "rows from the command line" "$(printf '1\t%s\t%s\n' \
        one.webm "$(winpath "$s6/files")\\" \
        Clip2.WEBM "$(winpath "$s6/Folder")\\" \
        clip10.webm "$(winpath "$s6/Folder")\\" \
        deep.webm "$(winpath "$s6/Folder/sub")\\" \
        far.webm "$long_folder")" "$(rows)"
    shot 6-started-with-paths
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s6/files" one.webm one.avi
    expect_files "$s6/Folder" Clip2.WEBM Clip2.avi clip10.webm clip10.avi notes.txt sub
    expect_files "$s6/Folder/sub" deep.webm deep.avi
    expect_files "$s6_long" far.webm far.avi
    expect_avi "$s6/files/one.avi" 3
    expect_avi "$s6/Folder/clip10.avi" 3
    expect_avi "$s6/Folder/sub/deep.avi" 3
    expect_avi "$s6_long/far.avi" 3
}

# A file the list cannot take, given on the command line: the list's own message, over the window.
started_with_missing_file() { # DIR
    local s6=$1
    mkdir -p "$s6/files"
    cp "$samples/vp8-vorbis.webm" "$s6/files/one.webm"
    start_kestrova "$bin" "$(winpath "$s6/files/gone.webm")" "$(winpath "$s6/files/one.webm")" ||
        return 1
    # The box comes over the window, under the same title; it is the topmost of the two.
    sleep 1
    expect_eq "message" "The specified file was not found." "$(probe message Kestrova 2>/dev/null)"
    shot 7-missing-file-message
    xdotool key Return
    sleep 0.5
    expect_eq "rows" "$(printf '1\tone.webm\t%s\\' "$(winpath "$s6/files")")" "$(rows)"
}

# --- a selection in Explorer: the verb's own command, run once per file, all at once
# The verb's command as Setup writes it into the registry, for the program built here.
s19_verb=$(sed -n "s/^ *WriteRegStr HKCU \"\${VERB_KEY}\\\\command\" \"\" '\(.*\)'\$/\1/p" \
    "$root/installer/Kestrova.nsi")
s19_verb=${s19_verb//\$INSTDIR/$(winpath "$bin")}

# Copies of a sample named PREFIX<i>.webm in DIR, for each i; prints their Windows paths.
selection_files() { # DIR PREFIX I...
    local dir=$1 prefix=$2 i
    shift 2
    mkdir -p "$dir"
    for i in "$@"; do
        cp "$samples/vp8-vorbis.webm" "$dir/$prefix$i.webm"
        winpath "$dir/$prefix$i.webm"
        echo
    done
}

# The main windows' lists, once they hold ROWS rows in all (or after 60 s).
lists_holding() { # ROWS
    local lists i
    for i in $(seq 120); do
        lists=$(probe lists)
        [ "$(grep -vc '^window' <<<"$lists")" -ge "$1" ] && break
        sleep 0.5
    done
    printf '%s' "$lists"
}

selection_starts() { # STAY FILE...: prints how many starts still run once all but STAY ended
    local stay=$1
    shift
    probe starts 120 "$stay" "$s19_verb" "$@"
}

# Ends every Kestrova of this prefix (the selection's windows were not started by start_kestrova).
end_selection_windows() {
    local pid
    for pid in $(pgrep -f -i 'kestrova\.exe'); do
        tr '\0' '\n' 2>/dev/null </proc/"$pid"/environ | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            kill "$pid" 2>/dev/null
    done
    sleep 1
}

selection_becomes_one_list() { # DIR
    local s19=$1 s19_eight s19_fifty
    mapfile -t s19_eight < <(selection_files "$s19/eight" "clip " 1 2 3 4 5 6 7 10)
    mapfile -t s19_fifty < <(selection_files "$s19/fifty" "" {1..50})
    [ -n "$s19_verb" ] && [[ $s19_verb == *"%1"* ]] ||
        { fail "no verb command in installer/Kestrova.nsi"; return 1; }
    # No window yet: eight starts elect one home, which lists all eight in natural order.
    expect_eq "starts left running of 8" 1 "$(selection_starts 1 "${s19_eight[@]}")"
    local folder want
    folder=$(winpath "$s19/eight")\\
    want=$(printf 'window enabled\n'; for i in 1 2 3 4 5 6 7 10; do
        printf '1\tclip %s.webm\t%s\n' "$i" "$folder"; done)
    expect_eq "windows and rows after 8 starts" "${want%$'\n'}" "$(lists_holding 8)"
    shot 19-selection-of-eight
    # That idle window takes a selection of fifty too.
    expect_eq "starts left running of 50" 0 "$(selection_starts 0 "${s19_fifty[@]}")"
    local lists
    lists=$(lists_holding 58)
    shot 19-selection-of-fifty-more
    expect_eq "windows after 50 more starts" 1 "$(grep -c '^window' <<<"$lists")"
    expect_eq "rows after 50 more starts" 58 "$(grep -vc '^window' <<<"$lists")"
    expect_eq "order of the fifty" "$(seq 1 50 | sed 's/$/.webm/')" \
        "$(grep -v '^window' <<<"$lists" | tail -n 50 | cut -f2)"
    end_selection_windows
}

selection_while_converting() { # DIR
    local s19_busy
    mapfile -t s19_busy < <(selection_files "$1/busy" "part " 1 2 3 4 5 6 7 10)
    # A window that converts takes nothing: the selection's starts elect a home of their own.
    converting_long_file "$1" "the batch did not start" || return 1
    expect_eq "starts left running of 8" 1 "$(selection_starts 1 "${s19_busy[@]}")"
    local lists
    lists=$(lists_holding 9)
    expect_eq "windows" 2 "$(grep -c '^window' <<<"$lists")"
    expect_eq "the converting window's rows" 1 \
        "$(awk '/^window/ { w = $2; next } w == "disabled"' <<<"$lists" | grep -c long.webm)"
    expect_eq "the new window's rows" "$(for i in 1 2 3 4 5 6 7 10; do echo "part $i.webm"; done)" \
        "$(awk '/^window/ { w = $2; next } w == "enabled"' <<<"$lists" | cut -f2)"
    # The new window came to the front: the converting one is simply ended.
    end_selection_windows
}

# --- a converter that goes silent, or crashes: the scripted stand-in beside a copy of the program
# DIR/bin: Kestrova.exe with the stand-in as its converter.
fake_converter_program() { # DIR
    mkdir -p "$1/bin"
    cp "$bin/Kestrova.exe" "$1/bin/"
    cp "$bin/fake_ffmpeg.exe" "$1/bin/ffmpeg.exe"
}

# DIR/bin as above; DIR/files: the stand-in's scripts.
fake_converter() { # DIR
    local fake=$1
    fake_converter_program "$fake"
    mkdir -p "$fake/files"
    # The "WebM file" is the stand-in's script: it reports a duration, creates the AVI, moves the
    # bar for a second, then says nothing for eight seconds, as a stuck decoder or a slow share does.
    printf '%s\n' 'err Input #0, matroska,webm, from '"'"'silent.webm'"'"':\n  Duration: 00:00:20.00, start: 0.000000, bitrate: 800 kb/s\n' \
        create 'status 1000 250 250' 'sleep 8000' 'status 20000 1000 0' >"$fake/files/silent.webm"
    printf '%s\n' 'err Input #0, matroska,webm, from '"'"'crash.webm'"'"':\n  Duration: 00:00:20.00, start: 0.000000, bitrate: 800 kb/s\n' \
        create 'status 1000 250 100' 'crash 3221225477' >"$fake/files/crash.webm"
    # Tells of a whole conversion, totals and all, and ends with 0, but writes no AVI: a stand-in that
    # does nothing.
    printf '%s\n' 'err Input #0, matroska,webm, from '"'"'nothing.webm'"'"':\n  Duration: 00:00:20.00, start: 0.000000, bitrate: 800 kb/s\n' \
        'status 20000 5000 50' 'err \nvideo:300kB audio:30kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 1.0%\n' \
        'exit 0' >"$fake/files/nothing.webm"
}

# The stand-in converter is running: it shows its Windows command line,
# "ffmpeg -nostdin -y -i <source> ...".
converter_running() { pgrep -f -- "^ffmpeg -nostdin -y -i .*$1" >/dev/null; }

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

converter_crashes() { # DIR
    local fake=$1
    fake_converter "$fake"
    start_kestrova "$fake/bin" "$(winpath "$fake/files/crash.webm")" \
        "$(winpath "$fake/files/nothing.webm")" || return 1
    press_convert || return 1
    await_summary || return 1
    shot 9-summary-crash
    grep -qxF "crash.webm: the converter stopped unexpectedly (exit code 0xC0000005)" <<<"$summary" ||
        fail "the summary does not give the crash: [$summary]"
    grep -qxF "nothing.webm: the converter ended without writing the AVI file" <<<"$summary" ||
        fail "the summary does not say that nothing was written: [$summary]"
    dismiss_summary
    expect_eq "rows after the crash" "$(printf '2\t%s\t%s\\\n' crash.webm "$(winpath "$fake/files")" \
        nothing.webm "$(winpath "$fake/files")")" "$(rows)"
    expect_files "$fake/files" crash.webm nothing.webm silent.webm
}

# --- checked before the batch: no converter; an "Other:" folder that is missing or relative --
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

type_output_folder() { # TEXT
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    xdotool type --delay 12 "$1"
}

other_folder_missing_or_relative() { # DIR
    local s11=$1
    mkdir -p "$s11/src"
    cp "$samples/vp8-vorbis.webm" "$s11/src/clip.webm"
    start_kestrova "$bin" "$(winpath "$s11/src/clip.webm")" || return 1
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    # A relative path: a message, nothing converted, nothing marked.
    type_output_folder 'avi\out'
    press_convert || return 1
    sleep 1
    local text
    text=$(probe message Kestrova 2>/dev/null)
    grep -qF 'The folder "avi\out" is not a full path.' <<<"$text" ||
        fail "no message for the relative folder: [$text]"
    xdotool key Return
    probe idle 10 Kestrova || return 1
    expect_eq "rows after the relative folder" \
        "$(printf '1\tclip.webm\t%s\\' "$(winpath "$s11/src")")" "$(rows)"
    [ ! -e "$bin/avi" ] || fail "a folder avi was made beside the program"
    expect_files "$s11" src
    # A full path two levels below anything that exists: made, and the file converted into it.
    type_output_folder "$(winpath "$s11/new folder/ä")"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s11/new folder/ä" clip.avi
    expect_avi "$s11/new folder/ä/clip.avi" 3
    expect_files "$s11/src" clip.webm
    click Kestrova IDC_RBSAMEFOLDER
}

# --- why a file failed: tooltip and Details on the failed row ---------------------------------
failure_reasons_shown() { # DIR
    local s3=$1
    cp "$samples/corrupt.webm" "$s3/broken.webm"
    start_kestrova "$bin" || return 1
    add_by_dialog "$(winpath "$s3")\\" '"broken.webm"' || return 1
    press_convert || return 1
    await_summary || return 1
    shot 12-summary-listing-failures
    grep -qxF "broken.webm: the file is not a WebM video, or it is damaged" <<<"$summary" ||
        fail "the summary does not list broken.webm with its reason: [$summary]"
    dismiss_summary
    probe idle 10 Kestrova || return 1
    local x y tip
    read -r x y <<<"$(probe row 0)" || { fail "no failed row to point at"; return 1; }
    # Pointed at, off the row and back, so the list asks for the tip afresh. Wine's list view
    # shows no tip window for it (the window's answer is checked in-process): said, not failed.
    xdotool mousemove "$x" $((y + 150)) sleep 0.3 mousemove "$x" "$y"
    for _ in $(seq 12); do
        tip=$(probe tooltip 2>/dev/null) && break
        sleep 0.25
    done
    if [ -n "$tip" ]; then
        shot 12-failed-row-tooltip
        grep -qF "the file is not a WebM video, or it is damaged" <<<"$tip" ||
            fail "the tooltip shown over the failed row does not give the reason: [$tip]"
    else
        echo "    (no tooltip window shown over the row under this Wine)" >&2
    fi
    # Details... from the keyboard: the row selected, the context-menu key, the menu's last item.
    xdotool click 1
    xdotool key shift+F10
    sleep 0.5
    xdotool key Up Return
    local title="broken.webm could not be converted" details
    probe idle 10 "$title" || { fail "no \"$title\" window from Details..."; return 1; }
    shot 12-details
    details=$(probe texts "$title")
    grep -qF "the file is not a WebM video, or it is damaged" <<<"$details" ||
        fail "the Details box does not give the reason: [$details]"
    # The converter's own last words follow the reason.
    grep -qF "Invalid data found when processing input" <<<"$details" ||
        fail "the Details box does not show the converter's last lines: [$details]"
    # Read-only: typing into the box changes nothing; Esc closes it.
    click "$title" IDC_EDDETAILS
    xdotool type --delay 12 "typed"
    grep -qF typed <<<"$(probe texts "$title")" && fail "the Details box took typed text"
    xdotool key Escape
    probe gone 5 "$title" || fail "the Details box did not close with Esc"
}

# --- what the converter reports decides: 10-bit AV1, and a file that ends early ---------------
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

# --- real-world flavours through the whole program --------------------------------------------
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

# Names that mean something to a command line or to the converter: percent signs, ampersands,
# carets, quotes, brackets, a leading dash, characters beyond the basic plane. Started with them
# on the command line, as Explorer starts it, and the AVIs named after them.
awkward_names() { # DIR
    local s15="$1/50% off & more" name want='' args=()
    local s15_names=("100% & more; [x] {y} 'q' ^!.webm" "-dash, comma=equal.webm" "clip 🎬 ünï.webm")
    mkdir -p "$s15"
    for name in "${s15_names[@]}"; do
        cp "$samples/vp8-vorbis.webm" "$s15/$name"
        args+=("$(winpath "$s15/$name")")
    done
    start_kestrova "$bin" "${args[@]}" || return 1
    for name in "${s15_names[@]}"; do want+=$(printf '1\t%s\t%s\\' "$name" "$(winpath "$s15")")$'\n'; done
    expect_eq "rows from the command line" "${want%$'\n'}" "$(rows)"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    for name in "${s15_names[@]}"; do expect_avi "$s15/${name%.webm}.avi" 3; done
    expect_eq "files beside the sources" 6 "$(find "$s15" -type f | wc -l)"
}

# A listed file that is gone by the time Convert is pressed (moved, deleted, a stick pulled out):
# its row is marked with the reason, the others convert, nothing is made for it.
vanished_before_convert() { # DIR
    local s16=$1
    cp "$samples/vp8-vorbis.webm" "$s16/kept.webm"
    cp "$samples/vp9-opus.webm" "$s16/moved away.webm"
    start_kestrova "$bin" "$(winpath "$s16/moved away.webm")" "$(winpath "$s16/kept.webm")" ||
        return 1
    rm "$s16/moved away.webm"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished. Some files were not converted.

moved away.webm: the file is no longer there" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tmoved away.webm\t%s\\' "$(winpath "$s16")")" "$(rows)"
    expect_files "$s16" kept.avi kept.webm
    expect_avi "$s16/kept.avi" 3
}

# The real converter ended from outside half-way (Task Manager's End task, a security program):
# the file fails with that reason and its part-made AVI is deleted, rather than being kept as a
# source that "ends early".
converter_stopped_from_outside() { # DIR
    local s17=$1
    converting_long_file "$s17" "no progress seen before stopping the converter" || return 1
    wine taskkill /F /IM ffmpeg.exe </dev/null >>"$work/taskkill.log" 2>&1 ||
        fail "taskkill did not stop ffmpeg.exe (see $work/taskkill.log)"
    await_summary || return 1
    shot 17-summary-stopped
    expect_eq "summary" "The conversion is finished. Some files were not converted.

long.webm: the converter was stopped before it finished" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tlong.webm\t%s\\' "$(winpath "$s17")")" "$(rows)"
    expect_files "$s17" long.webm
}

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

# --- Kestrova itself ended from outside (Task Manager, a crash) mid-conversion ------------
# A converter at work on the file named, whatever comes before its "-i".
converter_on() { pgrep -f -- "-i .*$1" >/dev/null; }

kestrova_ended_from_outside() { # DIR
    local s21=$1
    converting_long_file "$s21" "no progress seen before ending Kestrova" || return 1
    converter_on 's21.long\.webm' || fail "no converter seen at work on long.webm"
    probe crash Kestrova >/dev/null || { fail "Kestrova.exe could not be ended from outside"; return 1; }
    local waited
    for waited in $(seq 20); do
        converter_on 's21.long\.webm' || break
        sleep 0.5
    done
    if converter_on 's21.long\.webm'; then
        fail "the converter still runs $((waited / 2)) s after Kestrova.exe was ended"
        pkill -f -- "-i .*s21.long\.webm" || true
        return 0
    fi
    echo "    converter gone within $((waited / 2)) s of Kestrova.exe" >&2
    # Whatever it left is not written to any more.
    local sizes
    sizes=$(cd "$s21" && stat -c '%n %s' -- *)
    sleep 1
    expect_eq "files and sizes in s21 a second later" "$sizes" "$(cd "$s21" && stat -c '%n %s' -- *)"
}

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

# "When done: Close Kestrova", chosen from the keyboard while the batch runs, ends the program
# once the batch has run to its end, with its file converted; the choice is kept in the settings
# at once.
when_done_close_kestrova() { # DIR
    local key='HKCU\Software\Tamblin\Kestrova' dir=$1
    long_webm "$dir"
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

# --- several files converting side by side ------------------------------------------------------
# Each scenario has its own files, a copy of the program beside the scripted converter where it
# needs one, and the hidden setting that fixes how many files run at once, removed again at the
# end.
side_duration='err Input #0, matroska,webm, from '"'"'x.webm'"'"':\n  Duration: 00:00:20.00, start: 0.000000, bitrate: 800 kb/s\n'
side_script() { # DIR NAME LINE...: a stand-in script as the file DIR/files/NAME
    printf '%s\n' "$side_duration" "${@:3}" >"$1/files/$2"
}
# The closing totals a converter prints when it has finished a file.
side_totals='err \nvideo:300kB audio:30kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 1.0%\n'

side_at_once() { # N, or "" for the machine's own choice
    if [ -n "$1" ]; then
        wine reg add 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /t REG_DWORD /d "$1" /f \
            >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /f >/dev/null 2>&1 || true
    fi
}
# The captions "name (n of N):" the progress window shows now, one a line.
side_captions() { probe texts Converting | cut -f4 | grep -P '^.+ \(\d+ of \d+\):$' || true; }
side_await_captions() { # COUNT: waits until that many file lines show
    local i
    for i in $(seq 60); do
        [ "$(side_captions | wc -l)" -eq "$1" ] && return 0
        sleep 0.25
    done
    fail "never $1 file lines in the progress window: [$(side_captions | paste -sd'|')]"
    return 1
}

side_crash_beside_good() { # DIR
    local side=$1
    fake_converter_program "$side"
    mkdir -p "$side/files"
    # Long enough to be seen running three at once on a busy machine.
    side_script "$side" good1.webm create 'status 20000 1000 400' "$side_totals" 'exit 0'
    side_script "$side" crash.webm create 'status 5000 1000 400' 'crash 3221225477'
    side_script "$side" good2.webm create 'status 20000 1000 400' "$side_totals" 'exit 0'
    side_script "$side" good3.webm create 'status 20000 2000 100' "$side_totals" 'exit 0'
    side_at_once 3
    start_kestrova "$side/bin" || return 1
    add_by_dialog "$(winpath "$side/files")\\" '"good1.webm" "crash.webm" "good2.webm" "good3.webm"' || return 1
    press_convert || return 1
    side_await_captions 3 && shot 23-progress-three-files
    await_summary || return 1
    shot 23-summary
    expect_eq "summary" "The conversion is finished. Some files were not converted.

crash.webm: the converter stopped unexpectedly (exit code 0xC0000005)" "$summary"
    dismiss_summary
    expect_eq "rows left" "$(printf '2\tcrash.webm\t%s\\' "$(winpath "$side/files")")" "$(rows)"
    expect_files "$side/files" crash.webm good1.avi good1.webm good2.avi good2.webm good3.avi \
        good3.webm
    side_at_once ""
}

side_cancel_with_four_running() { # DIR
    local side=$1 name
    fake_converter_program "$side"
    mkdir -p "$side/files"
    for name in a b c d e; do
        side_script "$side" "$name.webm" create 'status 4000 1000 100' 'sleep 30000' 'exit 0'
    done
    side_at_once 4
    start_kestrova "$side/bin" || return 1
    add_by_dialog "$(winpath "$side/files")\\" '"a.webm" "b.webm" "c.webm" "d.webm" "e.webm"' || return 1
    press_convert || return 1
    side_await_captions 4 || { abandon_batch; return 1; }
    sleep 0.8 # every bar has moved by now
    shot 24-progress-four-files
    local started=$SECONDS
    click_cancel || return 1
    probe gone 2 Converting || { fail "the progress window did not close within 2 s of the cancel"; abandon_batch; return 1; }
    echo "    closed $((SECONDS - started)) s after the cancel (whole seconds)" >&2
    if probe wait 2 Information >/dev/null 2>&1; then
        fail "a summary box came after the cancel: $(probe message Information)"
        dismiss_summary
    fi
    for name in a b c d; do
        ! converter_running "$name.webm" || fail "the converter of $name.webm still runs after the cancel"
    done
    local folder
    folder=$(winpath "$side/files")\\
    expect_eq "rows after the cancel" "$(printf '2\t%s\t%s\n' a.webm "$folder" b.webm "$folder" \
        c.webm "$folder" d.webm "$folder"; printf '1\te.webm\t%s' "$folder")" "$(rows)"
    expect_files "$side/files" a.webm b.webm c.webm d.webm e.webm
    side_at_once ""
}

side_one_file_as_today() { # DIR
    local side=$1
    mkdir -p "$side/real"
    cp "$samples/long.webm" "$side/real/only.webm"
    side_at_once ""
    start_kestrova "$bin" || return 1
    add_file "$side/real/only.webm" || return 1
    press_convert || return 1
    expect_progress_shown 25-progress-one-file || return 1
    expect_eq "file lines" "only.webm (1 of 1):" "$(side_captions)"
    expect_eq "percentage labels" 2 "$(probe texts Converting | grep -cP '^Static\t\w+\t\w+\t\d+%$')"
    [ -z "$(probe control Converting "$(control_id IDC_FILELINES)" 2>/dev/null)" ] ||
        fail "a second file line is there for a batch of one file"
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
}

# --- a big folder: listed while the window keeps answering ----------------------------------
# Enough that listing takes several of the watcher's questions, 50 ms apart (25,000 files list in
# about a second on this machine).
big_folder_count=25000

big_folder_listed() { # DIR
    local s26=$1 watched rows_seen first last i
    mkdir -p "$s26/Big"
    # Listing reads no file's content; written by the shell itself, not one process per file.
    for ((i = 1; i <= big_folder_count; i++)); do printf 'webm' >"$s26/Big/clip $i.webm"; done
    # The watcher is waiting for the window before the program starts, so that it sees the
    # whole add; the program then starts with the folder as "Send to" gives it.
    probe grows 120 "$big_folder_count" >"$s26/grows.txt" 2>&1 &
    local watcher=$!
    sleep 1
    (cd "$bin" && exec wine Kestrova.exe "$(winpath "$s26/Big")") </dev/null \
        >>"$work/kestrova.log" 2>&1 &
    kestrova_pid=$!
    wait "$watcher" || fail "the watcher failed: $(tr '\n' ' ' <"$s26/grows.txt")"
    watched=$(cat "$s26/grows.txt")
    echo "    $(tr '\n' ' ' <<<"$watched")" >&2
    expect_eq "rows counted while listing" "rows $big_folder_count" "$(grep '^rows' <<<"$watched")"
    # It answered while the rows were still coming, not only once they were all there.
    local answers
    answers=$(awk '$1 == "answers" { print $2 }' <<<"$watched")
    [ "${answers:-0}" -ge 2 ] ||
        fail "the window answered fewer than twice while listing: $watched"
    probe idle 30 Kestrova || { fail "the window is not ready after listing"; return 1; }
    rows_seen=$(rows)
    expect_eq "rows listed" "$big_folder_count" "$(wc -l <<<"$rows_seen")"
    first=$(head -n1 <<<"$rows_seen" | cut -f2)
    last=$(tail -n1 <<<"$rows_seen" | cut -f2)
    expect_eq "first and last row, in natural order" "clip 1.webm clip $big_folder_count.webm" \
        "$first $last"
    expect_eq "the label once listed" "WebM files to convert:" \
        "$(probe texts Kestrova | awk -F'\t' '$4 ~ /files to convert/ { print $4 }')"
    shot 26-big-folder-listed
}

# --- the windows in other languages ---------------------------------------------------------
# A text of the string table as a language's resources give it.
translated_string() { # TAG ID
    sed -n "s/^ *$2 \"\(.*\)\"\$/\1/p" "$root/resources/lang/$1.rc" | head -n 1 | sed 's/""/"/g'
}

# German, Russian and Japanese, each driven once through a whole conversion: the main window's
# button, the summary box's caption and its sentence in that language, the AVI written.
translated_windows() { # DIR
    local dir=$1 lang convert info finished texts
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v UseCount /t REG_DWORD /d 5 /f </dev/null \
        >/dev/null 2>&1
    for lang in de ru ja; do
        mkdir -p "$dir/$lang"
        cp "$samples/vp8-vorbis.webm" "$dir/$lang/clip.webm"
        convert=$(translated_string "$lang" IDS_CONVERTTOAVI)
        info=$(translated_string "$lang" IDS_INFORMATION)
        finished=$(translated_string "$lang" IDS_CONVERSIONFINISHED)
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

# --- the end of the session while converting --------------------------------------------------
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

# --- the scenarios, by ID ----------------------------------------------------------------------

# --- a small volume that fills while the converter writes the AVI's closing index -------------
# FFmpeg then says "Error writing trailer ...: No space left on device" and still ends with 0.
# A tmpfs sized between the data and the index, reached through Z: as the "Other:" folder: no
# clip.avi may appear, the row stays failed, and its reason says the disk is full. Sizes are
# measured first by converting the same clip with the same converter and options.
disk_full_at_the_trailer() { # DIR
    local s=$1
    mkdir -p "$s/src" "$s/measure" "$s/out"
    cp "$samples/long.webm" "$s/src/clip.webm"
    (cd "$s/measure" && timeout 300 wine "$bin/ffmpeg.exe" -nostdin -y -i "$(winpath "$s/src/clip.webm")" \
        -q:v 2 -vtag XVID -threads 2 clip.avi </dev/null >convert.log 2>&1) ||
        { fail "the measuring conversion failed"; return 1; }
    local total index size
    total=$(stat -c %s "$s/measure/clip.avi")
    index=$(LC_ALL=C grep -boa idx1 "$s/measure/clip.avi" | tail -n 1 | cut -d: -f1)
    # Whole pages for the data and one more for slack; the index must not fit in what is left.
    size=$(((index + 4095) / 4096 * 4096 + 4096))
    echo "    AVI $total bytes, index from $index: a volume of $size bytes"
    [ "$size" -lt "$total" ] || { fail "the index ($((total - index)) bytes) is too small to fill a volume at"; return 1; }
    if ! mount -t tmpfs -o "size=$size" kestrova-e2e-full "$s/out" 2>"$s/mount.log"; then
        echo "    skipped: a tmpfs cannot be mounted here ($(head -n 1 "$s/mount.log"))"
        return 0
    fi
    local rc=0
    disk_full_run "$s" || rc=$?
    kestrova_stop # nothing of it may keep the volume busy
    umount "$s/out" || umount -l "$s/out" || fail "the tmpfs at $s/out could not be unmounted"
    return "$rc"
}

disk_full_run() { # DIR, with DIR/out the small volume
    local s=$1 folder
    folder=$(winpath "$s/out")
    start_kestrova "$bin" "$(winpath "$s/src/clip.webm")" || return 1
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    xdotool type --delay 12 "$folder"
    press_convert || return 1
    await_summary || return 1
    shot 29-summary-disk-full
    expect_files "$s/out"
    grep -qxF "clip.webm: the disk is full: the AVI file did not fit in $folder" <<<"$summary" ||
        fail "the summary does not say the disk is full: [$summary]"
    dismiss_summary
    expect_eq "rows after the full disk" "$(printf '2\tclip.webm\t%s\\' "$(winpath "$s/src")")" "$(rows)"
}

scenarios=(
    "1|two files, same folder|two_files_same_folder"
    "2|second run, names taken|names_taken"
    "3|corrupt file among good ones|corrupt_among_good"
    "4a|cancel with Esc during a long file|cancel_with_escape"
    "4b|cancel with the Cancel button during a long file|cancel_with_button"
    "5|other output folder|other_folder"
    "6|started with a file, a folder and a long path|started_with_paths"
    "7|started with a missing file|started_with_missing_file"
    "8a|silent converter, cancelled with Esc|silent_cancel_escape"
    "8b|silent converter, cancelled with the Cancel button|silent_cancel_click"
    "9|converter crashes, or writes nothing|converter_crashes"
    "10|no converter beside the program|missing_converter"
    "11|Other: folder missing or relative|other_folder_missing_or_relative"
    "12|failure reasons: summary, tooltip, Details|failure_reasons_shown"
    "13|10-bit AV1, and a file that ends early|av1_10bit_and_half_file"
    "14|real-world flavours|real_world_flavours"
    "15|awkward names|awkward_names"
    "16|a listed file gone before Convert|vanished_before_convert"
    "17|converter stopped from outside|converter_stopped_from_outside"
    "18|a stand-in takes the name, then runs the real converter|standin_takes_the_name"
    "19|a selection in Explorer becomes one list|selection_becomes_one_list"
    "20|a converting window takes no selection|selection_while_converting"
    "21|Kestrova ended from outside mid-conversion|kestrova_ended_from_outside"
    "22|when done: Close Kestrova|when_done_close_kestrova"
    "23|several at once: a crash beside good files|side_crash_beside_good"
    "24|Cancel with four files running|side_cancel_with_four_running"
    "25|a batch of one file, as always|side_one_file_as_today"
    "26|a big folder is listed while the window answers|big_folder_listed"
    "27|the windows in German, Russian and Japanese|translated_windows"
    "28|the end of the session while converting|session_end_while_converting"
    "29|a small volume fills at the trailer|disk_full_at_the_trailer"
    "30|Kestrova ended mid-batch, started again|list_survives_a_kill"
)

# Whether the scenario ID NAME is asked for: by the IDs given ("4" is 4a and 4b), or by
# KESTROVA_E2E_ONLY.
wanted_scenario() { # ID NAME
    local want
    if [ ${#wanted[@]} -gt 0 ]; then
        for want in "${wanted[@]}"; do
            [[ $1 == "$want" || $1 =~ ^${want}[a-z]$ ]] && return 0
        done
        return 1
    fi
    [ -z "${KESTROVA_E2E_ONLY:-}" ] || [[ "$1 $2" =~ $KESTROVA_E2E_ONLY ]]
}

for want in "${wanted[@]}"; do
    known=
    for entry in "${scenarios[@]}"; do
        id=${entry%%|*}
        [[ $id == "$want" || $id =~ ^${want}[a-z]$ ]] && known=1
    done
    [ -n "$known" ] || { echo "e2e: no scenario $want (see the list at the end of $0)" >&2; exit 2; }
done

echo "e2e: display $DISPLAY, prefix $WINEPREFIX, files in $work"
for entry in "${scenarios[@]}"; do
    IFS='|' read -r id name function <<<"$entry"
    wanted_scenario "$id" "$name" && run_scenario "$id" "$name" "$function"
done

scenario=summary
if [ ${#scenario_times[@]} -gt 1 ]; then
    echo "e2e: the slowest scenarios:"
    printf '%s\n' "${scenario_times[@]}" | sort -rn | head -n 8 | sed 's/^/  /'
fi
if [ ${#failures[@]} -gt 0 ]; then
    echo "e2e: ${#failures[@]} check(s) failed:" >&2
    printf '  %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "e2e: all scenarios passed"
