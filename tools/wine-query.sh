# Sourced: kestrova_wine_query SECONDS PROGRAM [ARGUMENT...] runs `wine PROGRAM ...` under
# `timeout SECONDS` (0: no time limit) and starts it again, at most three times in all, when Wine
# never started it. On a loaded machine Wine now and then fails to load a program it ran a moment
# before; it then ends with an error code and says nothing, or only that the application could
# not be started. Programs run this way must say something whenever they fail themselves. Their
# output is passed on once they have ended; the exit code is theirs.
kestrova_wine_query() {
    local seconds=$1 out err rc attempt retried=
    shift
    out=$(mktemp) err=$(mktemp)
    for attempt in 1 2 3; do
        rc=0
        timeout "$seconds" wine "$@" >"$out" 2>"$err" || rc=$?
        # Ended by itself, or by the time limit: started.
        if [ "$rc" -eq 0 ] || [ "$rc" -eq 124 ]; then break; fi
        # start.exe's words are on standard output.
        if { [ -s "$out" ] || [ -s "$err" ]; } &&
            ! grep -q '^Application could not be started' "$out" "$err"; then
            break
        fi
        retried+="(Wine did not start $(basename "$1") on attempt $attempt)"$'\n'
        sleep 0.3
    done
    cat "$out"
    printf '%s' "$retried" >&2
    cat "$err" >&2
    rm -f "$out" "$err"
    return "$rc"
}
