#!/usr/bin/env bash
# How ctest runs a Windows test program: under Wine, with its output passed on once it has ended.
# A test program always prints, so one that Wine never started is told apart and started again,
# at most three times in all (tools/wine-not-started.sh). Writing to files rather than to
# ctest's pipe also means that a console host Wine leaves behind cannot hold that pipe open.
set -u
# shellcheck source=tools/wine-not-started.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-not-started.sh"
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
    rc=0
    wine "$@" >"$out" 2>"$err" || rc=$?
    kestrova_wine_not_started "$rc" "$out" "$err" || break
    echo "(Wine did not start $(basename "$1") on attempt $attempt)" >&2
    sleep 0.3
done
cat "$out"
cat "$err" >&2
exit "$rc"
