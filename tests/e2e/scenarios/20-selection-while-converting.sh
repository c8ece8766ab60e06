# shellcheck shell=bash
# End-to-end scenario 20, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

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

register_scenario 20 "a converting window takes no selection" selection_while_converting
