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
read -r t_cat m_cat < <(best_of_fresh "$data/cat.out" 5 bash -c "cat '$tab' '$ssr' > '$data/cat.out'")
read -r t_ours m_ours < <(best_of_fresh "$data/ours.out" 5 bash -c \
    "WES_SSR_FILE='$ssr' '$BIN/mark_repeat' '$tab' unused '$data/ours.out'")
printf "  %-34s %6.2f s  %7d KiB\n" "cat of both files" "$t_cat" "$m_cat"
printf "  %-34s %6.2f s  %7d KiB\n" "mark_repeat" "$t_ours" "$m_ours"
hits=$(grep -c 'Y=' "$data/ours.out" || true)
echo "  rows marked Y=: $hits"

if command -v bedtools >/dev/null; then
    read -r t_bt m_bt < <(best_of_fresh "$data/bedtools.out" 5 bash -c \
        "bedtools intersect -sorted -c -a '$tab' -b '$ssr' > '$data/bedtools.out'")
    printf "  %-34s %6.2f s  %7d KiB\n" "bedtools intersect -sorted -c" "$t_bt" "$m_bt"
    bt_hits=$(awk '$NF > 0' "$data/bedtools.out" | wc -l)
    echo "  rows bedtools counts > 0: $bt_hits (bedtools takes starts as 0-based, so counts differ a little)"
    awk -v b="$t_bt" -v o="$t_ours" -v c="$t_cat" 'BEGIN {
        if (o <= 0) o = 0.01;
        printf "  ratio bedtools / mark_repeat: %.1fx (target: at least 3x)\n", b / o;
        printf "  ratio mark_repeat / cat:      %.1fx\n", o / (c > 0 ? c : 0.01) }'
else
    echo "  bedtools not installed: no ratio"
fi
