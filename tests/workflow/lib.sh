# Shared by the workflow tests (sourced). Each test runs Snakemake from the repository's top
# folder with the bundled settings, as the README does, its outputs in a folder of its own
# (WES_TEST_WORK/<test>), the programs from WES_BIN. Status 77 marks a skipped test.
set -uo pipefail

SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BIN=${WES_BIN:?set WES_BIN to the folder of the built programs}
WORK=${WES_TEST_WORK:?set WES_TEST_WORK}/$(basename "$0" .sh)
SHEET=$SRC/workflow/config/samples.tsv

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}

command -v snakemake >/dev/null || skip "snakemake is not installed (.ci/deps.sh installs it when run as root)"
rm -rf "$WORK" && mkdir -p "$WORK" || fail "cannot make $WORK"
cd "$SRC" || fail "cannot enter $SRC"

# A site's settings naming the demo's databases and scripts, for the tests' own sheets.
DEMO_SETTINGS=$WORK/demo-settings.yaml
{
    echo "score_db_name: demo_score"
    echo "paths:"
    for pair in SPLICE_DB:data/splice_predict_database.txt PROTEIN_DB:data/protein_predict.txt \
        SCORE_DB:data/score.sorted.txt POPFREQ_DB:data/popfreq.tot.txt SSR_FILE:data/ssr.bed \
        TESSARO_SCRIPT:scripts/Tessaro_v1.2.pl ORIGIN_LABEL_SCRIPT:scripts/3.4.origin_label.v1.pl \
        OMIM_DB:data/OMIM_database.v2.txt SWISSVAR_DB:data/Swiss_database.v2.txt \
        HGMD_DB:data/Hgmd_database.v2.txt CLINVAR_DB:data/Clinvar_database.v2.txt \
        TIER_SORT_SCRIPT:scripts/3.6.tier_sort.pl; do
        echo "  WES_${pair%%:*}: $SRC/demo/${pair#*:}"
    done
} > "$DEMO_SETTINGS"

# snake OUTPUT ARG... [-- SETTING...]: Snakemake on the bundled settings with the results in
# OUTPUT and the given settings (key=value; a sheet other than the bundled one comes with
# the demo's databases of DEMO_SETTINGS); its standard output and error in $WORK/snake.log,
# its status returned.
snake() {
    local out=$1 args=() setting
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        args+=("$1")
        shift
    done
    shift
    for setting in "$@"; do
        [[ $setting == samples=* ]] && args+=(--configfile "$DEMO_SETTINGS")
    done
    snakemake "${args[@]}" --config "output=$out" "bin=$BIN" "$@" > "$WORK/snake.log" 2>&1
}

# sheet_rows SHEET: the sheet's samples as "sample fq_1 fq_2 vcf" lines, paths absolute.
sheet_rows() {
    local dir
    dir=$(cd "$(dirname "$1")" && pwd)
    awk -F'\t' -v dir="$dir" 'function abs(p) { return p ~ /^\// ? p : dir "/" p }
        NR > 1 && NF == 4 { print $1 "\t" abs($2) "\t" abs($3) "\t" abs($4) }' "$1"
}

# run_free FILE: FILE without what tells one run of read_qc_stat from another, the date of
# the run and the inputs' names, sizes and times (the DATE and INPUT lines of .read_stats,
# the rows of the page's "Run" table).
run_free() {
    grep -v -e $'^DATE\t' -e $'^INPUT\t' -e '^<tr><th scope="row">Pair [0-9]*, read [12]</th>' \
        -e '^<tr><th scope="row">read_qc_stat</th>' "$1"
}

# same_as_demo SAMPLE FQ_1 FQ_2 VCF RESULTS: demo/run on the sample's files (a copy of demo/
# whose DEMO01 files are the sample's) writes the same bytes as the workflow wrote to
# RESULTS/SAMPLE, file for file, but for what tells the runs apart (run_free). Prints what
# differs; status 1 then.
same_as_demo() {
    local sample=$1 fq_1=$2 fq_2=$3 vcf=$4 results=$5
    local ref=$WORK/demo-$sample f name differ=0
    mkdir -p "$ref/demo/data" || return 1
    cp "$SRC/demo/run" "$ref/demo/run"
    ln -s "$SRC/demo/scripts" "$ref/demo/scripts"
    for f in "$SRC"/demo/data/*; do ln -s "$f" "$ref/demo/data/"; done
    ln -sf "$fq_1" "$ref/demo/data/DEMO01_R1.fq.gz"
    ln -sf "$fq_2" "$ref/demo/data/DEMO01_R2.fq.gz"
    ln -sf "$vcf" "$ref/demo/data/DEMO01.vcf"
    if ! WES_DEMO_BIN=$BIN WES_DEMO_OUT=$ref/out bash "$ref/demo/run" > "$ref/run.out" 2>&1; then
        echo "demo/run failed on $sample:"
        cat "$ref/run.out"
        return 1
    fi
    for f in "$ref"/out/DEMO01.*; do
        name=$sample${f##*/DEMO01}
        case $name in
        *.html | *_mqc.json)  # they name their sample
            cmp <(run_free "$f" | sed "s/DEMO01/$sample/g") <(run_free "$results/$sample/$name") || differ=1 ;;
        *.read_stats) cmp <(run_free "$f") <(run_free "$results/$sample/$name") || differ=1 ;;
        *) cmp "$f" "$results/$sample/$name" || differ=1 ;;
        esac
    done
    local made wanted
    made=$(ls "$results/$sample" | wc -l)
    wanted=$(ls "$ref"/out/DEMO01.* | wc -l)
    [ "$made" -eq "$wanted" ] || {
        echo "$sample: the workflow made $made files, demo/run $wanted"
        differ=1
    }
    return $differ
}

# batch_sheet SHEET: the bundled sheet and three more samples, their inputs in $WORK: a 2x250
# sample (DEMO03.txt: DEMO03's reads, each followed by its first 100 bases), a sample on two
# lanes (DEMO01_fastqc: DEMO01's pair and DEMO03's, with DEMO01's VCF) and one whose VCF is
# cut short (BROKEN). Their names are those MultiQC's cleaning would fold into others.
batch_sheet() {
    local d=$SRC/demo/data ex=$SRC/workflow/example r
    for r in R1 R2; do
        gzip -dc "$ex/DEMO03_$r.fq.gz" | awk 'NR % 2 == 0 { $0 = $0 substr($0, 1, 100) } 1' |
            gzip -n > "$WORK/L250_$r.fq.gz"
    done
    gzip -c "$d/DEMO01.vcf" | head -c 8000 > "$WORK/BROKEN.vcf.gz"
    {
        printf 'sample\tfq_1\tfq_2\tvcf\n'
        sheet_rows "$SHEET"
        printf 'DEMO03.txt\t%s\t%s\t%s\n' "$WORK/L250_R1.fq.gz" "$WORK/L250_R2.fq.gz" "$ex/DEMO03.vcf"
        printf 'DEMO01_fastqc\t%s\t%s\t%s\n' "$d/DEMO01_R1.fq.gz" "$d/DEMO01_R2.fq.gz" "$d/DEMO01.vcf"
        printf 'BROKEN\t%s\t%s\t%s\n' "$d/DEMO01_R1.fq.gz" "$d/DEMO01_R2.fq.gz" "$WORK/BROKEN.vcf.gz"
        printf 'DEMO01_fastqc\t%s\t%s\t%s\n' "$ex/DEMO03_R1.fq.gz" "$ex/DEMO03_R2.fq.gz" "$d/DEMO01.vcf"
    } > "$1"
}

# same_as_batch SHEET OUT: the good samples of batch_sheet's SHEET in OUT are demo/run's bytes for
# their inputs (the two-lane sample's QC: read_qc_stat over both its pairs; its other files
# DEMO01's), BROKEN kept its QC and nothing of its failed chain. Prints what differs.
same_as_batch() {
    local sheet=$1 out=$2 sample fq_1 fq_2 vcf f differ=0 d=$SRC/demo/data ex=$SRC/workflow/example
    while IFS=$'\t' read -r sample fq_1 fq_2 vcf; do
        [ "$sample" = BROKEN ] || [ "$sample" = DEMO01_fastqc ] && continue
        same_as_demo "$sample" "$fq_1" "$fq_2" "$vcf" "$out" || differ=1
    done < <(sheet_rows "$sheet")
    "$BIN/read_qc_stat" "$d/DEMO01_R1.fq.gz" "$d/DEMO01_R2.fq.gz" "$ex/DEMO03_R1.fq.gz" "$ex/DEMO03_R2.fq.gz" \
        "$WORK/lanes.qc" || differ=1
    for f in quality GC_content totstat; do
        cmp "$WORK/lanes.qc.$f" "$out/DEMO01_fastqc/DEMO01_fastqc.qc.$f" || differ=1
    done
    cmp <(run_free "$WORK/lanes.qc.read_stats") <(run_free "$out/DEMO01_fastqc/DEMO01_fastqc.qc.read_stats") || differ=1
    cmp "$out/DEMO01/DEMO01.tier.txt" "$out/DEMO01_fastqc/DEMO01_fastqc.tier.txt" || differ=1
    for f in quality GC_content totstat read_stats; do
        [ -s "$out/BROKEN/BROKEN.qc.$f" ] || { echo "BROKEN's read QC did not run"; differ=1; }
    done
    f=$(ls "$out/BROKEN" | grep -v '\.qc[._]')
    [ -z "$f" ] || { echo "the failed chain left files:" $f; differ=1; }
    return $differ
}
