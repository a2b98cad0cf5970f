#!/usr/bin/env bash
# The bundled sheet run on this machine (two cores): every sample's files are the bytes that
# demo/run writes for that sample's inputs, every rule leaves a log per sample, and a second
# run finds nothing to do.
. "$(dirname "$0")/lib.sh"

out=$WORK/out
snake "$out" --profile workflow/profiles/local --cores 2 || { cat "$WORK/snake.log"; fail "the run failed"; }

differ=0
while IFS=$'\t' read -r sample fq_1 fq_2 vcf; do
    same_as_demo "$sample" "$fq_1" "$fq_2" "$vcf" "$out" || differ=1
    for rule in read_qc_stat qc_report vcf_to_table table_to_accession run_tessaro revise_popfreq join_splice_db \
        join_protein_db join_score_db mark_repeat run_origin_label run_tier_sort; do
        [ -s "$out/logs/$sample/$rule.log" ] || { echo "no log of $rule for $sample"; differ=1; }
    done
done < <(sheet_rows "$SHEET")
[ "$differ" -eq 0 ] || fail "the workflow's results differ from demo/run's"
[ -s "$out/multiqc/multiqc_report.html" ] || fail "no MultiQC report of the batch"
# The altered sample is not the demo sample under another name.
cmp -s "$out/DEMO01/DEMO01.tier.txt" "$out/DEMO03/DEMO03.tier.txt" && fail "DEMO03's tier table is DEMO01's"

snake "$out" --profile workflow/profiles/local --cores 2 || { cat "$WORK/snake.log"; fail "the second run failed"; }
grep -q '^Nothing to be done' "$WORK/snake.log" || { cat "$WORK/snake.log"; fail "the second run did work again"; }
echo "3 samples run locally, the same bytes as demo/run's"
