#!/usr/bin/env python3
"""Writes a GATK-like single-sample VCF for timing vcf_to_table against bcftools query.

usage: gen_vcf.py out.vcf [lines] [--bgzf out.vcf.gz]

About 205 bytes a data line; a tenth of the records are multi-allelic or indels.
With --bgzf the same text is also written as BGZF (64 KiB blocks, as bgzip writes).
"""
import random
import struct
import sys
import zlib

HEADER = """##fileformat=VCFv4.2
##FILTER=<ID=PASS,Description="All filters passed">
##FORMAT=<ID=AD,Number=R,Type=Integer,Description="Allelic depths">
##FORMAT=<ID=DP,Number=1,Type=Integer,Description="Read depth">
##FORMAT=<ID=GQ,Number=1,Type=Integer,Description="Genotype quality">
##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">
##FORMAT=<ID=PL,Number=G,Type=Integer,Description="Phred-scaled genotype likelihoods">
##INFO=<ID=AC,Number=A,Type=Integer,Description="Allele count">
##INFO=<ID=AF,Number=A,Type=Float,Description="Allele frequency">
##INFO=<ID=AN,Number=1,Type=Integer,Description="Allele number">
##INFO=<ID=BaseQRankSum,Number=1,Type=Float,Description="Base quality rank sum">
##INFO=<ID=DP,Number=1,Type=Integer,Description="Depth">
##INFO=<ID=ExcessHet,Number=1,Type=Float,Description="Excess heterozygosity">
##INFO=<ID=FS,Number=1,Type=Float,Description="Fisher strand">
##INFO=<ID=MLEAC,Number=A,Type=Integer,Description="MLE allele count">
##INFO=<ID=MLEAF,Number=A,Type=Float,Description="MLE allele frequency">
##INFO=<ID=MQ,Number=1,Type=Float,Description="RMS mapping quality">
##INFO=<ID=MQRankSum,Number=1,Type=Float,Description="Mapping quality rank sum">
##INFO=<ID=QD,Number=1,Type=Float,Description="Quality by depth">
##INFO=<ID=ReadPosRankSum,Number=1,Type=Float,Description="Read position rank sum">
##INFO=<ID=SOR,Number=1,Type=Float,Description="Strand odds ratio">
"""

CHROMS = [("chr%d" % i, 249250621 - i * 8000000) for i in range(1, 23)] + [("chrX", 155270560), ("chrY", 59373566)]


def bases(rng, n):
    return "".join(rng.choice("ACGT") for _ in range(n))


def record(rng, chrom, pos):
    ref = rng.choice("ACGT")
    kind = rng.random()
    if kind < 0.85:
        alts = [rng.choice([b for b in "ACGT" if b != ref])]
    elif kind < 0.92:
        ref = ref + bases(rng, rng.randint(1, 6))
        alts = [ref[0]]
    elif kind < 0.97:
        alts = [ref + bases(rng, rng.randint(1, 6))]
    else:
        alts = [rng.choice([b for b in "ACGT" if b != ref]), ref + bases(rng, 2)]
    depth = rng.randint(8, 400)
    ad = [rng.randint(0, depth)]
    for _ in alts:
        ad.append(rng.randint(0, max(0, depth - sum(ad))))
    n = len(alts)
    ac = ",".join("1" for _ in alts)
    af = ",".join("0.500" for _ in alts)
    info = ("AC=%s;AF=%s;AN=2;BaseQRankSum=%.3f;DP=%d;FS=%.3f;MLEAC=%s;"
            "MQ=%.2f;MQRankSum=%.3f;QD=%.2f;ReadPosRankSum=%.3f;SOR=%.3f") % (
        ac, af, rng.uniform(-3, 3), depth, rng.uniform(0, 20), ac,
        rng.uniform(20, 60), rng.uniform(-3, 3), rng.uniform(0, 40), rng.uniform(-3, 3), rng.uniform(0, 3))
    gt = "0/1" if n == 1 else "1/2"
    pl = ",".join(str(rng.randint(0, 2000)) for _ in range((n + 1) * (n + 2) // 2))
    sample = "%s:%s:%d:%d:%s" % (gt, ",".join(map(str, ad)), depth, rng.randint(1, 99), pl)
    ident = "rs%d" % rng.randint(1, 900000000) if rng.random() < 0.4 else "."
    return "\t".join([chrom, str(pos), ident, ref, ",".join(alts), "%.2f" % rng.uniform(30, 9000), ".",
                      info, "GT:AD:DP:GQ:PL", sample])


def bgzf_block(data):
    comp = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = comp.compress(data) + comp.flush()
    header = struct.pack("<4BI2BH2BHH", 0x1F, 0x8B, 8, 4, 0, 0, 0xFF, 6, ord("B"), ord("C"), 2,
                         len(body) + 25)
    return header + body + struct.pack("<II", zlib.crc32(data) & 0xFFFFFFFF, len(data))


def main():
    args = sys.argv[1:]
    bgzf = None
    if "--bgzf" in args:
        i = args.index("--bgzf")
        bgzf = args[i + 1]
        del args[i:i + 2]
    out = args[0]
    lines = int(args[1]) if len(args) > 1 else 1000000
    rng = random.Random(1)
    per_chrom = lines // len(CHROMS) + 1
    chunks = [HEADER]
    for name, length in CHROMS:
        chunks.append("##contig=<ID=%s,length=%d>\n" % (name, length))
    chunks.append("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tSAMPLE1\n")
    written = 0
    for name, length in CHROMS:
        pos = 10000
        for _ in range(per_chrom):
            if written == lines:
                break
            pos += rng.randint(1, max(2, (length - 20000) // per_chrom))
            chunks.append(record(rng, name, pos) + "\n")
            written += 1
    text = "".join(chunks).encode()
    with open(out, "wb") as f:
        f.write(text)
    if bgzf:
        with open(bgzf, "wb") as f:
            for off in range(0, len(text), 65280):
                f.write(bgzf_block(text[off:off + 65280]))
            f.write(bgzf_block(b""))


if __name__ == "__main__":
    main()
