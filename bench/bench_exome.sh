#!/usr/bin/env bash
# Times join_splice_db on an exome-scale table (60,000 rows in 200,000 exon-like
# intervals) against a genome-wide database (one record every ten bases of every GRCh37
# chromosome: about 310 million lines, 5 GB bgzipped), indexed with tabix; next to the
# same merge streaming the same bytes (the file without its index) and to `bcftools
# annotate` on the same rows (as a VCF) and database (its tab-delimited annotation file,
# indexed). The database is generated once into bench/data/exome, streamed into
# `bgzip -@2`: no plain copy is kept. Peers are installed here with apt-get when missing
# (as root); never in CI.
#   bench/bench_exome.sh [ROWS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
BIN=${BIN:-$here/../build/bin}
data=$here/data/exome
rows=${1:-60000}
mkdir -p "$data"

if ! command -v tabix >/dev/null || ! command -v bcftools >/dev/null; then
    if [ "${CI:-}" != "true" ] && [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq tabix bcftools >/dev/null || true; fi
fi
if ! command -v tabix >/dev/null; then
    echo "bench_exome: bgzip and tabix are needed (apt-get install tabix)" >&2
    exit 1
fi

if [ ! -x "$data/gen" ] || [ "$here/gen_exome.cpp" -nt "$data/gen" ]; then
    g++ -O2 -std=c++20 -I"$here/../convert" -o "$data/gen" "$here/gen_exome.cpp" "$here/../convert/chr_trans.cpp"
fi
if [ ! -s "$data/db.txt.gz.tbi" ]; then
    echo "generating the database (310 million lines) into $data/db.txt.gz: several minutes ..."
    "$data/gen" db | bgzip -@2 -c > "$data/db.txt.gz.part"
    mv "$data/db.txt.gz.part" "$data/db.txt.gz"
    tabix -f -s1 -b2 -e2 "$data/db.txt.gz"
fi
if [ ! -s "$data/rows.txt" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$rows" ]; then
    "$data/gen" rows "$data" "$rows"
    echo "$rows" > "$data/params"
fi
# The same bytes without an index beside them.
ln -sf db.txt.gz "$data/stream.gz"
printf '##INFO=<ID=SP,Number=1,Type=String,Description="splice prediction">\n' > "$data/sp.hdr"
ls -laL "$data/db.txt.gz" "$data/db.txt.gz.tbi" "$data/rows.txt" | awk '{printf "  %s %.1f MB\n", $NF, $5/1e6}'
echo "  $(($(wc -l < "$data/rows.txt") - 1)) rows; the database's 64 KiB blocks: $(($(stat -c %s "$data/db.txt.gz") / 18000)) or so"

cat "$data/db.txt.gz" > /dev/null  # warm the page cache
R=${R:-3}
indexed=$(FRESH="$data/out.txt" measure $R env WES_SPLICE_DB="$data/db.txt.gz" "$BIN/join_splice_db" "$data/rows.txt" x "$data/out.txt")
streamed=$(FRESH="$data/stream.out" measure $R env WES_SPLICE_DB="$data/stream.gz" "$BIN/join_splice_db" "$data/rows.txt" x "$data/stream.out")
header
row "join_splice_db, indexed" "$indexed"
row "join_splice_db, the same bytes streamed" "$streamed"
if command -v bcftools >/dev/null; then
    bcf=$(FRESH="$data/bcf.vcf" measure ${BCF_R:-1} bcftools annotate -a "$data/db.txt.gz" -c CHROM,POS,REF,ALT,-,-,-,SP \
        -h "$data/sp.hdr" -o "$data/bcf.vcf" "$data/rows.vcf")
    row "bcftools annotate" "$bcf"
fi
if ! cmp -s "$data/out.txt" "$data/stream.out"; then
    echo "  the indexed and the streamed outputs differ" >&2
    exit 1
fi
hits=$(awk -F'\t' 'NR>1 && $NF!="NA"' "$data/out.txt" | wc -l)
echo "  $hits rows filled (the same with and without the index)"
[ -n "${bcf:-}" ] && echo "  bcftools: $(grep -c 'SP=' "$data/bcf.vcf") rows annotated"
echo "  join_splice_db indexed, as a share of (wall, CPU; idle, pinned):"
ratio "the same merge streaming the same bytes" "$indexed" "$streamed" 0.25
[ -n "${bcf:-}" ] && ratio "bcftools annotate" "$indexed" "$bcf" 0.05
exit 0
