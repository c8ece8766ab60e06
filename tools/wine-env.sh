# Sourced by scripts that run Windows programs: a project-owned Wine prefix, one persistent
# wineserver (a cold start costs seconds per program), and a display when none is set.
#   source tools/wine-env.sh [--display]
# Afterwards: $WINEPREFIX is ready, `kestrova_wine_stop` stops what was started here,
# `kestrova_wine_desktop` turns on Wine's own desktop window, and `kestrova_start` starts
# Kestrova.exe and waits for its window (`kestrova_stop` ends it).

kestrova_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${KESTROVA_WINEPREFIX:-$kestrova_root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono/Gecko installers: nothing here needs .NET or the HTML engine.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
kestrova_started_xvfb=

kestrova_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$kestrova_started_xvfb" ]; then
        kill "$kestrova_started_xvfb" 2>/dev/null || true
        kestrova_started_xvfb=
    fi
}

# kestrova_wine_query, for programs that only look (a probe, a registry query).
# shellcheck source=tools/wine-query.sh
source "$kestrova_root/tools/wine-query.sh"

# A virtual display for window tests and screenshots; DPI via KESTROVA_DPI (default 96).
kestrova_start_xvfb() {
    # Xvfb picks a free display itself and says which: it knows a lock file left by a server that
    # has died from one in use, which a look at the lock files here cannot tell.
    local number_file n=
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x900x24 -dpi "${KESTROVA_DPI:-96}" -nolisten tcp \
        3>"$number_file" >/dev/null 2>&1 &
    kestrova_started_xvfb=$!
    for _ in $(seq 100); do
        n=$(tr -d '[:space:]' <"$number_file")
        [ -n "$n" ] && break
        sleep 0.1
    done
    rm -f "$number_file"
    [ -n "$n" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$n"
}

if [ "${1:-}" = "--display" ] && [ -z "${DISPLAY:-}" ]; then
    kestrova_start_xvfb
fi

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true # let the prefix's first set-up finish
fi
# Wine's own Tahoma (the windows' font) and Marlett (the caption buttons' glyphs) come with
# fonts-wine, in Wine's data folder, where this build of Wine does not look for them; a prefix's
# own Fonts folder it does read.
if [ -d /usr/share/wine/fonts ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
    for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
        [ -f "/usr/share/wine/fonts/$font" ] &&
            cp -u "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
fi
# Japanese, Chinese and Korean in the dialog font: Windows links Tahoma to its own CJK fonts,
# which Wine lacks; Noto Sans CJK (fonts-noto-cjk) stands in for them. Once per prefix.
if fc-list -q ':family=Noto Sans CJK JP' 2>/dev/null &&
    ! grep -q '^"Tahoma"=str(7):"NotoSansCJK' "$WINEPREFIX/system.reg" 2>/dev/null; then
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v Tahoma /t REG_MULTI_SZ /f /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK JP\0NotoSansCJK-Regular.ttc,Noto Sans CJK SC\0NotoSansCJK-Regular.ttc,Noto Sans CJK KR' \
        </dev/null >/dev/null 2>&1 || true
fi
# The first program of a session starts Wine's background services, which keep the output of
# whoever started them open; they are started here, detached, so a test's output pipe ends with it.
kestrova_wineserver_start() {
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    sleep 0.2
    setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# On a display without a window manager, Wine's own desktop window draws the title bars and
# frames, and a window that hides does not wait two seconds for a manager that never answers.
# The setting takes effect with the next wineserver, which this starts.
kestrova_wine_desktop() {
    grep -q '"Desktop"="Default"' "$WINEPREFIX/user.reg" 2>/dev/null && return 0
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x900 /f \
        </dev/null >/dev/null 2>&1 || true
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
    kestrova_wineserver_start
}

# kestrova_start DIR LOG [ARGUMENT...]: runs DIR/Kestrova.exe in DIR with the ARGUMENTs ("Open
# with", "Send to" or a drop on its icon give them), its output added to LOG, in the background
# ($kestrova_pid), and waits until its main window answers, as $KESTROVA_PROBE
# (kestrova_probe.exe) sees it. Returns 1 when no window came. On a loaded machine Wine now and
# then does not start a program at all (see tools/wine-query.sh): it then ends at once with 1, and
# is started once more.
kestrova_pid=
kestrova_start() {
    local dir=$1 log=$2 attempt rc
    shift 2
    for attempt in 1 2; do
        (cd "$dir" && exec wine Kestrova.exe "$@") </dev/null >>"$log" 2>&1 &
        kestrova_pid=$!
        kestrova_wine_query 150 "${KESTROVA_PROBE:?}" idle 30 Kestrova && return 0
        kill -0 "$kestrova_pid" 2>/dev/null && break
        rc=0
        wait "$kestrova_pid" || rc=$?
        kestrova_pid=
        [ "$rc" -eq 1 ] || break
        echo "    (Wine did not start Kestrova.exe on attempt $attempt)" >&2
    done
    return 1
}

# Ends what kestrova_start started, if it still runs.
kestrova_stop() {
    [ -n "$kestrova_pid" ] || return 0
    kill "$kestrova_pid" 2>/dev/null || true
    wait "$kestrova_pid" 2>/dev/null || true
    kestrova_pid=
}

kestrova_wineserver_start
if [ -n "$kestrova_started_xvfb" ]; then
    kestrova_wine_desktop
fi
