# Sourced: kestrova_wine_not_started RC OUT-FILE ERR-FILE is true when a run of `wine PROGRAM`
# that ended with RC and wrote OUT-FILE and ERR-FILE never started the program. On a loaded
# machine Wine now and then fails to load a program it ran a moment before; it then ends with an
# error code and says nothing, or only that the application could not be started. Programs
# judged this way must say something whenever they fail themselves.
kestrova_wine_not_started() {
    [ "$1" -ne 0 ] && [ "$1" -ne 124 ] || return 1
    [ ! -s "$2" ] && [ ! -s "$3" ] && return 0
    # start.exe's words, on standard output.
    grep -q '^Application could not be started' "$2" "$3" 2>/dev/null
}
