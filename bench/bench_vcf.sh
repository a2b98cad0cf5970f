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

row() { printf "  %-40s %6.2f s  %7d KiB\n" "$1" "$2" "$3"; }

fmt='%CHROM\t%POS\t%ID\t%REF\t%ALT\t%INFO/MQ\t[%AD]\t[%DP]\n'
cat "$vcf" "$gz" > /dev/null  # warm the page cache
read -r t_cat m_cat < <(best_of_fresh "$data/cat.out" 5 bash -c "cat '$vcf' > '$data/cat.out'")
read -r t_zcat m_zcat < <(best_of_fresh "$data/cat.out" 5 bash -c "zcat '$gz' > '$data/cat.out'")
read -r t_plain m_plain < <(best_of_fresh "$data/ours.tsv" 5 bash -c "'$BIN/vcf_to_table' '$vcf' '$data/ours.tsv'")
read -r t_bgz m_bgz < <(best_of_fresh "$data/ours_gz.tsv" 5 bash -c "'$BIN/vcf_to_table' '$gz' '$data/ours_gz.tsv'")
row "cat plain" "$t_cat" "$m_cat"
row "zcat bgzipped" "$t_zcat" "$m_zcat"
row "vcf_to_table plain" "$t_plain" "$m_plain"
row "vcf_to_table bgzipped" "$t_bgz" "$m_bgz"
if cmp -s "$data/ours.tsv" "$data/ours_gz.tsv"; then
    echo "  rows: $(wc -l < "$data/ours.tsv") (same from both files)"
else
    echo "  rows differ between the plain and the bgzipped file!"
fi

if command -v bcftools >/dev/null; then
    read -r t_bq m_bq < <(best_of_fresh "$data/bcftools.out" 5 bash -c "bcftools query -f '$fmt' '$vcf' > '$data/bcftools.out'")
    read -r t_bqz m_bqz < <(best_of_fresh "$data/bcftools.out" 5 bash -c "bcftools query -f '$fmt' '$gz' > '$data/bcftools.out'")
    row "bcftools query plain" "$t_bq" "$m_bq"
    row "bcftools query bgzipped" "$t_bqz" "$m_bqz"
    awk -v a="$t_bq" -v b="$t_plain" -v c="$t_bqz" -v d="$t_bgz" 'BEGIN {
        if (b <= 0) b = 0.01; if (d <= 0) d = 0.01;
        printf "  ratio bcftools query / vcf_to_table, plain:    %.1fx (target: at least 3x)\n", a / b;
        printf "  ratio bcftools query / vcf_to_table, bgzipped: %.1fx (target: at least 3x)\n", c / d }'
else
    echo "  bcftools not installed: no ratio"
fi
