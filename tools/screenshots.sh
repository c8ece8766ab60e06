#!/usr/bin/env bash
# Screenshots of the main window at 96 and 144 DPI, empty and with rows, for looking at by eye;
# also the progress window (and its "When done:" list), the About box, the countdown before the
# computer sleeps, a summary listing failures, the Details box and the message when a file cannot
# be played; in English and, with the same steps, in other languages (files named
# <language>-..., e.g. de-main-96-empty.png).
# Runs the real Kestrova.exe under Xvfb in a throw-away Wine prefix and works it with the
# keyboard as a person would (xdotool): the rows come in through the Add dialog.
#   tools/screenshots.sh [BUILD_DIR]      (default build/win; shots land in BUILD_DIR/../screenshots)
#   KESTROVA_SHOT_LANGUAGES="en de ru ja" and KESTROVA_SHOT_DPIS="96 144" (the defaults) choose.
# Needs xvfb, xdotool and imagemagick.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/win}" && pwd)
exe=$build/bin/Kestrova.exe
[ -f "$exe" ] || { echo "screenshots: $exe is missing; build first" >&2; exit 1; }
out=$root/build/screenshots
files=$out/files
mkdir -p "$out" "$files"

for tool in Xvfb xdotool import ffmpeg; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

# A few source files with realistic names: ten minutes of real video each (the one-minute sample
# looped, not re-encoded), so the progress window can be caught mid-run with its time left.
sample=$build/bin/samples/long.webm
[ -f "$sample" ] || { echo "screenshots: $sample is missing; build first" >&2; exit 1; }
ffmpeg -v error -nostdin -y -stream_loop 9 -i "$sample" -c copy "$files/long.webm"
for name in "Holiday at the lake.webm" "interview-2024-03.webm" "Ärger im Büro.webm" \
    "screen recording 17.WEBM"; do
    cp "$files/long.webm" "$files/$name"
done
rm "$files/long.webm"
# Files that fail, or end early, beside a good one: for the summary listing failures and Details.
failing=$out/failing
rm -rf "$failing"
mkdir -p "$failing"
cp "$build/bin/samples/corrupt.webm" "$failing/Holiday at the lake.webm"
echo "not a video" >"$failing/notes.webm"
cp "$build/bin/samples/vp8-vorbis.webm" "$failing/interview-2024-03.webm"
head -c $(($(stat -c %s "$sample") / 2)) "$sample" >"$failing/download (stopped).webm"
probe() { kestrova_wine_query 150 "$build/bin/kestrova_probe.exe" "$@"; }

export KESTROVA_WINEPREFIX=$build/screenshot-prefix

shot() { # NAME: the virtual desktop, and the window cut out of it
    sleep 0.8
    import -window root "$out/$1-full.png"
    # The desktop is one flat colour; trimming it leaves the windows.
    convert "$out/$1-full.png" -fuzz 2% -trim +repage "$out/$1.png"
    echo "wrote $out/$1.png"
}

key() { xdotool key --delay 80 "$@"; sleep 0.5; }

# Waits (up to a minute) until something is drawn on the flat desktop: a loaded machine can take
# longer than a few seconds to show the window.
shown() {
    local i
    for i in $(seq 60); do
        sleep 1
        import -window root "$out/.probe.png"
        [ -n "$(convert "$out/.probe.png" -fuzz 2% -format '%@' info: 2>/dev/null | grep -v '^0x0')" ] &&
            break
    done
    sleep 2
}

# Identifiers by name, from the list the build makes of resources/resource.h.
ids=$build/generated/resource-ids.txt
[ -f "$ids" ] || { echo "screenshots: $ids is missing; build first" >&2; exit 1; }
id_of() { awk -v name="$1" '$1 == name { print $2 }' "$ids"; }
exe_path="Z:${exe//\//\\}"
# A string of a language's table as Kestrova.exe holds it (for finding its windows by caption).
string_of() { probe string "$exe_path" "$1" "$(id_of "$2")"; } # TAG ID-NAME
# A dialog's caption, or one of its controls' text, as Kestrova.exe holds it in a language.
dialog_text_of() { probe dialogtext "$exe_path" "$1" "$(id_of "$2")" ${3:+"$(id_of "$3")"}; }

for lang in ${KESTROVA_SHOT_LANGUAGES:-en de ru ja}; do
  # The program in that language, and Wine in that locale where one is at hand.
  export KESTROVA_LANGUAGE=$lang
  case $lang in
  de) export LANG=de_DE.UTF-8 ;;
  ru) export LANG=ru_RU.UTF-8 ;;
  ja) export LANG=ja_JP.UTF-8 ;;
  *) export LANG=C.UTF-8 ;;
  esac
  tag=$lang-
  [ "$lang" = en ] && tag=
  for dpi in ${KESTROVA_SHOT_DPIS:-96 144}; do
    export KESTROVA_DPI=$dpi
    unset DISPLAY
    # shellcheck source=tools/wine-env.sh
    source "$root/tools/wine-env.sh" --display
    # Wine reads the DPI from the user's desktop settings when its server starts.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    # A counted start, so closing does not open the web site.
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v UseCount /t REG_DWORD /d 5 /f >/dev/null 2>&1
    information=$(string_of "$lang" IDS_INFORMATION)
    not_converted=$(string_of "$lang" IDS_DETAILSCAPTION)
    converting=$(dialog_text_of "$lang" IDD_PROGRESS)
    # The access key of "When done:", as a lower-case letter xdotool can press.
    when_done_key=$(dialog_text_of "$lang" IDD_PROGRESS IDC_LBLWHENDONE |
        sed -n 's/^[^&]*&\(.\).*/\1/p' | tr '[:upper:]' '[:lower:]')
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    sleep 0.3

    # Wine's own virtual desktop draws the window frames (Xvfb has no window manager).
    (cd "$build/bin" && exec setsid wine explorer /desktop=kestrova,1280x900 Kestrova.exe) \
        </dev/null >/dev/null 2>&1 &
    shown
    shot "${tag}main-$dpi-empty"

    # Activate the window with a click on its caption; from there on, the keyboard only.
    read -r w h x y < <(convert "$out/${tag}main-$dpi-empty-full.png" -fuzz 2% -format '%@\n' info: |
        tr 'x+' '  ')
    xdotool mousemove $((x + w / 2)) $((y + 10 * dpi / 96)) click 1
    sleep 0.5
    # Add... has the focus: open the dialog, go to the folder, choose every file in it.
    key Return
    sleep 1.5
    xdotool type --delay 20 "Z:${files//\//\\}\\"
    key Return
    key shift+Tab Home shift+End
    key Return
    sleep 1
    # Into the list (last in the tab order); select the first and third rows.
    key shift+Tab Home ctrl+Down ctrl+Down ctrl+space
    shot "${tag}main-$dpi-rows"

    # "Other:" chosen: the box and its button come alive.
    key Tab Tab Tab Tab Tab Down
    shot "${tag}main-$dpi-other"

    # The About box.
    key shift+Tab Return
    shot "${tag}about-$dpi"
    key Return

    # From About along the tab order (the folder, its box and button, the player choice) to
    # Convert, into the "Other:" folder; caught mid-run, then
    # cancelled with Esc.
    rm -f "$WINEPREFIX"/drive_c/users/*/Videos/*.avi
    # Two files at a time, then (Convert again, which keeps the focus) four.
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /t REG_DWORD /d 2 /f \
        >/dev/null 2>&1
    key Tab Tab Tab Tab Tab Return
    # The time left comes a few seconds in.
    sleep 8
    shot "${tag}progress-$dpi"
    # "When done:" opened from the keyboard (its access key, then the list), closed again. A key
    # of another script than Latin xdotool cannot press here: Tab goes from Cancel to the list.
    if [[ $when_done_key =~ ^[a-z]$ ]]; then
        key "alt+$when_done_key" alt+Down
    else
        key Tab alt+Down
    fi
    shot "${tag}progress-$dpi-whendone"
    key Escape
    key Escape
    sleep 2
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /t REG_DWORD /d 4 /f \
        >/dev/null 2>&1
    key Return
    sleep 8
    shot "${tag}progress-four-$dpi"
    key Escape
    sleep 2
    wine reg delete 'HKCU\Software\Tamblin\Kestrova' /v ConversionsAtOnce /f >/dev/null 2>&1

    key alt+F4
    sleep 1

    # Started with the failing files as Explorer starts it; Convert clicked; the summary that
    # lists the failures, then Details... of the first failed row, opened from the keyboard.
    # A fresh wineserver: the first run's windows are all gone.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    sleep 0.3
    # "When done: Sleep", so the batch's end brings the countdown; Cancel keeps the computer on.
    wine reg add 'HKCU\Software\Tamblin\Kestrova' /v WhenDone /t REG_DWORD /d 2 /f >/dev/null 2>&1
    args=()
    for f in "$failing"/*.webm; do args+=("Z:${f//\//\\}"); done
    # On the desktop the probe's own windows join, so it sees the program's.
    (cd "$build/bin" && exec setsid wine explorer /desktop=Default,1280x900 Kestrova.exe \
        "${args[@]}") </dev/null >/dev/null 2>&1 &
    probe idle 30 Kestrova || { import -window root "$out/${tag}failed-start-$dpi.png"; exit 1; }
    read -r x y < <(probe control Kestrova "$(id_of IDC_BTNCONVERT)")
    xdotool mousemove "$x" "$y" click 1
    # The progress window takes a moment to come up on a loaded machine; its end is the cue.
    probe wait 60 "$converting" >/dev/null || true
    probe gone 120 "$converting"
    shot "${tag}countdown-$dpi"
    key Return
    probe wait 120 "$information" >/dev/null
    sleep 2
    shot "${tag}summary-failures-$dpi"
    key Return
    read -r x y < <(probe row 0)
    xdotool mousemove "$x" "$y" click 1
    key shift+F10 Up Return
    probe wait 10 "${not_converted//%1/$(probe rows | head -1 | cut -f2)}" >/dev/null
    shot "${tag}details-$dpi"
    key Return
    # Play on a row Windows has no player for (a fresh prefix has none): the reason, named.
    read -r x y < <(probe row 0)
    xdotool mousemove "$x" "$y" click 1
    key Return
    sleep 1
    probe message Kestrova || true
    shot "${tag}play-failed-$dpi"
    key Return
    key alt+F4
    sleep 1
    kestrova_wine_stop
  done
done
echo "screenshots in $out"
