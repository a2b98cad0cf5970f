#!/usr/bin/env bash
# What the workflow takes as a step's success, case by case: a stand-in program prints the
# given text, warns on standard error, writes OUT and exits with the given status.
set -uo pipefail
step=$(cd "$(dirname "$0")/../../workflow/scripts" && pwd)/run_step
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
printf '#!/bin/sh\nprintf "$2"\necho warning >&2\nprintf "h\\nr\\n" > "$3"\nexit $1\n' > "$dir/prog"
chmod +x "$dir/prog"
printf 'h\n' > "$dir/in1"
printf 'h\nr\n' > "$dir/in2"
printf 'h\nr\nr\n' > "$dir/in3"

failures=0
# case_ KIND STATUS TEXT ROWS_IN VERDICT: VERDICT is 0 for success, 1 for failure.
case_() {
    local rows=()
    [ "$4" = - ] || rows=(--rows "$dir/$4" "$dir/out")
    "$step" "${rows[@]}" "$1" "$dir/prog" "$2" "$3" "$dir/out" > "$dir/log" 2>&1
    local got=$?
    [ "$got" -eq "$5" ] || { echo "$*: status $got"; cat "$dir/log"; failures=$((failures + 1)); }
    # A success ends the log with the verdict that the end of a failed run looks for.
    [ "$got" -ne 0 ] || [ "$(tail -n 1 "$dir/log")" = "run_step: prog done" ] ||
        { echo "$*: the log does not end with the verdict"; failures=$((failures + 1)); }
}
case_ annotator 1 'END\n' in2 0
case_ annotator 1 'END' - 0
case_ annotator 0 'END\n' - 1
case_ annotator 1 '' - 1
case_ annotator 1 'END\nmore\n' - 1
case_ annotator 2 'Error: cannot read x\n' - 1
case_ annotator 1 'END\n' in3 1
case_ annotator 1 'END\n' in1 1
case_ quiet 0 '' in2 0
case_ quiet 0 'said something\n' - 1
case_ quiet 2 '' - 1
case_ qc 0 '' - 0
case_ qc 0 '7 reads were longer than 160 bases; their bases after cycle 160 were not counted\n' - 0
case_ qc 0 '7 reads were longer than 160 bases; their bases after cycle 160 were not counted\nmore\n' - 1
case_ qc 0 'MQ error !\n' - 1
case_ qc 2 '7 reads were longer than 160 bases; their bases after cycle 160 were not counted\n' - 1
case_ done 0 'tier_sort: Tier1 1\n' in2 0
case_ done 1 '' - 1
[ "$failures" -eq 0 ] || { echo "FAILED: $failures of 18 outcomes judged wrong"; exit 1; }
echo "18 outcomes judged as demo/run judges them"
