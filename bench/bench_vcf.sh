#!/usr/bin/env bash
# Times vcf_to_table on a 1,000,000-line GATK-like VCF (plain and bgzipped) against
# `bcftools query` printing the same fields, next to `cat`/`zcat` of the file. bcftools
# is installed with apt-get when missing; never in CI.
#   bench/bench_vcf.sh [LINES]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
BIN=${BIN:-$here/../build/bin}
data=$here/data/vcf
lines=${1:-1000000}
mkdir -p "$data"

if [ ! -x "$BIN/vcf_to_table" ]; then
    echo "no $BIN/vcf_to_table: build first (make build) or set BIN" >&2
    exit 1
fi
if ! command -v bcftools >/dev/null && [ "${CI:-}" != "true" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get install -y -qq bcftools >/dev/null || true
fi

vcf=$data/calls.vcf
gz=$data/calls.vcf.gz
if [ ! -s "$gz" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$lines" ]; then
    echo "generating $lines VCF lines in $data ..."
    python3 "$here/gen_vcf.py" "$vcf" "$lines" --bgzf "$gz"
    echo "$lines" > "$data/params"
fi
ls -la "$vcf" "$gz" | awk '{printf "  %s %.0f MB\n", $NF, $5/1e6}'

fmt='%CHROM\t%POS\t%ID\t%REF\t%ALT\t%INFO/MQ\t[%AD]\t[%DP]\n'
cat "$vcf" "$gz" > /dev/null  # warm the page cache
R=${R:-5}
plain=$(FRESH="$data/ours.tsv" measure $R "$BIN/vcf_to_table" "$vcf" "$data/ours.tsv")
bgz=$(FRESH="$data/ours_gz.tsv" measure $R "$BIN/vcf_to_table" "$gz" "$data/ours_gz.tsv")
header
row "vcf_to_table plain" "$plain"
row "vcf_to_table bgzipped" "$bgz"
row "cat plain" "$(FRESH="$data/cat.out" measure $R bash -c "cat '$vcf' > '$data/cat.out'")"
row "zcat bgzipped" "$(FRESH="$data/cat.out" measure $R bash -c "zcat '$gz' > '$data/cat.out'")"
if cmp -s "$data/ours.tsv" "$data/ours_gz.tsv"; then
    echo "  rows: $(wc -l < "$data/ours.tsv") (same from both files)"
else
    echo "  rows differ between the plain and the bgzipped file!"
fi
if command -v bcftools >/dev/null; then
    bq=$(FRESH="$data/bcftools.out" measure $R bash -c "bcftools query -f '$fmt' '$vcf' > '$data/bcftools.out'")
    bqz=$(FRESH="$data/bcftools.out" measure $R bash -c "bcftools query -f '$fmt' '$gz' > '$data/bcftools.out'")
    row "bcftools query plain" "$bq"
    row "bcftools query bgzipped" "$bqz"
    ratio "vcf_to_table / bcftools query, plain" "$plain" "$bq" 0.33
    ratio "vcf_to_table / bcftools query, bgzipped" "$bgz" "$bqz" 0.33
else
    echo "  bcftools not installed: no ratio"
fi
