# shellcheck shell=bash
# End-to-end scenario 24, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

side_cancel_with_four_running() { # DIR
    local side=$1 name
    fake_converter_program "$side"
    mkdir -p "$side/files"
    for name in a b c d e; do
        side_script "$side" "$name.webm" create 'status 4000 1000 100' 'sleep 30000' 'exit 0'
    done
    side_at_once 4
    start_kestrova "$side/bin" || return 1
    add_by_dialog "$(winpath "$side/files")\\" '"a.webm" "b.webm" "c.webm" "d.webm" "e.webm"' || return 1
    press_convert || return 1
    side_await_captions 4 || { abandon_batch; return 1; }
    sleep 0.8 # every bar has moved by now
    shot 24-progress-four-files
    local started=$SECONDS
    click_cancel || return 1
    probe gone 2 Converting || { fail "the progress window did not close within 2 s of the cancel"; abandon_batch; return 1; }
    echo "    closed $((SECONDS - started)) s after the cancel (whole seconds)" >&2
    if probe wait 2 Information >/dev/null 2>&1; then
        fail "a summary box came after the cancel: $(probe message Information)"
        dismiss_summary
    fi
    for name in a b c d; do
        ! converter_running "$name.webm" || fail "the converter of $name.webm still runs after the cancel"
    done
    local folder
    folder=$(winpath "$side/files")\\
    expect_eq "rows after the cancel" "$(printf '2\t%s\t%s\n' a.webm "$folder" b.webm "$folder" \
        c.webm "$folder" d.webm "$folder"; printf '1\te.webm\t%s' "$folder")" "$(rows)"
    expect_files "$side/files" a.webm b.webm c.webm d.webm e.webm
    side_at_once ""
}

register_scenario 24 "Cancel with four files running" side_cancel_with_four_running
