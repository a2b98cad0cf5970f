#!/usr/bin/env bash
# Times read_qc_stat on a 2 x 150 bp pair of 1,000,000 records per file, gzip -6 and
# plain, next to the time of inflating both files alone (with the decompressor the
# suite uses), `seqtk fqchk` over read 1 then read 2, and fastp as a QC-only pass
# (trimming and filtering off, one worker). Then cross-checks total bases, Q20 and Q30
# fractions, GC content and mean read length against the peers' own figures. Peers are
# installed here with apt-get when missing (as root, never in CI).
#   bench/bench_qc.sh [RECORDS]      BIN=<dir of read_qc_stat> (default build/bin)
#                                    OLD=<an earlier read_qc_stat to compare with>
# The targets on the gzip pair: at most 1/3 of seqtk's wall time idle and 0.4 of it
# pinned to one CPU, at most 1/10 of fastp's wall time and 1/15 of its CPU time, at most
# 1.3 times the CPU time of OLD, and under 64 MiB of memory.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
src=$(cd "$here/.." && pwd)
BIN=${BIN:-$src/build/bin}
records=${1:-1000000}
data=$here/data/qc
out=$data/out
mkdir -p "$data" "$out"

if [ ! -x "$BIN/read_qc_stat" ]; then
    echo "no $BIN/read_qc_stat: build first (make build) or set BIN" >&2
    exit 1
fi
for peer in seqtk fastp; do
    if ! command -v $peer >/dev/null; then
        if [ "$(id -u)" -eq 0 ] && [ -z "${CI:-}" ] && command -v apt-get >/dev/null; then
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $peer >/dev/null || true
        fi
    fi
done

if [ ! -s "$data/r_2.fq.gz" ] || [ "$(cat "$data/params" 2>/dev/null)" != "$records" ]; then
    echo "generating 2 x $records records of 150 bases in $data ..."
    g++ -O2 -o "$data/gen" "$here/gen_fastq.cpp"
    "$data/gen" "$data" "$records" 150
    gzip -6 -c "$data/r_1.fq" > "$data/r_1.fq.gz"
    gzip -6 -c "$data/r_2.fq" > "$data/r_2.fq.gz"
    echo "$records" > "$data/params"
fi
ls -la "$data"/r_?.fq "$data"/r_?.fq.gz | awk '{printf "  %s %.0f MB\n", $NF, $5/1e6}'

# The inflate-only baseline: the suite's own byte source, read to the end.
if [ -f /usr/include/isa-l/igzip_lib.h ]; then inflater=(-DWES_HAVE_ISAL -lisal -lz); else inflater=(-lz); fi
if [ ! -x "$data/inflate_only" ] || [ "$here/inflate_only.cpp" -nt "$data/inflate_only" ]; then
    g++ -O2 -std=c++20 -I"$src/common" -o "$data/inflate_only" "$here/inflate_only.cpp" \
        "$src/common/byte_source.cpp" "$src/common/gzip_source.cpp" "$src/common/inflate.cpp" "${inflater[@]}" -pthread
fi

both() { "$@" "$data/r_1.fq.gz" && "$@" "$data/r_2.fq.gz"; }
both_plain() { "$@" "$data/r_1.fq" && "$@" "$data/r_2.fq"; }
export -f both both_plain
export data

R=${R:-3}
inflate=$(measure $R "$data/inflate_only" "$data/r_1.fq.gz" "$data/r_2.fq.gz")
ours_gz=$(measure $R "$BIN/read_qc_stat" "$data/r_1.fq.gz" "$data/r_2.fq.gz" "$out/ours_gz")
ours_pl=$(measure $R "$BIN/read_qc_stat" "$data/r_1.fq" "$data/r_2.fq" "$out/ours_plain")
[ -n "${OLD:-}" ] && old_gz=$(measure $R "$OLD" "$data/r_1.fq.gz" "$data/r_2.fq.gz" "$out/old_gz")
header
row "inflate both gz files, one after the other" "$inflate"
row "read_qc_stat, gz pair" "$ours_gz"
row "read_qc_stat, plain pair" "$ours_pl"
[ -n "${OLD:-}" ] && row "OLD read_qc_stat, gz pair" "$old_gz"
have_seqtk=0 have_fastp=0
command -v seqtk >/dev/null && have_seqtk=1
command -v fastp >/dev/null && have_fastp=1
if [ $have_seqtk = 1 ]; then
    seqtk_gz=$(measure $R bash -c 'both seqtk fqchk')
    seqtk_pl=$(measure $R bash -c 'both_plain seqtk fqchk')
    row "seqtk fqchk, read 1 then read 2, gz" "$seqtk_gz"
    row "seqtk fqchk, read 1 then read 2, plain" "$seqtk_pl"
fi
if [ $have_fastp = 1 ]; then
    fastp_args=(-i "$data/r_1.fq.gz" -I "$data/r_2.fq.gz" -A -G -Q -L -w 1 -j "$out/fastp.json" -h "$out/fastp.html")
    fastp=$(measure 1 fastp "${fastp_args[@]}")
    row "fastp -A -G -Q -L -w 1 (QC only, one worker)" "$fastp"
fi
echo "  read_qc_stat's share of the other's time (wall, CPU; idle, pinned):"
ratio "read_qc_stat gz / inflating alone" "$ours_gz" "$inflate" -
if [ $have_seqtk = 1 ]; then
    ratio "read_qc_stat / seqtk fqchk, gz" "$ours_gz" "$seqtk_gz" "0.33 - 0.4 -"
    ratio "read_qc_stat / seqtk fqchk, plain" "$ours_pl" "$seqtk_pl" 0.33
fi
[ $have_fastp = 1 ] && ratio "read_qc_stat / fastp, gz" "$ours_gz" "$fastp" "0.1 0.067 - -"
[ -n "${OLD:-}" ] && ratio "read_qc_stat / OLD read_qc_stat, gz" "$ours_gz" "$old_gz" "- 1.3 - 1.3"
awk -v m="$(echo "$ours_gz" | cut -d' ' -f5)" 'BEGIN {
    printf "  read_qc_stat peak memory, gz pair: %.1f MiB (target < 64 MiB: %s)\n", m / 1024, m < 64 * 1024 ? "met" : "NOT met" }' 
for s in quality GC_content totstat; do
    cmp -s "$out/ours_gz.$s" "$out/ours_plain.$s" || echo "  WARNING: gz and plain .$s differ"
    if [ -n "${OLD:-}" ]; then cmp -s "$out/ours_gz.$s" "$out/old_gz.$s" || echo "  WARNING: .$s differs from OLD's"; fi
done
cmp -s <(grep -v '^DATE\|^INPUT' "$out/ours_gz.read_stats") <(grep -v '^DATE\|^INPUT' "$out/ours_plain.read_stats") ||
    echo "  WARNING: gz and plain .read_stats differ"

echo
echo "metric cross-check on the gz pair (fractions of bases):"
python3 - "$out/ours_gz.totstat" "$data" "$out/fastp.json" $have_seqtk $have_fastp <<'PY'
import json, subprocess, sys
tot, data, fastp_json, have_seqtk, have_fastp = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1", sys.argv[5] == "1"
ours = dict(l.split("\t") for l in open(tot).read().split("\n") if l)
sn = dict(l.rstrip("\n").split("\t")[1:3] for l in open(tot[:-len("totstat")] + "read_stats") if l.startswith("SN\t"))
pairs = int(sn["read_pairs"])
line = "  mean read length, read 1 / read 2: read_qc_stat %.2f / %.2f" % (int(sn["bases_1"]) / pairs, int(sn["bases_2"]) / pairs)
if have_fastp:
    f = json.load(open(fastp_json))["summary"]["before_filtering"]
    line += ";  fastp %s / %s" % (f["read1_mean_length"], f["read2_mean_length"])
print(line)
rows = [("read_qc_stat", int(ours["base_number"]), float(ours["Q_20"]), float(ours["Q_30"]), float(ours["GC_content"]))]
if have_seqtk:
    bases = q20 = q30 = gc = 0.0
    for mate in ("r_1.fq.gz", "r_2.fq.gz"):
        f = f"{data}/{mate}"
        for q in (20, 30):
            out = subprocess.run(["seqtk", "fqchk", "-q", str(q), f], capture_output=True, text=True, check=True).stdout
            head = next(l for l in out.splitlines() if l.startswith("POS")).split("\t")
            all_ = dict(zip(head, next(l for l in out.splitlines() if l.startswith("ALL")).split("\t")))
            n = float(all_["#bases"])
            if q == 20:
                bases += n
                gc += n * (float(all_["%C"]) + float(all_["%G"])) / 100
                q20 += n * float(all_["%high"]) / 100
            else:
                q30 += n * float(all_["%high"]) / 100
    rows.append(("seqtk fqchk (-q 20, -q 30)", int(bases), q20 / bases, q30 / bases, gc / bases))
if have_fastp:
    s = json.load(open(fastp_json))["summary"]["before_filtering"]
    rows.append(("fastp JSON before_filtering", s["total_bases"], s["q20_rate"], s["q30_rate"], s["gc_content"]))
print(f"  {'tool':<30} {'bases':>12} {'Q20':>10} {'Q30':>10} {'GC':>10}")
for name, b, a, c, g in rows:
    print(f"  {name:<30} {b:>12} {a:>10.6f} {c:>10.6f} {g:>10.6f}")
if have_seqtk:
    print("  (seqtk prints percentages with one decimal: its figures agree to +-0.001)")
PY
