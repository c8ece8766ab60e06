#!/usr/bin/env bash
# Kestrova-<version>-setup.exe worked as a user works it, under Wine, in a Wine prefix of its own that
# starts empty ($KESTROVA_INSTALLER_WINEPREFIX, default <build-dir>/installer-prefix):
#   - refused, silently and with a message naming the program, while the installed Kestrova runs;
#   - run silently, it puts every file, shortcut and registry value in place;
#   - the Start menu and "Send to" shortcuts start the installed program, and its ffmpeg.exe
#     converts a sample;
#   - uninstalling is refused while Kestrova runs;
#   - the uninstaller run as Windows runs it leaves the account as it was before, but for
#     Kestrova's own settings key, which it keeps;
#   - an unpacked copy of Kestrova running elsewhere does not block it; the installed one does,
#     and Setup's message names it;
#   - an update with a file held open fails and leaves the installation as it was; a copied
#     uninstaller changes nothing; a changed file outlives the uninstaller; a second folder moves
#     the installation; run by hand, Setup offers to update; the user's own shortcuts stay; a
#     full disk during an update leaves the installation as it was;
#   - given a folder of the user's, Setup installs into a Kestrova folder inside it (and its
#     directory page shows that folder before it goes on), updates that
#     installation in place, refuses when that folder too holds other files, and neither Setup nor
#     the uninstaller touches a file of the user's, even one put into the installation.
#
#   tests/installer/run.sh <build-dir>     e.g. build/win, after its package_installer target
#
# Always on a virtual display of its own, so no other program's window named Kestrova can answer
# for this one. Exit code 0 when every check passed,
# 1 when any failed, 2 when the run could not start.
set -euo pipefail
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 <build-dir>" >&2; exit 2; }
build=$(cd "$1" && pwd)
[ -f "$build/version.txt" ] || { echo "installer test: $build is not a configured build" >&2; exit 2; }
version=$(cat "$build/version.txt") # written by CMake from project()
setup=$build/Kestrova-$version-setup.exe
stage=$build/package/Kestrova-$version-win64
bin=$build/bin
sample=$bin/samples/vp8-vorbis.webm
for f in "$setup" "$stage/Kestrova.exe" "$bin/Kestrova.exe" "$bin/kestrova_message_text.exe" \
    "$bin/kestrova_shell_helper.exe" "$sample"; do
    [ -f "$f" ] || { echo "installer test: $f is missing; build package_installer first" >&2; exit 2; }
done
for tool in wine xdotool ffprobe iconv timeout; do
    command -v "$tool" >/dev/null || { echo "installer test: $tool is missing (tools/setup.sh)" >&2; exit 2; }
done

work=$build/installer-test
rm -rf "$work"
mkdir -p "$work"
failures=()
scenario=setup
fail() {
    echo "FAIL [$scenario] $*" >&2
    failures+=("[$scenario] $*")
}
expect_eq() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# --- Wine: a fresh prefix; shortcuts stay inside it ---------------------------------------------
export KESTROVA_WINEPREFIX=${KESTROVA_INSTALLER_WINEPREFIX:-$build/installer-prefix}
rm -rf "$KESTROVA_WINEPREFIX"
# winemenubuilder would copy the Start menu shortcut into the Linux desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
small_mounted=
cleanup() {
    if declare -F kestrova_wine_stop >/dev/null; then kestrova_wine_stop; fi
    if [ -n "$small_mounted" ]; then umount "$small_mounted" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# shellcheck source=tools/wine-env.sh
unset DISPLAY
source "$root/tools/wine-env.sh" --display

unixpath() { winepath -u "$1" 2>/dev/null; }
winpath() { winepath -w "$1" 2>/dev/null; }
# %VARIABLE% of the Windows account.
winvar() { kestrova_wine_query 60 cmd /c "echo %$1%" </dev/null 2>/dev/null | tr -d '\r'; }

reg_value() { # KEY NAME: the value's data as `reg query` prints it, empty when missing
    kestrova_wine_query 60 reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; exit }'
}
reg_default() { # KEY: its default value
    kestrova_wine_query 60 reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r' |
        awk '/^ *\(Default\)/ { sub(/^ *\(Default\) +[^ ]+ +/, ""); print; exit }'
}
key_exists() { kestrova_wine_query 60 reg query "$1" </dev/null >/dev/null 2>&1; }
# Linux processes of this prefix whose command line matches: Wine shows a Windows program's own
# command line, and other prefixes on this machine may run programs of the same names.
prefix_pids() { # REGEX
    local pid
    for pid in $(pgrep -f "$1"); do
        tr '\0' '\n' 2>/dev/null </proc/"$pid"/environ | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            echo "$pid"
    done
    return 0
}

local_appdata=$(winvar LOCALAPPDATA)
appdata=$(winvar APPDATA)
install_dir="$local_appdata\\Programs\\Kestrova"
install_unix=$(unixpath "$install_dir")
programs_lnk=$(unixpath "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Kestrova.lnk")
sendto_lnk=$(unixpath "$appdata\\Microsoft\\Windows\\SendTo\\Kestrova.lnk")
profile_unix=$(unixpath "$(winvar USERPROFILE)")
[ -n "$install_unix" ] && [ -d "$profile_unix" ] ||
    { echo "installer test: cannot find the Wine account's folders" >&2; exit 2; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrova'
verb_key='HKCU\Software\Classes\SystemFileAssociations\.webm\shell\Kestrova.ConvertToAvi'
settings_key='HKCU\Software\Tamblin\Kestrova'

# --- Kestrova's window, seen from the display ---------------------------------------------------
kestrova_windows() { xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null || true; }
await_kestrova() { # SECONDS: until its main window is shown
    local i
    for ((i = 0; i < $1 * 10; i++)); do
        [ -n "$(kestrova_windows)" ] && return 0
        sleep 0.1
    done
    return 1
}
# Closed as a user closes it (WM_CLOSE), so it saves its settings and lets go of its mutex.
close_kestrova() {
    wine taskkill /im Kestrova.exe </dev/null >/dev/null 2>&1 || true
    local i
    for ((i = 0; i < 300; i++)); do
        [ -z "$(kestrova_windows)" ] && [ -z "$(prefix_pids 'Kestrova\.exe')" ] && return 0
        sleep 0.1
    done
    fail "Kestrova did not close"
    local pids
    pids=$(prefix_pids 'Kestrova\.exe')
    [ -z "$pids" ] || kill $pids 2>/dev/null || true
}
start_in() { # DIR PROGRAM ARGS...: a Windows program started in the background, as Explorer does
    local dir=$1
    shift
    (cd "$dir" && exec wine "$@") </dev/null >>"$work/programs.log" 2>&1 &
}

# Every file of the account but temporary ones, and the whole of HKEY_CURRENT_USER.
snapshot() { # NAME
    (cd "$profile_unix" && find . -path ./AppData/Local/Temp -prune -o -path ./Temp -prune -o \
        -print | sort) >"$work/$1.files"
    wine reg export HKCU "$work/$1.reg.utf16" /y </dev/null >/dev/null 2>&1
    # Wine's own bookkeeping under HKCU\Software\Wine changes whenever programs run.
    iconv -f UTF-16 -t UTF-8 "$work/$1.reg.utf16" | tr -d '\r' |
        awk '/^\[/ { skip = ($0 ~ /^\[HKEY_CURRENT_USER\\Software\\Wine(\\|\])/) } !skip' \
            >"$work/$1.reg"
}

# Keys every Windows account has, which a fresh Wine prefix lacks: setup creates values below them,
# and they stay, as on Windows.
wine reg add 'HKCU\Software\Classes' /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /f </dev/null >/dev/null 2>&1
# A user who has used Kestrova before: its settings must outlive the uninstaller.
wine reg add "$settings_key" /v UseCount /t REG_DWORD /d 5 /f </dev/null >/dev/null 2>&1
wine reg add "$settings_key" /v PlayerSafe /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
snapshot before

# --- an unpacked copy running elsewhere ----------------------------------------------------------
scenario="unpacked copy running"
# The built program stands for a copy unpacked from the zip: it uses files of its own, so Setup
# goes ahead while it runs.
start_in "$bin" Kestrova.exe
if await_kestrova 30; then
    rc=0
    timeout 120 wine "$setup" /S </dev/null >/dev/null 2>&1 || rc=$?
    expect_eq "silent Setup while an unpacked copy runs, exit code" 0 "$rc"
    [ -f "$install_unix/Kestrova.exe" ] || fail "Setup installed nothing while an unpacked copy ran"
    close_kestrova
else
    fail "the built Kestrova.exe did not show its window"
fi

# --- silent installation -------------------------------------------------------------------------
scenario="silent install"
rc=0
timeout 120 wine "$setup" /S </dev/null >"$work/setup.log" 2>&1 || rc=$?
expect_eq "Setup /S exit code" 0 "$rc"
# Run again over the installation, as an update is; the checks below then see the result.
rc=0
timeout 120 wine "$setup" /S </dev/null >>"$work/setup.log" 2>&1 || rc=$?
expect_eq "Setup /S over an installation, exit code" 0 "$rc"
for f in Kestrova.exe ffmpeg.exe README.txt SOURCES.txt; do
    cmp -s "$stage/$f" "$install_unix/$f" || fail "$f is missing or differs from the release's"
done
diff -r "$stage/licenses" "$install_unix/licenses" >/dev/null 2>&1 ||
    fail "the licences folder differs from the release's"
[ -n "$(ls "$stage/licenses")" ] || fail "the release has no licences to compare"
[ -f "$install_unix/Uninstall.exe" ] || fail "no Uninstall.exe"
extra=$(cd "$install_unix" && ls -A | grep -vxE 'Kestrova\.exe|ffmpeg\.exe|README\.txt|SOURCES\.txt|licenses|Uninstall\.exe' || true)
expect_eq "unexpected files in the program folder" "" "$extra"
[ -f "$programs_lnk" ] || fail "no Start menu shortcut ($programs_lnk)"
[ -f "$sendto_lnk" ] || fail "no \"Send to\" shortcut ($sendto_lnk)"

exe="$install_dir\\Kestrova.exe"
uninstaller="$install_dir\\Uninstall.exe"
expect_eq DisplayName Kestrova "$(reg_value "$uninstall_key" DisplayName)"
expect_eq DisplayVersion "$version" "$(reg_value "$uninstall_key" DisplayVersion)"
expect_eq Publisher "Tamblin Software" "$(reg_value "$uninstall_key" Publisher)"
expect_eq DisplayIcon "$exe,0" "$(reg_value "$uninstall_key" DisplayIcon)"
expect_eq InstallLocation "$install_dir" "$(reg_value "$uninstall_key" InstallLocation)"
expect_eq UninstallString "\"$uninstaller\"" "$(reg_value "$uninstall_key" UninstallString)"
expect_eq QuietUninstallString "\"$uninstaller\" /S" \
    "$(reg_value "$uninstall_key" QuietUninstallString)"
expect_eq NoModify 0x1 "$(reg_value "$uninstall_key" NoModify)"
expect_eq NoRepair 0x1 "$(reg_value "$uninstall_key" NoRepair)"
# Windows shows this many KB: the installed files' size, rounded either way.
size=$(reg_value "$uninstall_key" EstimatedSize)
files_kb=$(( $(find "$install_unix" -type f -printf '%s+' | sed 's/+$//') ))
files_kb=$((files_kb / 1024))
if [[ "$size" =~ ^0x[0-9a-f]+$ ]]; then
    [ $((size)) -ge $((files_kb - 16)) ] && [ $((size)) -le $((files_kb + 16)) ] ||
        fail "EstimatedSize $((size)) KB, but the files take $files_kb KB"
else
    fail "EstimatedSize is not a number: [$size]"
fi
expect_eq "context-menu text" "Convert to AVI with Kestrova" "$(reg_default "$verb_key")"
expect_eq "context-menu command" "\"$exe\" /selection \"%1\"" "$(reg_default "$verb_key\\command")"
expect_eq "context-menu selection model" "Player" "$(reg_value "$verb_key" MultiSelectModel)"
expect_eq "context-menu icon" "$exe,0" "$(reg_value "$verb_key" Icon)"

# --- the installed program ------------------------------------------------------------------------
scenario="installed program"
# The Start menu entry, opened as the Start menu opens it.
start_in "$build" start "$(winpath "$programs_lnk")"
if await_kestrova 30; then
    [ -n "$(prefix_pids 'Programs.Kestrova.Kestrova\.exe')" ] ||
        fail "the Start menu shortcut started a Kestrova.exe other than the installed one"

    scenario="uninstall while running"
    rc=0
    # In place (_?=): the exit code of the uninstaller itself, not of its copy in Temp.
    timeout 120 wine "$install_unix/Uninstall.exe" /S "_?=$install_dir" </dev/null \
        >/dev/null 2>&1 || rc=$?
    [ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] ||
        fail "silent uninstall while Kestrova runs: exit code $rc (expected non-zero, without hanging)"
    [ -f "$install_unix/Kestrova.exe" ] && [ -f "$programs_lnk" ] && key_exists "$uninstall_key" ||
        fail "the refused uninstall removed something"

    scenario="update while running"
    rc=0
    timeout 120 wine "$setup" /S </dev/null >/dev/null 2>&1 || rc=$?
    [ "$rc" -ne 0 ] && [ "$rc" -ne 124 ] ||
        fail "silent Setup over the running installed Kestrova: exit code $rc"

    # Interactive: the user reads why and which program to close, presses OK, and Setup ends.
    rc=0
    start_in "$build" "$setup"
    setup_pid=$!
    message=$(kestrova_wine_query 60 "$bin/kestrova_message_text.exe" 30 "Kestrova $version Setup" \
        </dev/null 2>/dev/null | tr -d '\r') || true
    echo "Setup's message: $message" >"$work/refusal-message.txt"
    grep -q '^Kestrova is running\.' <<<"$message" &&
        grep -qiF "started from $install_dir\\Kestrova.exe" <<<"$message" ||
        fail "Setup did not say which Kestrova is running; it said [$message]"
    # The box has the focus: Return presses OK.
    xdotool key Return
    for _ in $(seq 100); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$setup_pid" 2>/dev/null; then
        fail "Setup did not end after its message was confirmed"
        kill "$setup_pid" 2>/dev/null || true
    fi
    wait "$setup_pid" 2>/dev/null || rc=$?
    [ "$rc" -ne 0 ] || fail "refused Setup ended with exit code 0"

    scenario="move while running"
    # Moving the installation elsewhere uninstalls this one first, which its running program
    # prevents: Setup refuses before it writes anything.
    mkdir -p "$work/Elsewhere"
    rc=0
    timeout 120 wine "$setup" /S "/D=$(winpath "$work/Elsewhere")" </dev/null >/dev/null 2>&1 || rc=$?
    expect_eq "Setup /S /D=<another folder> while the installation runs, exit code" 2 "$rc"
    expect_eq "the other folder after the refusal" "" "$(ls -A "$work/Elsewhere")"
    expect_eq "InstallLocation after the refusal" "$install_dir" \
        "$(reg_value "$uninstall_key" InstallLocation)"
    rmdir "$work/Elsewhere"
    close_kestrova
else
    fail "the Start menu shortcut did not start Kestrova"
fi

scenario="send to"
# "Send to" passes the chosen files to the shortcut's target.
start_in "$build" start "$(winpath "$sendto_lnk")" "$(winpath "$sample")"
await_kestrova 30 || fail "the \"Send to\" shortcut did not start Kestrova"
close_kestrova
# 5 before, and three starts: the built program, the Start menu, "Send to".
expect_eq "start count kept by the installed program" 0x8 "$(reg_value "$settings_key" UseCount)"

scenario="installed converter"
rc=0
cp "$sample" "$work/clip.webm"
timeout 120 wine "$install_unix/ffmpeg.exe" -y -i "$(winpath "$work/clip.webm")" -q:v 2 \
    -vtag XVID -threads 2 "$(winpath "$work/clip.avi")" </dev/null >"$work/ffmpeg.log" 2>&1 || rc=$?
expect_eq "installed ffmpeg.exe exit code" 0 "$rc"
probe_stream() { # STREAM ENTRIES
    ffprobe -v error -select_streams "$1" -show_entries "stream=$2" -of csv=p=0 "$work/clip.avi" \
        2>/dev/null | tr -d '\n'
}
expect_eq "video of the converted file" "mpeg4,XVID" "$(probe_stream v codec_name,codec_tag_string)"
expect_eq "audio of the converted file" "mp3" "$(probe_stream a codec_name)"

# --- uninstalling as Windows does it -------------------------------------------------------------
scenario=uninstall
rc=0
# QuietUninstallString: the uninstaller copies itself to Temp, starts the copy and returns.
timeout 120 wine "$install_unix/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || rc=$?
expect_eq "Uninstall.exe /S exit code" 0 "$rc"
for _ in $(seq 600); do
    [ ! -e "$install_unix" ] && ! key_exists "$uninstall_key" && [ -z "$(prefix_pids 'Un_A\.exe')" ] &&
        break
    sleep 0.1
done
[ -z "$(prefix_pids 'Un_A\.exe')" ] || fail "the uninstaller is still running"
[ ! -e "$install_unix" ] || fail "the program folder is still there: $(ls -A "$install_unix" | tr '\n' ' ')"
snapshot after
diff "$work/before.files" "$work/after.files" >"$work/files.diff" ||
    fail "files left or removed: $(grep '^[<>]' "$work/files.diff" | tr '\n' ' ')"
# Kestrova's start count changed; nothing else in the user's registry may differ.
grep -v '^"UseCount"=' "$work/before.reg" >"$work/before-nocount.reg"
grep -v '^"UseCount"=' "$work/after.reg" >"$work/after-nocount.reg"
diff "$work/before-nocount.reg" "$work/after-nocount.reg" >"$work/registry.diff" ||
    fail "registry entries left or removed: $(grep '^[<>]' "$work/registry.diff" | head -n 20 | tr '\n' ' ')"
expect_eq "settings kept" 0x8 "$(reg_value "$settings_key" UseCount)"
expect_eq "player choice kept" 0x1 "$(reg_value "$settings_key" PlayerSafe)"

# --- the user's own folders ----------------------------------------------------------------------
# Folders on Wine's Z: drive, outside the account, so the comparison above is not disturbed.
silent_setup() { # FOLDER: Setup /S /D=FOLDER; prints its exit code
    local rc=0
    timeout 120 wine "$setup" /S "/D=$(winpath "$1")" </dev/null >>"$work/setup.log" 2>&1 || rc=$?
    echo "$rc"
}
# As Windows runs QuietUninstallString: the uninstaller copies itself to Temp and returns at once;
# its copy is done when the uninstall key is gone and the copy has ended.
uninstall_from() { # FOLDER
    local rc=0
    timeout 120 wine "$1/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || rc=$?
    expect_eq "Uninstall.exe /S exit code" 0 "$rc"
    local deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        ! key_exists "$uninstall_key" && [ -z "$(prefix_pids 'Un_A\.exe')" ] && break
        sleep 0.1
    done
    [ -z "$(prefix_pids 'Un_A\.exe')" ] || fail "the uninstaller is still running"
    ! key_exists "$uninstall_key" || fail "the uninstaller left its registry key"
}
same_files() { # REFERENCE FOLDER: every file of REFERENCE is in FOLDER, byte for byte
    diff -r "$1" "$2" 2>&1 | grep -v "^Only in $2[:/]" || true
}
expect_release_in() { # FOLDER
    expect_eq "the release's files in $1 (differences)" "" "$(same_files "$stage" "$1")"
    [ -f "$1/Uninstall.exe" ] || fail "no Uninstall.exe in $1"
}

scenario="user's folder"
# A folder of the user's that holds names the release has too: Setup goes into a folder of its
# own inside it, and neither Setup nor the uninstaller touches the user's files.
tools_unix=$work/Tools
mkdir -p "$tools_unix/licenses"
printf 'My own notes, not Kestrova'"'"'s.\r\n' >"$tools_unix/README.txt"
printf 'Where my scripts came from.\r\n' >"$tools_unix/SOURCES.txt"
printf 'Signed 2021.\r\n' >"$tools_unix/licenses/contract.txt"
cp -a "$tools_unix" "$work/Tools.orig"

# On the directory page, Next shows the folder Setup will use, and stays on the page.
page_texts() { # the directory page's texts, empty while another page shows
    kestrova_wine_query 30 "$bin/kestrova_message_text.exe" 1 "Kestrova $version Setup " \
        </dev/null 2>/dev/null | tr -d '\r' || true
}
await_page() { # LINE: until a line of the directory page is LINE; prints its texts
    local texts i
    for ((i = 0; i < 30; i++)); do
        texts=$(page_texts)
        if grep -qxF "$1" <<<"$texts"; then
            echo "$texts"
            return 0
        fi
        sleep 0.5
    done
    echo "$texts"
    return 1
}
start_in "$build" "$setup" "/D=$(winpath "$tools_unix")"
setup_pid=$!
kestrova_wine_query 60 "$bin/kestrova_message_text.exe" 30 "Kestrova $version Setup" </dev/null \
    >/dev/null 2>&1 || fail "Setup showed no window"
xdotool key Return # Welcome: Next
if await_page "$(winpath "$tools_unix")" >"$work/directory-page.txt"; then
    xdotool key Return # the directory page: Next
    await_page "$(winpath "$tools_unix")\\Kestrova" >"$work/directory-page-after.txt" ||
        fail "after Next the directory page did not show $(winpath "$tools_unix")\\Kestrova: [$(
            tr '\n' '|' <"$work/directory-page-after.txt")]"
    grep -qx 'Choose Install Location' "$work/directory-page-after.txt" ||
        fail "Setup went past the directory page without showing the folder it will use"
else
    fail "no directory page showing the chosen folder: [$(tr '\n' '|' <"$work/directory-page.txt")]"
fi
# Cancel, and yes, quit.
xdotool key Escape
sleep 1
xdotool key Return
for _ in $(seq 100); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$setup_pid" 2>/dev/null; then
    fail "Setup did not end when cancelled"
    kill "$setup_pid" 2>/dev/null || true
fi
wait "$setup_pid" 2>/dev/null || true
# A Setup that went on to its last page started Kestrova there; it would refuse the runs below.
! await_kestrova 5 || close_kestrova
expect_eq "the user's folder after a cancelled Setup (differences)" "" \
    "$(diff -r "$work/Tools.orig" "$tools_unix" 2>&1)"

expect_eq "Setup /S /D=<user's folder> exit code" 0 "$(silent_setup "$tools_unix")"
expect_eq "the user's files after Setup (differences)" "" "$(same_files "$work/Tools.orig" "$tools_unix")"
expect_release_in "$tools_unix/Kestrova"
expect_eq "the user's folder after Setup" "Kestrova README.txt SOURCES.txt licenses" \
    "$(ls -A "$tools_unix" | LC_ALL=C sort | xargs)"
expect_eq "the user's licenses folder after Setup" contract.txt "$(ls -A "$tools_unix/licenses" | xargs)"
expect_eq "InstallLocation" "$(winpath "$tools_unix")\\Kestrova" \
    "$(reg_value "$uninstall_key" InstallLocation)"
# The same choice again is an update of that installation, not a folder inside it.
expect_eq "Setup /S /D=<user's folder> again, exit code" 0 "$(silent_setup "$tools_unix")"
[ ! -e "$tools_unix/Kestrova/Kestrova" ] || fail "the update went into $tools_unix/Kestrova/Kestrova"
expect_eq "the user's files after the update (differences)" "" \
    "$(same_files "$work/Tools.orig" "$tools_unix")"
uninstall_from "$tools_unix/Kestrova"
expect_eq "the user's files after uninstalling (differences)" "" \
    "$(same_files "$work/Tools.orig" "$tools_unix")"
[ ! -e "$tools_unix/Kestrova" ] ||
    fail "the program folder is still there: $(ls -A "$tools_unix/Kestrova" | xargs)"

scenario="taken folder"
# Even the folder Setup would make inside holds files that are not an installation: refused.
taken_unix=$work/Taken
mkdir -p "$taken_unix/Kestrova"
printf 'Mine.\r\n' >"$taken_unix/notes.txt"
printf 'Also mine.\r\n' >"$taken_unix/Kestrova/README.txt"
cp -a "$taken_unix" "$work/Taken.orig"
expect_eq "Setup /S /D=<taken folder> exit code" 2 "$(silent_setup "$taken_unix")"
expect_eq "the taken folder after Setup (differences)" "" "$(diff -r "$work/Taken.orig" "$taken_unix")"
! key_exists "$uninstall_key" || fail "the refused Setup registered an installation"

scenario="empty folder"
# An empty folder is used as it is; a second Setup updates it in place, although the user has
# put files of their own into it since; the uninstaller leaves those and the folders holding them.
empty_unix=$work/Empty
mkdir -p "$empty_unix"
expect_eq "Setup /S /D=<empty folder> exit code" 0 "$(silent_setup "$empty_unix")"
expect_release_in "$empty_unix"
[ ! -e "$empty_unix/Kestrova" ] || fail "Setup made a Kestrova folder inside an empty folder"
mkdir -p "$empty_unix/licenses"
printf 'What I converted.\r\n' >"$empty_unix/notes.txt"
printf 'My own licence.\r\n' >"$empty_unix/licenses/mine.txt"
expect_eq "Setup /S /D=<installation> exit code" 0 "$(silent_setup "$empty_unix")"
expect_release_in "$empty_unix"
[ ! -e "$empty_unix/Kestrova" ] || fail "the update went into a Kestrova folder inside the installation"
expect_eq "InstallLocation after the update" "$(winpath "$empty_unix")" \
    "$(reg_value "$uninstall_key" InstallLocation)"
uninstall_from "$empty_unix"
expect_eq "what the uninstaller left" "licenses licenses/mine.txt notes.txt" \
    "$(cd "$empty_unix" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | xargs)"
expect_eq "the user's notes" "What I converted." "$(tr -d '\r' <"$empty_unix/notes.txt" 2>/dev/null)"
expect_eq "the user's licence" "My own licence." \
    "$(tr -d '\r' <"$empty_unix/licenses/mine.txt" 2>/dev/null)"

helper() { kestrova_wine_query 60 "$bin/kestrova_shell_helper.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
registration() { # what Setup registers, one line each: the Apps entry, the verb, both shortcuts
    reg_value "$uninstall_key" InstallLocation
    reg_default "$verb_key\\command"
    [ ! -f "$programs_lnk" ] || helper target "$(winpath "$programs_lnk")"
    [ ! -f "$sendto_lnk" ] || helper target "$(winpath "$sendto_lnk")"
}

scenario="file held open during an update"
# A program holds ffmpeg.exe open while Setup updates: Setup fails before it writes anything and
# puts back what it had moved aside. README.txt stands for an older release's file.
expect_eq "Setup /S exit code" 0 "$(silent_setup "$install_unix")"
printf 'Older release.\r\n' >>"$install_unix/README.txt"
cp "$install_unix/README.txt" "$work/old-README.txt"
cp -a "$install_unix" "$work/held.orig"
registration >"$work/held.registration"
# Directly, not through kestrova_wine_query, which passes the output on only at the end.
wine "$bin/kestrova_shell_helper.exe" hold 60 "$(winpath "$install_unix/ffmpeg.exe")" \
    </dev/null >"$work/hold.out" 2>&1 &
hold_pid=$!
for _ in $(seq 300); do grep -q held "$work/hold.out" 2>/dev/null && break; sleep 0.1; done
grep -q held "$work/hold.out" || fail "the helper could not hold ffmpeg.exe open"
expect_eq "Setup /S with ffmpeg.exe held open, exit code" 2 "$(silent_setup "$install_unix")"
kill "$hold_pid" 2>/dev/null || true
wait "$hold_pid" 2>/dev/null || true
hold_pids=$(prefix_pids 'kestrova_shell_helper')
[ -z "$hold_pids" ] || kill $hold_pids 2>/dev/null || true
expect_eq "the installation after the failed update (differences)" "" \
    "$(diff -r "$work/held.orig" "$install_unix" 2>&1)"
expect_eq "the registration after the failed update" "$(cat "$work/held.registration")" "$(registration)"
# Once the file is free, the same update goes through and writes the release's files.
expect_eq "Setup /S once the file is free, exit code" 0 "$(silent_setup "$install_unix")"
expect_release_in "$install_unix"
expect_eq "files besides the release's after the update" "Uninstall.exe" \
    "$(cd "$install_unix" && ls -A | grep -vxE 'Kestrova\.exe|ffmpeg\.exe|README\.txt|SOURCES\.txt|licenses' | xargs)"

scenario="copied uninstaller"
# Uninstall.exe copied into a folder of the user's that holds the release's names (an unpacked
# zip, byte for byte the installed files): it deletes nothing there or in the installation and
# leaves the registration alone, run in place or as a double-click runs it.
downloads_unix=$work/Downloads
mkdir -p "$downloads_unix"
cp -a "$stage/." "$downloads_unix/"
printf 'Mine.\r\n' >"$downloads_unix/notes.txt"
cp "$install_unix/Uninstall.exe" "$downloads_unix/"
cp -a "$downloads_unix" "$work/Downloads.orig"
cp -a "$install_unix" "$work/installed.orig"
registration >"$work/installed.registration"
rc=0
timeout 120 wine "$downloads_unix/Uninstall.exe" /S "_?=$(winpath "$downloads_unix")" </dev/null \
    >/dev/null 2>&1 || rc=$?
expect_eq "copied Uninstall.exe /S in place, exit code" 2 "$rc"
rc=0
timeout 120 wine "$downloads_unix/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || rc=$?
for _ in $(seq 300); do [ -z "$(prefix_pids 'Un_A\.exe')" ] && break; sleep 0.1; done
expect_eq "the user's folder after its copied uninstaller (differences)" "" \
    "$(diff -r "$work/Downloads.orig" "$downloads_unix" 2>&1)"
expect_eq "the installation after a copied uninstaller (differences)" "" \
    "$(diff -r "$work/installed.orig" "$install_unix" 2>&1)"
expect_eq "the registration after a copied uninstaller" "$(cat "$work/installed.registration")" \
    "$(registration)"

scenario="changed file"
# A release file changed since Setup wrote it is not Setup's any more: the uninstaller leaves it.
printf 'Edited by the user.\r\n' >>"$install_unix/SOURCES.txt"
uninstall_from "$install_unix"
expect_eq "what the uninstaller left in the program folder" "SOURCES.txt" \
    "$(ls -A "$install_unix" 2>/dev/null | xargs)"
rm -rf "$install_unix"

scenario="second install location"
# One installation per user: Setup told to use another folder moves the installation there; the
# first folder's uninstaller removes it, and everything registered then names the second folder.
expect_eq "Setup /S exit code" 0 "$(silent_setup "$install_unix")"
second_unix=$work/Second
second_dir=$(winpath "$second_unix")
mkdir -p "$second_unix"
expect_eq "Setup /S /D=<second folder> exit code" 0 "$(silent_setup "$second_unix")"
expect_release_in "$second_unix"
[ ! -e "$install_unix" ] || fail "the first installation is still there: $(ls -A "$install_unix" | xargs)"
expect_eq "the registration after the move" \
    "$(printf '%s\n' "$second_dir" "\"$second_dir\\Kestrova.exe\" /selection \"%1\"" \
        "$second_dir\\Kestrova.exe" "$second_dir\\Kestrova.exe")" "$(registration)"
uninstall_from "$second_unix"
[ ! -e "$second_unix" ] || fail "the second installation is still there: $(ls -A "$second_unix" | xargs)"
[ ! -e "$programs_lnk" ] && [ ! -e "$sendto_lnk" ] || fail "a shortcut outlived the uninstaller"

scenario="offer to update"
# Run by hand over the registered installation, Setup asks first; Yes updates it where it is,
# without the directory page.
expect_eq "Setup /S exit code" 0 "$(silent_setup "$install_unix")"
start_in "$build" "$setup"
setup_pid=$!
message=$(kestrova_wine_query 60 "$bin/kestrova_message_text.exe" 30 "Kestrova $version Setup" \
    </dev/null 2>/dev/null | tr -d '\r') || true
grep -qF "Kestrova is already installed in $install_dir." <<<"$message" ||
    fail "Setup did not offer to update the installation; it said [$message]"
xdotool key Return # Yes
welcome=
for _ in $(seq 30); do
    welcome=$(kestrova_wine_query 30 "$bin/kestrova_message_text.exe" 1 "Kestrova $version Setup" \
        </dev/null 2>/dev/null | tr -d '\r') || true
    grep -qxF "Welcome to Kestrova $version Setup" <<<"$welcome" && break
    sleep 0.5
done
grep -qxF "Welcome to Kestrova $version Setup" <<<"$welcome" ||
    fail "Setup showed no welcome page after Yes: [$(tr '\n' '|' <<<"$welcome")]"
xdotool key Return # Welcome: Next; the directory page is skipped
if await_page "Completing Kestrova $version Setup" >"$work/offer-finish.txt"; then
    xdotool key Return # Finish, which starts Kestrova
    await_kestrova 30 && close_kestrova
else
    fail "Setup did not finish the update: [$(tr '\n' '|' <"$work/offer-finish.txt")]"
fi
for _ in $(seq 100); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$setup_pid" 2>/dev/null; then
    fail "Setup did not end"
    kill "$setup_pid" 2>/dev/null || true
fi
rc=0
wait "$setup_pid" 2>/dev/null || rc=$?
expect_eq "Setup's exit code after the update" 0 "$rc"
expect_release_in "$install_unix"
[ ! -e "$install_unix/Kestrova" ] || fail "the update went into a Kestrova folder inside the installation"
expect_eq "InstallLocation after the update" "$install_dir" "$(reg_value "$uninstall_key" InstallLocation)"
uninstall_from "$install_unix"

scenario="user's own shortcuts"
# Kestrova.lnk of the user's in the Start menu and in Send to, starting an unpacked copy: Setup
# makes none over them and the uninstaller leaves them.
unpacked="$(winpath "$work/Downloads")\\Kestrova.exe"
helper link "$(winpath "$programs_lnk")" "$unpacked" >/dev/null
helper link "$(winpath "$sendto_lnk")" "$unpacked" >/dev/null
expect_eq "the user's shortcuts before Setup" "$unpacked $unpacked" \
    "$(helper target "$(winpath "$programs_lnk")") $(helper target "$(winpath "$sendto_lnk")")"
expect_eq "Setup /S exit code" 0 "$(silent_setup "$install_unix")"
expect_eq "the user's shortcuts after Setup" "$unpacked $unpacked" \
    "$(helper target "$(winpath "$programs_lnk")") $(helper target "$(winpath "$sendto_lnk")")"
uninstall_from "$install_unix"
expect_eq "the user's shortcuts after uninstalling" "$unpacked $unpacked" \
    "$(helper target "$(winpath "$programs_lnk")") $(helper target "$(winpath "$sendto_lnk")")"
rm -f "$programs_lnk" "$sendto_lnk"

scenario="full volume during an update"
# The disk fills while Setup writes an update: the write error takes back what this run wrote and
# puts the moved files back. A small tmpfs of its own stands for the disk (needs root; said when
# skipped).
small_unix=$work/Small
mkdir -p "$small_unix"
if mount -t tmpfs -o size=16m tmpfs "$small_unix" 2>/dev/null; then
    small_mounted=$small_unix
    expect_eq "Setup /S onto the small volume, exit code" 0 "$(silent_setup "$small_unix")"
    printf 'Older release.\r\n' >>"$small_unix/README.txt"
    # About 3 MB left: room for the new Kestrova.exe, not for the new ffmpeg.exe.
    free_kb=$(df -k --output=avail "$small_unix" | tail -n 1 | tr -d ' ')
    head -c $(((free_kb - 3072) * 1024)) /dev/zero >"$small_unix/filler.bin"
    cp -a "$small_unix" "$work/small.orig"
    registration >"$work/small.registration"
    expect_eq "Setup /S onto the full volume, exit code" 2 "$(silent_setup "$small_unix")"
    expect_eq "the installation after the failed update (differences)" "" \
        "$(diff -r "$work/small.orig" "$small_unix" 2>&1)"
    expect_eq "the registration after the failed update" "$(cat "$work/small.registration")" \
        "$(registration)"
    rm -f "$small_unix/filler.bin"
    uninstall_from "$small_unix"
    umount "$small_unix" && small_mounted=
else
    echo "installer test: full volume skipped (mounting a tmpfs needs root)" >&2
fi

if [ ${#failures[@]} -gt 0 ]; then
    printf '\n%d installer check(s) failed:\n' "${#failures[@]}" >&2
    printf '  %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "installer: all checks passed"
