#!/usr/bin/env bash
# A faulty sample sheet or setting stops the run before any job, with status 1 and one line
# naming each fault: each case is a sheet (or a setting) and the line it must bring.
. "$(dirname "$0")/lib.sh"

T=$'\t'
d=$SRC/demo/data
good="DEMO01$T$d/DEMO01_R1.fq.gz$T$d/DEMO01_R2.fq.gz$T$d/DEMO01.vcf"
header="sample${T}fq_1${T}fq_2${T}vcf"
sheet=$WORK/sheet.tsv

# case_ NAME SHEET_TEXT EXPECTED_LINE [SETTING...]
failures=0
case_() {
    local name=$1 text=$2 expected=$3
    shift 3
    local out=$WORK/out-$name
    printf '%s\n' "$text" > "$sheet"
    if snake "$out" --profile workflow/profiles/local -- "samples=$sheet" "$@"; then
        echo "$name: the run succeeded"
        failures=$((failures + 1))
    elif ! grep -qxF -- "$expected" "$WORK/snake.log"; then
        echo "$name: no line '$expected' in:"
        cat "$WORK/snake.log"
        failures=$((failures + 1))
    elif [ -e "$out" ]; then
        echo "$name: a job ran: $out exists"
        failures=$((failures + 1))
    fi
}

case_ missing-file "$header
$good
DEMO02${T}DEMO02_R1.fq.gz$T$d/DEMO01_R2.fq.gz$T$d/DEMO01.vcf" \
    "$sheet line 3: fq_1 of DEMO02, DEMO02_R1.fq.gz, does not exist ($WORK/DEMO02_R1.fq.gz)"
case_ duplicate "$header
$good

$good" "$sheet line 4: sample DEMO01 has this FASTQ pair on line 2 already"
case_ two-vcfs "$header
$good
DEMO01$T$d/DEMO01_R2.fq.gz$T$d/DEMO01_R1.fq.gz$T$SRC/workflow/example/DEMO03.vcf" \
    "$sheet line 3: sample DEMO01 names the VCF $SRC/workflow/example/DEMO03.vcf here and $d/DEMO01.vcf on line 2: the rows of one sample (its lanes) name one VCF"
case_ header-only "$header" "$sheet lists no sample"
case_ name "$header
-S1$T$d/DEMO01_R1.fq.gz$T$d/DEMO01_R2.fq.gz$T$d/DEMO01.vcf" \
    "$sheet line 2: sample: the sample name may hold only letters, digits, '.', '_' and '-', and starts with a letter or digit (not '-S1')"
case_ bad-column "sample${T}fq1${T}fq_2${T}vcf
$good" "$sheet line 1: the columns must be sample fq_1 fq_2 vcf, separated by tabs, not sample fq1 fq_2 vcf"
case_ spaces "$header
DEMO01 $d/DEMO01_R1.fq.gz $d/DEMO01_R2.fq.gz $d/DEMO01.vcf" \
    "$sheet line 2: 1 column separated by tabs, not 4 (sample fq_1 fq_2 vcf)"
case_ database "$header
$good" "config: paths: WES_SSR_FILE, /nonexistent/ssr.bed, does not exist" "paths={WES_SSR_FILE: /nonexistent/ssr.bed}"
case_ output-blank "$header
$good" "config: output: the output folder, without white space: the annotators take their output path up to its first blank (not '$WORK/my results')" "output=$WORK/my results"
case_ quote "$header
$good" "config: --config output=$WORK/o'ut: a value with a quote, a backslash or a control character does not reach cluster jobs intact; give it in a --configfile" "output=$WORK/o'ut"
case_ unknown-setting "$header
$good" "config: Additional properties are not allowed ('ouptut' was unexpected)" "ouptut=x"

[ "$failures" -eq 0 ] || fail "$failures of 11 faulty sheets or settings were not reported as such"
echo "11 faulty sheets and settings stopped before any job"
