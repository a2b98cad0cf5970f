#!/usr/bin/env bash
# Times mark_repeat on a sorted 1,000,000-row table against a 1,000,000-interval SSR
# file, next to `cat` of both files and to `bedtools intersect -sorted -c` on the same
# two files (the table's header starts with '#', which bedtools skips). bedtools is
# installed with apt-get when missing; never in CI.
#   bench/bench_repeat.sh [ROWS] [INTERVALS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
BIN=${BIN:-$here/../build/bin}
data=$here/data/repeat
rows=${1:-1000000}
intervals=${2:-1000000}
mkdir -p "$data"

if [ ! -x "$BIN/mark_repeat" ]; then
    echo "no $BIN/mark_repeat: build first (make build) or set BIN" >&2
    exit 1
fi
if ! command -v bedtools >/dev/null && [ "${CI:-}" != "true" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get install -y -qq bedtools >/dev/null || true
fi

if [ ! -s "$data/ssr.bed" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$rows $intervals" ]; then
    echo "generating $rows rows and $intervals intervals in $data ..."
    python3 "$here/gen_repeat.py" "$data" "$rows" "$intervals"
    echo "$rows $intervals" > "$data/params"
fi
tab=$data/rows.txt
ssr=$data/ssr.bed
ls -la "$tab" "$ssr" | awk '{printf "  %s %.0f MB\n", $NF, $5/1e6}'

cat "$tab" "$ssr" > /dev/null  # warm the page cache
R=${R:-5}
ours=$(FRESH="$data/ours.out" measure $R env WES_SSR_FILE="$ssr" "$BIN/mark_repeat" "$tab" unused "$data/ours.out")
cat=$(FRESH="$data/cat.out" measure $R bash -c "cat '$tab' '$ssr' > '$data/cat.out'")
header
row "mark_repeat" "$ours"
row "cat of both files" "$cat"
echo "  rows marked Y=: $(grep -c 'Y=' "$data/ours.out" || true)"
if command -v bedtools >/dev/null; then
    bt=$(FRESH="$data/bedtools.out" measure $R bash -c "bedtools intersect -sorted -c -a '$tab' -b '$ssr' > '$data/bedtools.out'")
    row "bedtools intersect -sorted -c" "$bt"
    echo "  rows bedtools counts > 0: $(awk '$NF > 0' "$data/bedtools.out" | wc -l) (bedtools takes starts as 0-based, so counts differ a little)"
    ratio "mark_repeat / bedtools" "$ours" "$bt" 0.33
else
    echo "  bedtools not installed: no ratio"
fi
