#!/usr/bin/env bash
# The bundled sheet and a sample with a broken VCF, run through a one-node Slurm cluster
# that this test starts and stops, into an output folder whose name holds a quote and a
# command substitution: the three good samples' files are demo/run's bytes; the broken
# sample's chain fails alone, its QC still runs, the run's status and log say so and its
# last lines name the failed sample; nothing of the folder's name ran as a command.
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "starting Slurm's daemons needs root"
for cmd in munged slurmctld slurmd sbatch scontrol; do
    command -v "$cmd" >/dev/null || skip "$cmd is not installed (.ci/deps.sh installs slurmctld slurmd slurm-client munge as root)"
done

cluster=$WORK/slurm
trap 'bash "$SRC/workflow/slurm/stop" "$cluster"' EXIT
bash "$SRC/workflow/slurm/start" "$cluster" || fail "the cluster did not start"
export SLURM_CONF=$cluster/slurm.conf

# DEMO04: the demo sample with its VCF cut off mid-stream.
d=$SRC/demo/data
gzip -c "$d/DEMO01.vcf" | head -c 8000 > "$WORK/DEMO04.vcf.gz"
sheet=$WORK/samples.tsv
{
    printf 'sample\tfq_1\tfq_2\tvcf\n'
    sheet_rows "$SHEET"
    printf 'DEMO04\t%s\t%s\t%s\n' "$d/DEMO01_R1.fq.gz" "$d/DEMO01_R2.fq.gz" "$WORK/DEMO04.vcf.gz"
} > "$sheet"

out=$WORK/"o'ut\$(id>ran)"
printf 'output: "%s"\n' "$out" > "$WORK/output.yaml"
started=$(date +%s)
timeout 600 snakemake --profile workflow/profiles/slurm --configfile "$DEMO_SETTINGS" "$WORK/output.yaml" \
    --config "samples=$sheet" "bin=$BIN" > "$WORK/snake.log" 2>&1
status=$?
seconds=$(($(date +%s) - started))
[ "$status" -eq 1 ] || { cat "$WORK/snake.log"; fail "the run's status is $status, not 1"; }

differ=0
while IFS=$'\t' read -r sample fq_1 fq_2 vcf; do
    same_as_demo "$sample" "$fq_1" "$fq_2" "$vcf" "$out" || differ=1
done < <(sheet_rows "$SHEET")
[ "$differ" -eq 0 ] || fail "the results through Slurm differ from demo/run's"

# The broken sample: its read QC done, its chain stopped at the VCF with nothing left over.
for suffix in quality GC_content totstat; do
    [ -s "$out/DEMO04/DEMO04.qc.$suffix" ] || fail "DEMO04's read QC did not run"
done
left=$(ls "$out/DEMO04" | grep -v '\.qc[._]')
[ -z "$left" ] || fail "the failed chain left files: $left"
grep -q '^Error: cannot read .*DEMO04.vcf.gz' "$out/logs/DEMO04/vcf_to_table.log" &&
    grep -qx 'run_step: vcf_to_table failed: status 2' "$out/logs/DEMO04/vcf_to_table.log" ||
    fail "the log of vcf_to_table for DEMO04 tells no failure: $(cat "$out/logs/DEMO04/vcf_to_table.log")"
grep -q "Error executing group job chain on cluster" "$WORK/snake.log" &&
    grep -q 'Exiting because a job execution failed' "$WORK/snake.log" ||
    fail "the run's log tells no failure"

summary=$(sed -n '/^wes-suite: /,$p' "$WORK/snake.log" | grep -v '^Complete log')
[ "$summary" = "wes-suite: 1 of 4 samples failed:
  DEMO04: vcf_to_table failed, log $out/logs/DEMO04/vcf_to_table.log
wes-suite: completed: DEMO01 DEMO02 DEMO03" ] || fail "the run ends with: $summary"
ran=$(find "$SRC" "$WORK" "$cluster" -name ran 2>/dev/null)
[ -z "$ran" ] || fail "the output folder's name ran as a command: $ran"

# Every job went through Slurm: a chain and a read QC job per sample (the batch's MultiQC
# report runs where Snakemake runs).
jobs=$(ls "$out/logs/slurm" | wc -l)
[ "$jobs" -eq 8 ] || fail "$jobs Slurm job logs, not 8"
echo "4 samples through Slurm in $seconds s: 3 with demo/run's bytes, the broken one failed alone"
