#!/usr/bin/env bash
# End-to-end runs of Kestrova.exe worked as a user works it: the real program and its real
# ffmpeg.exe under Wine, files added through the Add dialog by typing their paths, buttons
# clicked where the window layout puts them (xdotool), results read back from the running
# program (kestrova_probe.exe) and from the disk (ffprobe).
#
#   tests/e2e/run.sh <build-dir> [ID...]  e.g. build/win; needs its bin/ with Kestrova.exe,
#                                         ffmpeg.exe, fake_ffmpeg.exe, kestrova_probe.exe and
#                                         samples/, and generated/resource-ids.txt
# Given IDs (numbers as the scenarios register them: "12", "4a"; "4" is 4a and 4b), it runs those
# scenarios alone; each makes its own files in a folder of its own and starts the program itself.
# KESTROVA_E2E_ONLY=REGEX runs only the scenarios whose "ID name" match.
#
# One file a scenario, tests/e2e/scenarios/NN-name.sh, run in the order of their numbers; what
# they share is tests/e2e/lib.sh. Control identifiers come from the list the build makes of
# resources/resource.h, texts of the string table from the built Kestrova.exe itself.
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
ids_file=$build/generated/resource-ids.txt
for f in "$bin/Kestrova.exe" "$bin/ffmpeg.exe" "$bin/fake_ffmpeg.exe" "$probe_exe" "$samples/vp8-vorbis.webm" \
    "$samples/vp9-opus.webm" "$samples/long.webm" "$samples/corrupt.webm" "$ids_file"; do
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

# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
for file in "$root"/tests/e2e/scenarios/[0-9]*.sh; do
    # shellcheck source=/dev/null
    source "$file"
done

for want in "${wanted[@]}"; do
    known=
    for entry in "${scenarios[@]}"; do
        id=${entry%%|*}
        [[ $id == "$want" || $id =~ ^${want}[a-z]$ ]] && known=1
    done
    [ -n "$known" ] || { echo "e2e: no scenario $want (see tests/e2e/scenarios)" >&2; exit 2; }
done

trap e2e_cleanup EXIT
trap 'exit 130' INT TERM
e2e_start_display || exit 2
e2e_start_wine

# Each scenario's commands are traced to $work/trace.log: one that stops early shows the last
# of them, so a failed check that said nothing can still be placed.
exec {trace_fd}>>"$work/trace.log"
BASH_XTRACEFD=$trace_fd
PS4='+ line ${LINENO}: '

scenario_times=()

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
