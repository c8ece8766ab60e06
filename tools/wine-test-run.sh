#!/usr/bin/env bash
# How ctest runs a Windows test program: under Wine, started again when Wine never started it (a
# test program always prints), with its output passed on once it has ended. Writing to files
# rather than to ctest's pipe also means that a console host Wine leaves behind cannot hold that
# pipe open.
set -u
# shellcheck source=tools/wine-query.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-query.sh"
kestrova_wine_query 0 "$@"
