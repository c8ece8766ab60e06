# shellcheck shell=bash disable=SC2154,SC2034 # the variables are run.sh's, and the scenarios'
# What the end-to-end scenarios share, sourced by tests/e2e/run.sh: the display and the Wine
# prefix they run on, starting and working Kestrova.exe, reading it back through the probe
# (kestrova_probe.exe), the checks, and the files and stand-ins several scenarios use. A helper
# that one scenario alone uses lives in that scenario's file (tests/e2e/scenarios/).
#
# run.sh sets, before sourcing: root, build, bin, probe_exe, samples, work, shots, ids_file.

failures=()
scenario=setup
xvfb_pid=

fail() {
    echo "FAIL [$scenario] $*" >&2
    failures+=("[$scenario] $*")
}

# --- display and Wine ---------------------------------------------------------------------------
# Xvfb with ä and Ä on the key left of Z: xdotool would otherwise remap a spare key for each such
# letter while typing, and Wine reads the changed map too late: the letter is lost. -noreset keeps
# the map when the last client leaves.
e2e_start_display() {
    Xvfb -displayfd 3 -screen 0 1280x900x24 -dpi 96 -nolisten tcp -noreset \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "e2e: Xvfb did not start (see $work/xvfb.log)" >&2; return 2; }
    DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
    export DISPLAY
    xkbcomp -w0 "$DISPLAY" "$work/keymap.xkb"
    awk '/^ *key <LSGT> *\{/ { print "    key <LSGT> { [ adiaeresis, Adiaeresis ] };"
                               skip = $0 !~ /\};/; next }
         skip { if ($0 ~ /\};/) skip = 0; next }
         { print }' "$work/keymap.xkb" >"$work/keymap-e2e.xkb"
    xkbcomp -w0 "$work/keymap-e2e.xkb" "$DISPLAY"
}

# A prefix of the run's own, Wine's desktop window (no window manager on this display), and a
# fresh account as far as the program is concerned.
e2e_start_wine() {
    export KESTROVA_WINEPREFIX=${KESTROVA_E2E_WINEPREFIX:-$build/e2e-wineprefix}
    export KESTROVA_PROBE=$probe_exe
    # shellcheck source=tools/wine-env.sh
    source "$root/tools/wine-env.sh"
    kestrova_wine_desktop
    wine reg delete 'HKCU\Software\Tamblin' /f </dev/null >/dev/null 2>&1 || true
}

e2e_cleanup() {
    if declare -F kestrova_stop >/dev/null; then kestrova_stop; fi
    if declare -F kestrova_wine_stop >/dev/null; then kestrova_wine_stop; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}

# --- the scenarios' list ------------------------------------------------------------------------
# Each scenario file registers its scenarios; run.sh runs them in the order registered (the files'
# numbers).
scenarios=()
register_scenario() { # ID NAME FUNCTION
    scenarios+=("$1|$2|$3")
}

# --- working the program, reading it back, checking --------------------------------------------
probe() { kestrova_wine_query 150 "$probe_exe" "$@"; }

# Windows form of a path under Wine's Z: drive.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

shot() {
    import -window root "$shots/e2e-$1.png"
    echo "    screenshot $shots/e2e-$1.png" >&2
}

# A resource identifier by its name, from the list the build makes of resources/resource.h
# ($ids_file: NAME VALUE lines); IDCANCEL is the system's own 2.
resource_id() { # NAME
    [ "$1" = IDCANCEL ] && { echo 2; return; }
    awk -v name="$1" '$1 == name { print $2 }' "$ids_file"
}

# A left click in the middle of a window's control, found by its identifier.
click() { # TITLE CONTROL-NAME
    local id x y
    id=$(resource_id "$2")
    [ -n "$id" ] || { fail "no identifier $2 in $ids_file"; return 1; }
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

# A text of the string table as Kestrova.exe holds it in a language ("en", "de", ...), by the
# string's identifier name.
translated_string() { # TAG ID-NAME
    local id
    id=$(resource_id "$2")
    [ -n "$id" ] || { fail "no identifier $2 in $ids_file"; return 1; }
    probe string "$(winpath "$bin/Kestrova.exe")" "$1" "$id"
}

# --- sources and ways of stopping a batch ---------------------------------------------------
# Two sources in folders of their own, one with a non-ASCII name.
two_sources() { # DIR
    mkdir -p "$1/My clips (ä)" "$1/plain"
    cp "$samples/vp8-vorbis.webm" "$1/My clips (ä)/clip one.webm"
    cp "$samples/vp9-opus.webm" "$1/plain/second.webm"
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

# --- a selection in Explorer: the verb's own command, run once per file, all at once (19, 20)
# The verb's command as Setup writes it into the registry, for the program built here. Read from
# the installer's script: the built installer holds it compressed.
selection_verb() {
    local verb
    verb=$(sed -n "s/^ *WriteRegStr HKCU \"\${VERB_KEY}\\\\command\" \"\" '\(.*\)'\$/\1/p" \
        "$root/installer/Kestrova.nsi")
    printf '%s' "${verb//\$INSTDIR/$(winpath "$bin")}"
}

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
    probe starts 120 "$stay" "$(selection_verb)" "$@"
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

# --- stand-in converters beside a copy of the program ---------------------------------------
# A converter that goes silent, or crashes: the scripted stand-in beside a copy of the program
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

# Kestrova itself ended from outside (Task Manager, a crash) mid-conversion
# A converter at work on the file named, whatever comes before its "-i".
converter_on() { pgrep -f -- "-i .*$1" >/dev/null; }

# Several files converting side by side
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
