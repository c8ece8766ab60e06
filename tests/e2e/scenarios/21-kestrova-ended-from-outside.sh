# shellcheck shell=bash
# End-to-end scenario 21, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

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

register_scenario 21 "Kestrova ended from outside mid-conversion" kestrova_ended_from_outside
