# shellcheck shell=bash
# End-to-end scenario 19, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

selection_becomes_one_list() { # DIR
    local s19=$1 s19_eight s19_fifty s19_verb
    mapfile -t s19_eight < <(selection_files "$s19/eight" "clip " 1 2 3 4 5 6 7 10)
    mapfile -t s19_fifty < <(selection_files "$s19/fifty" "" {1..50})
    s19_verb=$(selection_verb)
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

register_scenario 19 "a selection in Explorer becomes one list" selection_becomes_one_list
