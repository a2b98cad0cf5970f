#!/usr/bin/env bash
# A dry run of the bundled sheet plans every step once per sample and the default target
# once; through the Slurm profile each sample's chain is one group job; nothing is written.
. "$(dirname "$0")/lib.sh"

out=$WORK/out
snake "$out" -n --profile workflow/profiles/local || { cat "$WORK/snake.log"; fail "the dry run failed"; }
# The "Job stats" table: one "rule count" line per rule, then the total.
got=$(awk '/^Job stats:/ { table = 1; next } table && $1 == "total" { print $1, $2; exit }
           table && $2 ~ /^[0-9]+$/ { print $1, $2 }' "$WORK/snake.log")
want="all 1
join_protein_db 3
join_score_db 3
join_splice_db 3
mark_repeat 3
multiqc 1
qc_report 3
read_qc_stat 3
revise_popfreq 3
run_origin_label 3
run_tessaro 3
run_tier_sort 3
table_to_accession 3
vcf_to_table 3
total 38"
[ "$got" = "$want" ] || fail "the planned jobs differ:$(diff <(echo "$want") <(echo "$got"))"

snake "$out" -n --profile workflow/profiles/slurm || { cat "$WORK/snake.log"; fail "the Slurm profile's dry run failed"; }
groups=$(grep -c '^group job chain ' "$WORK/snake.log")
[ "$groups" -eq 3 ] || fail "the Slurm profile plans $groups chain group jobs, not one per sample (3)"
# Every rule of a sample is in one of its two groups (a group's jobs are indented): only the
# batch's MultiQC report and the default target stand alone.
alone=$(grep -E '^(local)?rule ' "$WORK/snake.log" | sort | uniq -c | tr -s ' ')
[ "$alone" = " 1 localrule all:
 1 localrule multiqc:" ] || fail "jobs outside the groups: $alone"

[ ! -e "$out" ] || fail "the dry run wrote $out"
echo "dry runs: 38 jobs planned; 3 chain group jobs through Slurm"
