#!/usr/bin/env bash
# Runs every benchmark of bench/ against the peers (never part of the tests).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
status=0
for b in "$here"/bench_*.sh; do
    echo "== $(basename "$b")"
    bash "$b" || status=1
done
exit $status
