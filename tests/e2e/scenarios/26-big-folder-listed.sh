# shellcheck shell=bash
# End-to-end scenario 26, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# A big folder: listed while the window keeps answering
# Enough that listing takes several of the watcher's questions, 50 ms apart (25,000 files list in
# about a second on this machine).
big_folder_count=25000

big_folder_listed() { # DIR
    local s26=$1 watched rows_seen first last i
    mkdir -p "$s26/Big"
    # Listing reads no file's content; written by the shell itself, not one process per file.
    for ((i = 1; i <= big_folder_count; i++)); do printf 'webm' >"$s26/Big/clip $i.webm"; done
    # The watcher is waiting for the window before the program starts, so that it sees the
    # whole add; the program then starts with the folder as "Send to" gives it.
    probe grows 120 "$big_folder_count" >"$s26/grows.txt" 2>&1 &
    local watcher=$!
    sleep 1
    (cd "$bin" && exec wine Kestrova.exe "$(winpath "$s26/Big")") </dev/null \
        >>"$work/kestrova.log" 2>&1 &
    kestrova_pid=$!
    wait "$watcher" || fail "the watcher failed: $(tr '\n' ' ' <"$s26/grows.txt")"
    watched=$(cat "$s26/grows.txt")
    echo "    $(tr '\n' ' ' <<<"$watched")" >&2
    expect_eq "rows counted while listing" "rows $big_folder_count" "$(grep '^rows' <<<"$watched")"
    # It answered while the rows were still coming, not only once they were all there.
    local answers
    answers=$(awk '$1 == "answers" { print $2 }' <<<"$watched")
    [ "${answers:-0}" -ge 2 ] ||
        fail "the window answered fewer than twice while listing: $watched"
    probe idle 30 Kestrova || { fail "the window is not ready after listing"; return 1; }
    rows_seen=$(rows)
    expect_eq "rows listed" "$big_folder_count" "$(wc -l <<<"$rows_seen")"
    first=$(head -n1 <<<"$rows_seen" | cut -f2)
    last=$(tail -n1 <<<"$rows_seen" | cut -f2)
    expect_eq "first and last row, in natural order" "clip 1.webm clip $big_folder_count.webm" \
        "$first $last"
    expect_eq "the label once listed" "WebM files to convert:" \
        "$(probe texts Kestrova | awk -F'\t' '$4 ~ /files to convert/ { print $4 }')"
    shot 26-big-folder-listed
}

register_scenario 26 "a big folder is listed while the window answers" big_folder_listed
