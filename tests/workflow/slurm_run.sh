#!/usr/bin/env bash
# The batch of batch_sheet (lib.sh: the bundled sheet, a 2x250 sample, a two-lane sample and
# one with a broken VCF), run through a one-node Slurm cluster that this test starts and
# stops, into an output folder whose name holds a quote and a command substitution: the good
# samples' files are demo/run's bytes (both lanes' QC for the two-lane one); the broken
# sample's chain fails alone, its QC still runs, the run's status and log say so and its last
# lines name the failed sample; nothing of the folder's name ran as a command.
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "starting Slurm's daemons needs root"
for cmd in munged slurmctld slurmd sbatch scontrol; do
    command -v "$cmd" >/dev/null || skip "$cmd is not installed (.ci/deps.sh installs slurmctld slurmd slurm-client munge as root)"
done

cluster=$WORK/slurm
trap 'bash "$SRC/workflow/slurm/stop" "$cluster"' EXIT
bash "$SRC/workflow/slurm/start" "$cluster" || fail "the cluster did not start"
export SLURM_CONF=$cluster/slurm.conf

sheet=$WORK/samples.tsv
batch_sheet "$sheet"

out=$WORK/"o'ut\$(id>ran)"
printf 'output: "%s"\n' "$out" > "$WORK/output.yaml"
started=$(date +%s)
timeout 600 snakemake --profile workflow/profiles/slurm --configfile "$DEMO_SETTINGS" "$WORK/output.yaml" \
    --config "samples=$sheet" "bin=$BIN" > "$WORK/snake.log" 2>&1
status=$?
seconds=$(($(date +%s) - started))
[ "$status" -eq 1 ] || { cat "$WORK/snake.log"; fail "the run's status is $status, not 1"; }

same_as_batch "$sheet" "$out" || fail "the results through Slurm differ from demo/run's"
grep -q '^Error: cannot read .*BROKEN.vcf.gz' "$out/logs/BROKEN/vcf_to_table.log" &&
    grep -qx 'run_step: vcf_to_table failed: status 2' "$out/logs/BROKEN/vcf_to_table.log" ||
    fail "the log of vcf_to_table for BROKEN tells no failure: $(cat "$out/logs/BROKEN/vcf_to_table.log")"
grep -q "Error executing group job chain on cluster" "$WORK/snake.log" &&
    grep -q 'Exiting because a job execution failed' "$WORK/snake.log" ||
    fail "the run's log tells no failure"

summary=$(sed -n '/^wes-suite: /,$p' "$WORK/snake.log" | grep -v '^Complete log')
[ "$summary" = "wes-suite: 1 of 6 samples failed:
  BROKEN: vcf_to_table failed, log $out/logs/BROKEN/vcf_to_table.log
wes-suite: completed: DEMO01 DEMO02 DEMO03 DEMO03.txt DEMO01_fastqc" ] || fail "the run ends with: $summary"
ran=$(find "$SRC" "$WORK" "$cluster" -name ran 2>/dev/null)
[ -z "$ran" ] || fail "the output folder's name ran as a command: $ran"

# Every job went through Slurm: a chain and a read QC job per sample (the batch's MultiQC
# report runs where Snakemake runs).
jobs=$(ls "$out/logs/slurm" | wc -l)
[ "$jobs" -eq 12 ] || fail "$jobs Slurm job logs, not 12"
echo "6 samples through Slurm in $seconds s: 5 with demo/run's bytes or both lanes' QC, the broken one failed alone"
