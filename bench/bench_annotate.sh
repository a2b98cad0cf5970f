#!/usr/bin/env bash
# Times join_splice_db on a 1,000,000-row table against a 20,000,000-line database,
# next to `wc -l` on the database and to GNU join and `bedtools intersect -sorted`
# doing the same work (their inputs are prepared untimed). Peers are installed here
# with apt-get when missing; never in CI.
#   bench/bench_annotate.sh [ROWS] [DB_LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
BIN=${BIN:-$here/../build/bin}
data=$here/data/annotate
rows=${1:-1000000}
lines=${2:-20000000}
mkdir -p "$data"

if ! command -v bedtools >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq bedtools >/dev/null || true; fi
fi

if [ ! -s "$data/db.txt" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$rows $lines" ]; then
    echo "generating $rows rows and $lines database lines in $data ..."
    g++ -O2 -o "$data/gen" "$here/gen_annotate.cpp"
    "$data/gen" "$data" "$rows" "$lines"
    echo "$rows $lines" > "$data/params"
fi
db=$data/db.txt
tab=$data/rows.txt
ls -la "$db" "$tab" | awk '{printf "  %s %.0f MB\n", $NF, $5/1e6}'

# Peers' inputs, prepared untimed: key-first copies sorted for GNU join, BED for bedtools.
if [ ! -s "$data/db.keyed" ]; then
    echo "preparing peer inputs (untimed) ..."
    awk -F'\t' 'BEGIN{OFS="\t"} {print $1"-"$2"-"$3"-"$4, $8}' "$db" | LC_ALL=C sort -S 2G -t $'\t' -k1,1 > "$data/db.keyed"
    awk -F'\t' 'BEGIN{OFS="\t"} NR>1 {print $1"-"$2"-"$4"-"$5, $0}' "$tab" | LC_ALL=C sort -t $'\t' -k1,1 > "$data/rows.keyed"
    awk -F'\t' 'BEGIN{OFS="\t"} {print $1, $2-1, $2, $3, $4, $8}' "$db" > "$data/db.bed"
    awk -F'\t' 'BEGIN{OFS="\t"} NR>1 {print $1, $2-1, $2, $4, $5}' "$tab" > "$data/rows.bed"
fi

cat "$db" > /dev/null  # warm the page cache
read -r t_wc m_wc < <(best_of 3 wc -l "$db")
read -r t_us m_us < <(WES_SPLICE_DB=$db best_of 3 "$BIN/join_splice_db" "$tab" x "$data/out.txt")
read -r t_join m_join < <(best_of 3 env LC_ALL=C join -t $'\t' -a 1 -e NA -o auto "$data/rows.keyed" "$data/db.keyed")
t_bt=""
if command -v bedtools >/dev/null; then
    read -r t_bt m_bt < <(best_of 3 bedtools intersect -sorted -loj -a "$data/rows.bed" -b "$data/db.bed")
fi

hits=$(awk -F'\t' 'NR>1 && $NF!="NA"' "$data/out.txt" | wc -l)
echo "join_splice_db: ${t_us}s, peak ${m_us} KiB, $hits rows filled"
echo "wc -l database: ${t_wc}s        -> join_splice_db takes $(awk -v a="$t_us" -v b="$t_wc" 'BEGIN{printf "%.2f", a/b}')x its time (target <= 3x)"
echo "GNU join:       ${t_join}s, peak ${m_join} KiB -> join_splice_db is $(awk -v a="$t_join" -v b="$t_us" 'BEGIN{printf "%.2f", a/b}')x faster (target >= 4x)"
if [ -n "$t_bt" ]; then
    echo "bedtools -sorted: ${t_bt}s, peak ${m_bt} KiB -> join_splice_db is $(awk -v a="$t_bt" -v b="$t_us" 'BEGIN{printf "%.2f", a/b}')x faster"
fi
