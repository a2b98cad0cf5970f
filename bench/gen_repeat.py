#!/usr/bin/env python3
"""Deterministic sorted mutation table and SSR interval file for the mark_repeat benchmark.

    gen_repeat.py OUT_DIR [ROWS] [INTERVALS]

Writes OUT_DIR/rows.txt (a '#' header line, then ROWS rows of ten tab-separated columns)
and OUT_DIR/ssr.bed (INTERVALS intervals, six columns, no header). Both are sorted by
accession byte-wise, then by start; the intervals of a chromosome never overlap. The '#'
header lets bedtools read the same table file.
"""
import os
import random
import re
import sys

def accession_table():
    """The suite's accession table, read from convert/chr_trans.cpp: the one copy of it."""
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "convert", "chr_trans.cpp")
    with open(src) as f:
        return re.findall(r'\{"(\w+)", "(chr\w+)", "(NC_\d+\.\d+)"\}', f.read())


ACC = [accession for _, _, accession in accession_table()]
MOTIFS = ["A", "T", "AT", "CA", "AG", "CAG", "GGC", "AAAT", "TTTC"]
BASES = "ACGT"


def write_intervals(path, n, rng):
    per = n // len(ACC)
    extra = n - per * len(ACC)
    with open(path, "w") as f:
        for i, chrom in enumerate(ACC):
            count = per + (1 if i < extra else 0)
            pos = 10000
            out = []
            for _ in range(count):
                pos += rng.randint(200, 3800)
                motif = rng.choice(MOTIFS)
                reps = rng.randint(4, 20)
                end = pos + len(motif) * reps - 1
                text = "(%s)%d" % (motif, reps)
                if rng.random() < 0.2:
                    text += "/(%s)%d" % (rng.choice(MOTIFS), rng.randint(4, 20))
                out.append("%s\t%d\t%d\tSSR%d\tp%d\t%s\n" % (chrom, pos, end, len(motif), reps, text))
                pos = end + 1
            f.write("".join(out))


def write_rows(path, n, rng):
    per = n // len(ACC)
    extra = n - per * len(ACC)
    with open(path, "w") as f:
        f.write("#Chr\tStart\tEnd\tRef\tAlt\tGene\tFunc\tDepth\tQual\tAF\n")
        for i, chrom in enumerate(ACC):
            count = per + (1 if i < extra else 0)
            pos = 10000
            out = []
            for _ in range(count):
                pos += rng.randint(1, 4000)
                ref = rng.choice(BASES)
                alt = rng.choice(BASES.replace(ref, ""))
                end = pos
                if rng.random() < 0.1:
                    ref = "".join(rng.choice(BASES) for _ in range(rng.randint(2, 6)))
                    alt = "-"
                    end = pos + len(ref) - 1
                out.append("%s\t%d\t%d\t%s\t%s\tGENE%d\texonic\t%d\t%d\t%.3f\n" % (
                    chrom, pos, end, ref, alt, pos % 20000, rng.randint(10, 300),
                    rng.randint(20, 60), rng.random()))
            f.write("".join(out))


def main():
    if len(sys.argv) < 2:
        sys.stderr.write("usage: gen_repeat.py OUT_DIR [ROWS] [INTERVALS]\n")
        return 2
    out_dir = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    intervals = int(sys.argv[3]) if len(sys.argv) > 3 else 1000000
    os.makedirs(out_dir, exist_ok=True)
    rng = random.Random(20161207)
    write_intervals(os.path.join(out_dir, "ssr.bed"), intervals, rng)
    write_rows(os.path.join(out_dir, "rows.txt"), rows, rng)
    return 0


if __name__ == "__main__":
    sys.exit(main())
