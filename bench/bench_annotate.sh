#!/usr/bin/env bash
# Times join_splice_db on a 1,000,000-row table against a 20,000,000-line database,
# next to `wc -l` on the database and to GNU join and `bedtools intersect -sorted`
# doing the same work (their inputs are prepared untimed); then over the same database
# bgzipped, whose blocks are inflated on more than one CPU where allowed. Peers are
# installed here with apt-get when missing; never in CI.
#   bench/bench_annotate.sh [ROWS] [DB_LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
BIN=${BIN:-$here/../build/bin}
data=$here/data/annotate
rows=${1:-1000000}
lines=${2:-20000000}
mkdir -p "$data"

for tool in bedtools bgzip; do
    if ! command -v $tool >/dev/null && [ "${CI:-}" != "true" ] && [ "$(id -u)" -eq 0 ]; then
        apt-get install -y -qq "$([ $tool = bgzip ] && echo tabix || echo $tool)" >/dev/null || true
    fi
done

if [ ! -s "$data/db.txt" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$rows $lines" ]; then
    echo "generating $rows rows and $lines database lines in $data ..."
    g++ -O2 -std=c++20 -I"$here/../convert" -o "$data/gen" "$here/gen_annotate.cpp" "$here/../convert/chr_trans.cpp"
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
R=${R:-3}
ours=$(FRESH="$data/out.txt" measure $R env WES_SPLICE_DB="$db" "$BIN/join_splice_db" "$tab" x "$data/out.txt")
wc=$(measure $R wc -l "$db")
# Every tool writes its output to a fresh file, as a pipeline step does.
join=$(FRESH="$data/join.out" measure $R bash -c "LC_ALL=C join -t \$'\\t' -a 1 -e NA -o auto '$data/rows.keyed' '$data/db.keyed' > '$data/join.out'")
header
row "join_splice_db" "$ours"
row "wc -l of the database" "$wc"
row "GNU join on pre-keyed copies" "$join"
if command -v bedtools >/dev/null; then
    bt=$(FRESH="$data/bedtools.out" measure $R bash -c "bedtools intersect -sorted -loj -a '$data/rows.bed' -b '$data/db.bed' > '$data/bedtools.out'")
    row "bedtools intersect -sorted -loj" "$bt"
fi
# The database bgzipped (no index beside it: streamed).
if command -v bgzip >/dev/null; then
    [ -s "$data/db.bgz" ] && [ "$data/db.bgz" -nt "$db" ] || bgzip -@2 -c "$db" > "$data/db.bgz"
    rm -f "$data/db.bgz.tbi" "$data/db.bgz.csi"
    cat "$data/db.bgz" > /dev/null
    bgz=$(FRESH="$data/bgz.out" measure $R env WES_SPLICE_DB="$data/db.bgz" "$BIN/join_splice_db" "$tab" x "$data/bgz.out")
    row "join_splice_db, the database bgzipped" "$bgz"
    cmp -s "$data/out.txt" "$data/bgz.out" || { echo "  the outputs of the plain and the bgzipped database differ" >&2; exit 1; }
fi
hits=$(awk -F'\t' 'NR>1 && $NF!="NA"' "$data/out.txt" | wc -l)
echo "  $hits rows filled"
echo "  join_splice_db's share of the peer's time (wall, CPU; idle, pinned):"
ratio "join_splice_db / GNU join" "$ours" "$join" 0.25
ratio "join_splice_db / wc -l of the database" "$ours" "$wc" 3
[ -n "${bt:-}" ] && ratio "join_splice_db / bedtools" "$ours" "$bt" -
if [ -n "${bgz:-}" ]; then
    read -r w c pw pc m <<< "$bgz"
    awk -v w="$w" -v pw="$pw" 'BEGIN { r = w / pw; printf "  bgzipped database, two CPUs as a share of one (wall): %.2f   (target <= 0.6: %s)\n", r, r <= 0.6 ? "met" : "NOT met" }'
fi
exit 0
