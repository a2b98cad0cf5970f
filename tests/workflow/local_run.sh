#!/usr/bin/env bash
# The bundled sheet and three more samples run on this machine (two cores): a 2x250 sample
# (DEMO03.txt), a sample on two lanes (DEMO01_fastqc) and one whose VCF is cut short
# (BROKEN), with results of an earlier run beside it. Every good sample's files are the
# bytes that demo/run writes for its inputs, the two-lane sample's QC covers both pairs,
# every rule leaves a log per sample, MultiQC keeps a row for every sample (names it would
# otherwise clean into one), and the run ends naming the failed sample, its step and log,
# with no result of the earlier run left beside it. A second run redoes only the failed
# sample's chain.
. "$(dirname "$0")/lib.sh"

sheet=$WORK/samples.tsv
batch_sheet "$sheet"
out=$WORK/out
# An earlier run's chain of BROKEN, older than its (since cut) VCF.
mkdir -p "$out/BROKEN" || fail "cannot make $out/BROKEN"
for f in table accession no_accession sorted tessaro popfreq splice protein score ssr origin tier; do
    echo earlier > "$out/BROKEN/BROKEN.$f.txt" && touch -d 2000-01-01 "$out/BROKEN/BROKEN.$f.txt"
done

snake "$out" --profile workflow/profiles/local --cores 2 -- "samples=$sheet"
status=$?
[ "$status" -eq 1 ] || { cat "$WORK/snake.log"; fail "the run's status is $status, not 1"; }

same_as_batch "$sheet" "$out" || fail "the workflow's results differ from demo/run's"
for rule in read_qc_stat qc_report vcf_to_table table_to_accession run_tessaro revise_popfreq join_splice_db \
    join_protein_db join_score_db mark_repeat run_origin_label run_tier_sort; do
    [ -s "$out/logs/DEMO01/$rule.log" ] || fail "no log of $rule for DEMO01"
done
# The altered sample is not the demo sample under another name.
cmp -s "$out/DEMO01/DEMO01.tier.txt" "$out/DEMO03/DEMO03.tier.txt" && fail "DEMO03's tier table is DEMO01's"

# MultiQC: a row per sample, none folded into another.
names=$(cut -f1 "$out/multiqc/multiqc_data/multiqc_general_stats.txt" | tail -n +2 | sort | tr '\n' ' ')
[ "$names" = "BROKEN DEMO01 DEMO01_fastqc DEMO02 DEMO03 DEMO03.txt " ] || fail "MultiQC's rows: $names"
reads=$(grep -o '<th id="header_mqc-generalstats-wes_suite_qc-reads" class="[^"]*"' "$out/multiqc/multiqc_report.html")
[ -n "$reads" ] && [[ $reads != *hidden* ]] || fail "the MultiQC report hides the read count: ${reads:-no column}"

# The broken sample: named at the end with its step and log; no result of the earlier run.
summary=$(sed -n '/^wes-suite: /,$p' "$WORK/snake.log" | grep -v '^Complete log')
want="wes-suite: 1 of 6 samples failed:
  BROKEN: vcf_to_table failed, log $out/logs/BROKEN/vcf_to_table.log
wes-suite: removed 11 results of an earlier run that the failed steps would have remade
wes-suite: completed: DEMO01 DEMO02 DEMO03 DEMO03.txt DEMO01_fastqc"
[ "$summary" = "$want" ] || fail "the run ends with:
$summary
not:
$want"

snake "$out" --profile workflow/profiles/local --cores 2 -- "samples=$sheet"
ran=$(grep -o 'wildcards: sample=.*' "$WORK/snake.log" | sort -u)
[ "$ran" = "wildcards: sample=BROKEN" ] || { cat "$WORK/snake.log"; fail "the second run ran: $ran"; }
echo "6 samples run locally: 5 with demo/run's bytes or both lanes' QC, the broken one named at the end"
