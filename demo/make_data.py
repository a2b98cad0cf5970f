#!/usr/bin/env python3
"""Writes the demo's sample data into demo/data/: the same bytes on every run.

Everything is synthetic. A random reference is drawn for seven made-up genes (DMG1 ..
DMGX, on chr1, chr2, chr7, chr10, chr11, chr17 and chrX, forward strand, GRCh37-like
coordinates), with a coding sequence split over their exons and simple repeats in
their introns. From it come

  DEMO01_R1.fq.gz, DEMO01_R2.fq.gz   an exome-like 2x150 read pair
  DEMO01.vcf                         caller-style calls in and around the exons
  gene_model.txt                     the exons and their sequence (general annotation)
  splice_predict_database.txt        splice predictions (no header line)
  protein_predict.txt                protein predictions (four value fields)
  score.sorted.txt                   one pathogenicity score per coding SNV
  popfreq.tot.txt                    population frequencies, indels in shared-base form
  ssr.bed                            simple-sequence-repeat intervals (no header line)
  OMIM_database.v2.txt, Swiss_database.v2.txt, Hgmd_database.v2.txt,
  Clinvar_database.v2.txt            the four disease databases of the origin label
  expected.txt                       what the demo run must count, worked out here
                                     independently of the suite

The databases are in the suite's row form (chromosome accession, start, ref, alt with "-"
for an empty allele) except the population-frequency one, whose indels keep their shared
leading base, and all are sorted by accession byte-wise, then position.

Run: python3 demo/make_data.py   (only the standard library is needed)
"""

import gzip
import os
import random
import re

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "data")
SAMPLE = "DEMO01"


def accession_table():
    """The suite's accession table, read from convert/chr_trans.cpp: the one copy of it."""
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "convert", "chr_trans.cpp")
    with open(src) as f:
        return re.findall(r'\{"(\w+)", "(chr\w+)", "(NC_\d+\.\d+)"\}', f.read())

ACCESSION = {chr_key: accession for _, chr_key, accession in accession_table()}
CONTIG_LENGTH = {"chr1": 249250621, "chr2": 243199373, "chr7": 159138663, "chr10": 135534747,
                 "chr11": 135006516, "chr17": 81195210, "chrX": 155270560, "chrM": 16571}

# symbol, chromosome, first base of the gene's region, exons, transcript, inheritance
GENES = [
    ("DMG1", "chr1", 11856210, 6, "NM_990001.1", "AD"),
    ("DMG2", "chr2", 47630108, 5, "NM_990002.2", "AR"),
    ("DMG3", "chr7", 117120017, 7, "NM_990003.1", "AR"),
    ("DMG4", "chr10", 89623195, 5, "NM_990004.1", "AD"),
    ("DMG5", "chr11", 108098352, 6, "NM_990005.3", "AR"),
    ("DMG6", "chr17", 7571720, 6, "NM_990006.1", "AD"),
    ("DMGX", "chrX", 153296077, 4, "NM_990007.1", "XL"),
]

BASES = "ACGT"
CODON = {}
for i, a in enumerate("FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"):
    CODON["TCAG"[i // 16] + "TCAG"[i // 4 % 4] + "TCAG"[i % 4]] = a
SENSE = sorted(c for c, a in CODON.items() if a != "*")
AA3 = {"A": "A", "R": "R", "N": "N", "D": "D", "C": "C", "Q": "Q", "E": "E", "G": "G", "H": "H",
       "I": "I", "L": "L", "K": "K", "M": "M", "F": "F", "P": "P", "S": "S", "T": "T", "W": "W",
       "Y": "Y", "V": "V", "*": "X"}

rng = random.Random(20261207)


def rand_seq(n, gc=0.45):
    out = []
    for _ in range(n):
        r = rng.random()
        out.append("G" if r < gc / 2 else "C" if r < gc else "A" if r < gc + (1 - gc) / 2 else "T")
    return "".join(out)


class Gene:
    def __init__(self, symbol, chrom, start, n_exons, transcript, inheritance):
        self.symbol, self.chrom, self.start = symbol, chrom, start
        self.transcript, self.inheritance = transcript, inheritance
        self.acc = ACCESSION[chrom]
        lengths = [rng.randint(90, 240) for _ in range(n_exons)]
        lengths[-1] += (-sum(lengths)) % 3
        n_codons = sum(lengths) // 3
        codons = ["ATG"] + [rng.choice(SENSE) for _ in range(n_codons - 2)]
        if symbol == "DMG5":  # a polyglutamine stretch: an exonic repeat
            codons[60:68] = ["CAG"] * 8
        codons.append(rng.choice(["TAA", "TAG", "TGA"]))
        cds = "".join(codons)
        seq = [rand_seq(400)]
        self.exons = []       # (genomic start, genomic end, offset of the exon in the CDS)
        self.repeats = []     # (genomic start, genomic end, unit, count)
        at, off = start + 400, 0
        for k, n in enumerate(lengths):
            self.exons.append((at, at + n - 1, off))
            seq.append(cds[off:off + n])
            at += n
            off += n
            if k + 1 < len(lengths):
                intron = "GT" + rand_seq(rng.randint(300, 900)) + "AG"
                # a microsatellite some 20-60 bases into the intron
                unit = rng.choice(["CA", "A", "T", "TG", "AT", "GT", "TTA"])
                count = rng.randint(6, 14) if len(unit) > 1 else rng.randint(10, 18)
                put = rng.randint(20, 60)
                intron = intron[:put] + unit * count + intron[put:]
                self.repeats.append((at + put, at + put + len(unit) * count - 1, unit, count))
                seq.append(intron)
                at += len(intron)
        seq.append(rand_seq(400))
        self.seq = "".join(seq)
        self.cds = cds
        if symbol == "DMG5":
            e_start, _, e_off = next(e for e in self.exons if e[2] <= 180 < e[2] + e[1] - e[0] + 1)
            s = e_start + 180 - e_off
            self.repeats.append((s, s + 23, "CAG", 8))
        self.repeats.sort()
        self.end = start + len(self.seq) - 1

    def base(self, pos, n=1):
        return self.seq[pos - self.start:pos - self.start + n]

    def cds_index(self, pos):
        for s, e, off in self.exons:
            if s <= pos <= e:
                return off + pos - s
        return None

    def splice_distance(self, pos):
        """Signed distance to the nearest exon boundary for an intronic position, else None."""
        best = None
        for s, e, _ in self.exons:
            if s <= pos <= e:
                return None
            for d in (pos - e if pos > e else None, pos - s if pos < s else None):
                if d is not None and (best is None or abs(d) < abs(best)):
                    best = d
        return best


def snv_effect(gene, pos, alt):
    """Protein change of a coding SNV ("p.R117H", "p.Q20X", "p.L30L"), or None."""
    i = gene.cds_index(pos)
    if i is None:
        return None
    c0 = i - i % 3
    codon = gene.cds[c0:c0 + 3]
    new = codon[:i % 3] + alt + codon[i % 3 + 1:]
    return "p.%s%d%s" % (AA3[CODON[codon]], c0 // 3 + 1, AA3[CODON[new]])


def trim_allele(pos, ref, alt):
    """The mutation-table form of one allele: start, end, ref, alt ("-" for empty)."""
    start = pos
    if len(ref) >= 2 and len(alt) >= 2:
        if ref[0] == alt[0]:
            while ref and alt and ref[0] == alt[0]:
                ref, alt, start = ref[1:], alt[1:], start + 1
        else:
            while ref and alt and ref[-1] == alt[-1]:
                ref, alt = ref[:-1], alt[:-1]
    r, a = len(ref), len(alt)
    if r == 0:
        start -= 1
        return start, start + 1, "-", alt
    if a == 0:
        return start, start + r - 1, ref, "-"
    if r == 1 and a == 1:
        return start, start, ref, alt
    if r == 1:
        return start, start + 1, "-", alt[1:]
    if a == 1:
        return start + 1, start + r - 1, ref[1:], "-"
    return start, start + r - 1, ref, alt


def normalise(pos, ref, alt):
    """A population-frequency record's indel in the rows' "-" form."""
    if len(ref) == 1 and len(alt) > 1:
        return pos, "-", alt[1:]
    if len(ref) > 1 and len(alt) == 1:
        return pos + 1, ref[1:], "-"
    return pos, ref, alt


def merge_hits(rows, records):
    """Which rows a forward merge with a cursor finds in records; both are lists of
    (accession, position, key) sorted by accession byte-wise, then position."""
    out, i, cursor = [], 0, ("NC_000001.10", 1, "NA")
    for acc, pos, key in rows:
        here = (acc.encode(), pos)
        if here < (cursor[0].encode(), cursor[1]) or (here == (cursor[0].encode(), cursor[1]) and key == cursor[2]):
            out.append(key == cursor[2])
            continue
        hit = False
        while i < len(records):
            rec = records[i]
            i += 1
            there = (rec[0].encode(), rec[1])
            if here < there or (here == there and key == rec[2]):
                hit = key == rec[2]
                cursor = rec
                break
        out.append(hit)
    return out


def place(gene, taken, lo, hi, span):
    """A free position in [lo, hi] for a change of span bases, or None."""
    for _ in range(50):
        p = rng.randint(lo, hi)
        if p < gene.start + 2 or p + span > gene.end - 2:
            continue
        if any(q in taken for q in range(p - 4, p + span + 4)):
            continue
        for q in range(p, p + span):
            taken.add(q)
        return p
    return None


def other_base(b):
    return rng.choice([x for x in BASES if x != b])


def make_sites(gene, n_sites):
    """VCF sites of one gene: (pos, ref, [alts], kind)."""
    sites, taken = [], set()
    kinds = [("exon_snv", 50), ("splice_snv", 8), ("intron_snv", 8), ("exon_del", 3),
             ("exon_ins", 3), ("ssr_indel", 5), ("intron_indel", 4), ("multi_snv", 4),
             ("multi_del", 2), ("multi_ins", 2), ("mnp", 3), ("flank_snv", 2)]
    total = sum(w for _, w in kinds)
    while len(sites) < n_sites:
        r, kind = rng.randrange(total), None
        for kind, w in kinds:
            if r < w:
                break
            r -= w
        s, e, _ = rng.choice(gene.exons)
        if kind in ("exon_snv", "multi_snv", "mnp", "exon_del", "exon_ins", "multi_del", "multi_ins"):
            span = {"mnp": 2, "exon_del": 7, "multi_del": 3}.get(kind, 1)
            p = place(gene, taken, s + 1, e - span - 1, span + 1)
        elif kind == "splice_snv":
            side = rng.choice([-1, 1])
            d = rng.choice([1, 1, 2, 2, 3, 5, 8])
            p = place(gene, taken, *(2 * [e + d] if side > 0 else 2 * [s - d]), 1)
        elif kind in ("intron_snv", "intron_indel"):
            d = rng.randint(9, 80)
            q = e + d if rng.random() < 0.5 else s - d
            p = place(gene, taken, q, q, 4)
        elif kind == "flank_snv":
            p = place(gene, taken, gene.start + 50, gene.start + 350, 1)
        else:  # ssr_indel: one repeat unit gained or lost, left-aligned before the repeat
            rs, re_, unit, _ = rng.choice(gene.repeats)
            if any(q in taken for q in range(rs - 5, re_ + 5)):
                continue
            taken.update(range(rs - 5, re_ + 5))
            p = rs - 1
            b = gene.base(p)
            if rng.random() < 0.5:
                sites.append((p, b + unit, [b], kind))
            else:
                sites.append((p, b, [b + unit], kind))
            continue
        if p is None:
            continue
        b = gene.base(p)
        if kind in ("exon_snv", "splice_snv", "intron_snv", "flank_snv"):
            sites.append((p, b, [other_base(b)], kind))
        elif kind == "multi_snv":
            sites.append((p, b, sorted(rng.sample([x for x in BASES if x != b], 2)), kind))
        elif kind == "mnp":
            ref = gene.base(p, 2)
            sites.append((p, ref, [other_base(ref[0]) + other_base(ref[1])], kind))
        elif kind in ("exon_del", "intron_indel") and (kind == "exon_del" or rng.random() < 0.5):
            n = rng.choice([1, 1, 1, 2, 2, 3, 4, 6])
            sites.append((p, gene.base(p, n + 1), [b], kind))
        elif kind in ("exon_ins", "intron_indel"):
            sites.append((p, b, [b + rand_seq(rng.choice([1, 1, 1, 2, 3, 4, 5]))], kind))
        elif kind == "multi_del":
            ref = gene.base(p, 3)
            sites.append((p, ref, [ref[0], ref[:2]], kind))
        else:  # multi_ins
            # the SNV first: rows at one position meet the databases in this order, and an
            # insertion that a database lacks would otherwise hide the SNV after it
            sites.append((p, b, [other_base(b), b + rand_seq(2)], kind))
    return sorted(sites)


def genotype_fields(n_alts):
    """GT, AD list, DP, GQ, PL text, and the INFO pieces that depend on them."""
    depth = max(8, int(rng.gauss(48, 12)))
    if n_alts == 2:
        ref_ad = rng.randint(0, 2)
        a1 = rng.randint((depth - ref_ad) // 3, 2 * (depth - ref_ad) // 3)
        ad = [ref_ad, a1, depth - ref_ad - a1]
        pl = "%d,%d,%d,%d,0,%d" % (depth * 40, depth * 18, depth * 38, depth * 20, depth * 22)
        return "1/2", ad, depth + rng.randint(0, 3), 99, pl, "1,1", "0.500,0.500"
    if rng.random() < 0.3:
        alt = depth - rng.choice([0, 0, 0, 1])
        ad = [depth - alt, alt]
        return "1/1", ad, depth + rng.randint(0, 3), min(99, alt * 3), \
            "%d,%d,0" % (alt * 30, alt * 3), "2", "1.00"
    frac = min(0.85, max(0.08, rng.gauss(0.48, 0.12)))
    alt = max(2, int(round(depth * frac)))
    ad = [depth - alt, alt]
    gq = 99 if alt > 6 else 20 + alt * 9
    return "0/1", ad, depth + rng.randint(0, 3), gq, "%d,0,%d" % (alt * 30, (depth - alt) * 30), \
        "1", "0.500"


def vcf_line(chrom, pos, vid, ref, alts, filt="PASS", phased=False):
    gt, ad, dp, gq, pl, ac, af = genotype_fields(len(alts))
    mq = 60.0 if rng.random() < 0.8 else rng.uniform(38, 59.9)
    qual = sum(ad[1:]) * 28.5 + rng.uniform(0, 40)
    info = ["AC=%s" % ac, "AF=%s" % af, "AN=2"]
    if gt == "0/1":
        info.append("BaseQRankSum=%.3f" % rng.gauss(0, 1))
    info += ["DP=%d" % dp, "ExcessHet=3.0103", "FS=%.3f" % abs(rng.gauss(0, 2)),
             "MLEAC=%s" % ac, "MLEAF=%s" % af, "MQ=%.2f" % mq]
    if gt == "0/1":
        info.append("MQRankSum=%.3f" % rng.gauss(0, 0.5))
    info.append("QD=%.2f" % (qual / dp))
    if gt == "0/1":
        info.append("ReadPosRankSum=%.3f" % rng.gauss(0, 1))
    info.append("SOR=%.3f" % rng.uniform(0.5, 1.5))
    fmt, sample = "GT:AD:DP:GQ:PL", "%s:%s:%d:%d:%s" % (gt, ",".join(map(str, ad)), dp, gq, pl)
    if phased:
        fmt = "GT:AD:DP:GQ:PGT:PID:PL"
        sample = "0|1:%s:%d:%d:0|1:%d_%s_%s:%s" % (",".join(map(str, ad)), dp, gq, pos, ref, alts[0], pl)
    line = "\t".join([chrom, str(pos), vid, ref, ",".join(alts), "%.2f" % qual, filt,
                      ";".join(info), fmt, sample])
    return line, ad, dp


def unique(rows):
    return list({r["key"]: r for r in rows}.values())


def rs_id():
    return "rs%d" % rng.randint(1000000, 999999999)


def write(name, text):
    with open(os.path.join(OUT, name), "w", newline="\n") as f:
        f.write(text)


def write_gz(name, text):
    with open(os.path.join(OUT, name), "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as gz:
            gz.write(text.encode())


def sort_key(acc, pos):
    return (acc.encode(), pos)


def main():
    os.makedirs(OUT, exist_ok=True)
    genes = [Gene(*g) for g in GENES]
    by_chrom = {g.chrom: g for g in genes}

    # ---- VCF -------------------------------------------------------------------------
    vcf = ["##fileformat=VCFv4.2",
           '##FILTER=<ID=LowQual,Description="Low quality">',
           '##FILTER=<ID=PASS,Description="All filters passed">',
           '##FORMAT=<ID=AD,Number=R,Type=Integer,Description="Allelic depths for the ref and alt alleles in the order listed">',
           '##FORMAT=<ID=DP,Number=1,Type=Integer,Description="Approximate read depth (reads with MQ=255 or with bad mates are filtered)">',
           '##FORMAT=<ID=GQ,Number=1,Type=Integer,Description="Genotype Quality">',
           '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
           '##FORMAT=<ID=PGT,Number=1,Type=String,Description="Physical phasing haplotype information">',
           '##FORMAT=<ID=PID,Number=1,Type=String,Description="Physical phasing ID information">',
           '##FORMAT=<ID=PL,Number=G,Type=Integer,Description="Normalized, Phred-scaled likelihoods for genotypes">',
           '##INFO=<ID=AC,Number=A,Type=Integer,Description="Allele count in genotypes, for each ALT allele">',
           '##INFO=<ID=AF,Number=A,Type=Float,Description="Allele Frequency, for each ALT allele">',
           '##INFO=<ID=AN,Number=1,Type=Integer,Description="Total number of alleles in called genotypes">',
           '##INFO=<ID=BaseQRankSum,Number=1,Type=Float,Description="Z-score from Wilcoxon rank sum test of Alt Vs. Ref base qualities">',
           '##INFO=<ID=DP,Number=1,Type=Integer,Description="Approximate read depth; some reads may have been filtered">',
           '##INFO=<ID=ExcessHet,Number=1,Type=Float,Description="Phred-scaled p-value for exact test of excess heterozygosity">',
           '##INFO=<ID=FS,Number=1,Type=Float,Description="Phred-scaled p-value using Fisher\'s exact test to detect strand bias">',
           '##INFO=<ID=MLEAC,Number=A,Type=Integer,Description="Maximum likelihood expectation (MLE) for the allele counts">',
           '##INFO=<ID=MLEAF,Number=A,Type=Float,Description="Maximum likelihood expectation (MLE) for the allele frequency">',
           '##INFO=<ID=MQ,Number=1,Type=Float,Description="RMS Mapping Quality">',
           '##INFO=<ID=MQRankSum,Number=1,Type=Float,Description="Z-score From Wilcoxon rank sum test of Alt vs. Ref read mapping qualities">',
           '##INFO=<ID=QD,Number=1,Type=Float,Description="Variant Confidence/Quality by Depth">',
           '##INFO=<ID=ReadPosRankSum,Number=1,Type=Float,Description="Z-score from Wilcoxon rank sum test of Alt vs. Ref read position bias">',
           '##INFO=<ID=SOR,Number=1,Type=Float,Description="Symmetric Odds Ratio of 2x2 contingency table to detect strand bias">']
    for chrom in ["chr1", "chr2", "chr7", "chr10", "chr11", "chr17", "chrX", "chrM"]:
        vcf.append("##contig=<ID=%s,length=%d,assembly=GRCh37>" % (chrom, CONTIG_LENGTH[chrom]))
    vcf.append("##reference=file:///reference/GRCh37/ucsc.hg19.fasta")
    vcf.append("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + SAMPLE)

    rows = []          # mutation-table rows: dict per allele, in VCF order
    n_data, n_phased = 0, 0
    phased_at = {"DMG2": 3, "DMG6": 11}          # two read-backed phased calls, skipped by the table
    for g in genes:
        sites = make_sites(g, 44)
        for k, (pos, ref, alts, kind) in enumerate(sites):
            phased = phased_at.get(g.symbol) == k
            in_pop = rng.random() < (0.65 if kind in ("intron_snv", "flank_snv", "intron_indel", "ssr_indel") else 0.4)
            vid = rs_id() if in_pop and rng.random() < 0.85 else "."
            filt = "PASS" if rng.random() < 0.96 else "LowQual"
            line, ad, dp = vcf_line(g.chrom, pos, vid, ref, alts, filt, phased and len(alts) == 1)
            vcf.append(line)
            n_data += 1
            if phased and len(alts) == 1:
                n_phased += 1
                continue
            for i, alt in enumerate(alts):
                s, e, r, a = trim_allele(pos, ref, alt)
                rows.append(dict(gene=g, acc=g.acc, pos=pos, vref=ref, valt=alt, start=s, end=e,
                                 ref=r, alt=a, kind=kind, in_pop=in_pop, vid=vid, ad=ad[i + 1], dp=dp,
                                 effect=snv_effect(g, pos, alt) if len(ref) == len(alt) == 1 else None,
                                 key="%s-%d-%s-%s" % (g.acc, s, r, a)))
    # one mitochondrial call: the table carries it, the accession table has no row for it
    line, _, _ = vcf_line("chrM", 7028, "rs2015062", "C", ["T"])
    vcf.append(line)
    n_data += 1
    write(SAMPLE + ".vcf", "\n".join(vcf) + "\n")

    table = sorted(rows, key=lambda r: sort_key(r["acc"], r["start"]))  # stable, as sort -s

    # ---- gene model for the general annotation script ---------------------------------
    gm = ["#Chr\tGene\tTranscript\tStrand\tExon\tStart\tEnd\tCDS_offset\tSequence"]
    for g in genes:
        gm.append("%s\t%s\t%s\t+\tregion\t%d\t%d\t.\t." % (g.acc, g.symbol, g.transcript, g.start, g.end))
        for k, (s, e, off) in enumerate(g.exons):
            gm.append("%s\t%s\t%s\t+\texon%d\t%d\t%d\t%d\t%s" % (g.acc, g.symbol, g.transcript, k + 1,
                                                                s, e, off, g.base(s, e - s + 1)))
    write("gene_model.txt", "\n".join(gm) + "\n")

    # ---- splice predictions: SNVs near exon boundaries, no header line ----------------
    splice = []
    for r in table:
        if r["ref"] == "-" or r["alt"] == "-" or len(r["ref"]) != 1 or len(r["alt"]) != 1:
            continue
        d = r["gene"].splice_distance(r["start"])
        if d is not None and abs(d) <= 10 and rng.random() < 0.9:
            site = "donor" if d > 0 else "acceptor"
            score = rng.uniform(0.85, 0.999) if abs(d) <= 2 else rng.uniform(0.01, 0.7)
            splice.append((r["acc"], r["start"], r["ref"], r["alt"], r["gene"].symbol, site,
                           "%+d" % d, "%.4f" % score))
    for g in genes:  # predictions for changes the sample does not carry
        for s, e, _ in g.exons[1:]:
            p = s - 1
            b = g.base(p)
            splice.append((g.acc, p, b, other_base(b), g.symbol, "acceptor", "-1",
                           "%.4f" % rng.uniform(0.85, 0.999)))
    splice.sort(key=lambda x: sort_key(x[0], x[1]))
    write("splice_predict_database.txt", "".join("\t".join(map(str, x)) + "\n" for x in splice))
    splice_keys = {"%s-%d-%s-%s" % x[:4] for x in splice}

    # ---- protein predictions and scores: coding SNVs that change the protein ----------
    # Such files list every possible SNV at a coding position, in allele order; these list
    # most of the sample's changes and some of the other alleles at the same positions.
    prot = ["#Chr\tStart\tEnd\tRef\tAlt\tSIFT_score\tSIFT_pred\tPolyphen2_score\tPolyphen2_pred"]
    score = ["#Chr\tStart\tEnd\tRef\tAlt\tscore"]
    missense = [r for r in table if r["effect"] and r["effect"][2] != r["effect"][-1]
                and not r["effect"].endswith("X")]
    positions = {(r["acc"], r["start"], r["ref"]): set() for r in missense}
    for r in table:   # the sample's SNV alleles at those positions, protein-changing or not
        if (r["acc"], r["start"], r["ref"]) in positions and len(r["alt"]) == 1 and r["alt"] != "-":
            positions[(r["acc"], r["start"], r["ref"])].add(r["alt"])
    for (acc, start, ref), carried in sorted(positions.items(), key=lambda kv: sort_key(kv[0][0], kv[0][1])):
        for a in sorted(x for x in BASES if x != ref):
            # a row at a position without its record would hide the sample's other alleles
            # there from the merge: at multi-allelic positions all of them are listed
            if rng.random() > (0.8 if a in carried else 0.5) and not (a in carried and len(carried) > 1):
                continue
            damaging = rng.random() < 0.45
            sift = rng.uniform(0, 0.05) if damaging else rng.uniform(0.05, 1)
            pp = rng.uniform(0.909, 1) if damaging else rng.uniform(0, 0.9)
            prot.append("%s\t%d\t%d\t%s\t%s\t%.3f\t%s\t%.3f\t%s" % (
                acc, start, start, ref, a, sift, "D" if sift < 0.05 else "T",
                pp, "D" if pp >= 0.909 else "P" if pp >= 0.447 else "B"))
            if rng.random() < 0.85 or (a in carried and len(carried) > 1):
                score.append("%s\t%d\t%d\t%s\t%s\t%.3f" % (acc, start, start, ref, a,
                                                          rng.uniform(0.5, 0.98) if damaging else rng.uniform(0.01, 0.5)))
    write("protein_predict.txt", "\n".join(prot) + "\n")
    write("score.sorted.txt", "\n".join(score) + "\n")
    prot_keys = {"%s-%s-%s-%s" % tuple(x.split("\t")[i] for i in (0, 1, 3, 4)) for x in prot[1:]}
    score_keys = {"%s-%s-%s-%s" % tuple(x.split("\t")[i] for i in (0, 1, 3, 4)) for x in score[1:]}

    # ---- population frequencies, indels with their shared leading base ---------------
    pop = []
    for r in table:
        if not r["in_pop"]:
            continue
        g, s, ref, alt = r["gene"], r["start"], r["ref"], r["alt"]
        if ref == "-":                       # insertion after base s
            rec = (s, g.base(s), g.base(s) + alt)
        elif alt == "-":                     # deletion of ref from s on
            rec = (s - 1, g.base(s - 1) + ref, g.base(s - 1))
        else:
            rec = (s, ref, alt)
        common = rng.random() < 0.55
        af = rng.uniform(0.012, 0.45) if common else rng.uniform(0.0001, 0.009)
        kg = "." if not common and rng.random() < 0.4 else "%.4f" % min(0.99, af * rng.uniform(0.7, 1.3))
        pops = ["%.4f" % min(0.99, af * rng.uniform(0.3, 2)) for _ in range(5)]
        pop.append((r["acc"], s) + rec + (r["vid"] if r["vid"] != "." else rs_id(),) +
                   tuple(pops) + (kg, str(rng.randint(1, 4000)), "251362", "%.4f" % af))
    for g in genes:  # common variants the sample does not carry
        for s, e, _ in g.exons:
            p = rng.randint(s, e)
            b = g.base(p)
            pops = ["%.4f" % rng.uniform(0.01, 0.6) for _ in range(5)]
            pop.append((g.acc, p, p, b, other_base(b), "rs%d" % rng.randint(10**6, 10**9)) +
                       tuple(pops) + ("%.4f" % rng.uniform(0.01, 0.5), str(rng.randint(100, 90000)),
                                      "251362", "%.4f" % rng.uniform(0.01, 0.5)))
    pop.sort(key=lambda x: sort_key(x[0], x[1]))   # by the position after normalisation
    write("popfreq.tot.txt", "#Chr\tStart\tRef\tAlt\trsID\tAFR\tAMR\tEAS\tEUR\tSAS\t1000G_ALL\tAC\tAN\tgnomAD_ALL\n" +
          "".join("\t".join(map(str, (x[0],) + x[2:])) + "\n" for x in pop))
    pop_keys = {"%s-%d-%s-%s" % ((x[0],) + normalise(*x[2:5])) for x in pop}

    # ---- simple-sequence repeats ------------------------------------------------------
    ssr = []
    for g in genes:
        for k, (s, e, unit, count) in enumerate(g.repeats):
            kind = "p%d" % len(unit)
            text = "(%s)%d" % (unit, count)
            if k % 3 == 2:                    # a compound repeat: the larger count marks it
                text = "(%s)%d(%s)%d" % (unit, count, unit[::-1] if len(unit) > 1 else "G", rng.randint(2, 5))
                kind = "c"
            ssr.append((g.acc, s, e, kind, e - s + 1, text))
    ssr.sort(key=lambda x: sort_key(x[0], x[1]))
    write("ssr.bed", "".join("\t".join(map(str, x)) + "\n" for x in ssr))

    # ---- disease databases ------------------------------------------------------------
    omim = ["#Gene\tMIM\tPhenotype\tInheritance"]
    for n, g in enumerate(genes):
        if g.symbol != "DMG4":
            omim.append("%s\t%d\t%s\t%s" % (g.symbol, 990100 + n * 7, "Demo_syndrome_%d" % (n + 1), g.inheritance))
    write("OMIM_database.v2.txt", "\n".join(omim) + "\n")

    nonsense = [r for r in table if r["effect"] and r["effect"].endswith("X")]
    lof = [r for r in table if r["kind"] in ("exon_del", "exon_ins") and
           (len(r["ref"]) + len(r["alt"])) % 3 != 0]
    swiss = ["#Gene\tProtein_change\tVariant_type\tDisease"]
    for r in sorted(missense[::5] + nonsense[:2], key=lambda r: (r["gene"].symbol, r["effect"])):
        swiss.append("%s\t%s\t%s\t%s" % (r["gene"].symbol, r["effect"],
                                         "Disease" if rng.random() < 0.7 else "Polymorphism",
                                         "Demo_syndrome_%d" % (genes.index(r["gene"]) + 1)))
    write("Swiss_database.v2.txt", "\n".join(swiss) + "\n")

    hgmd = ["#Chr\tStart\tRef\tAlt\tGene\tClass\tDisease"]
    picked = sorted(unique(nonsense[:4] + lof[:4] + missense[2::9]), key=lambda r: sort_key(r["acc"], r["start"]))
    for r in picked:
        hgmd.append("%s\t%d\t%s\t%s\t%s\t%s\t%s" % (r["acc"], r["start"], r["ref"], r["alt"], r["gene"].symbol,
                                                    rng.choice(["DM", "DM", "DM?", "DP"]),
                                                    "Demo_syndrome_%d" % (genes.index(r["gene"]) + 1)))
    write("Hgmd_database.v2.txt", "\n".join(hgmd) + "\n")

    clinvar = ["#Chr\tStart\tRef\tAlt\tGene\tClinSig\tReview"]
    picked = sorted(unique(nonsense[1:5] + lof[2:6] + missense[1::7] + [r for r in table if r["in_pop"]][::11]),
                    key=lambda r: sort_key(r["acc"], r["start"]))
    for r in picked:
        sig = "Pathogenic" if r in nonsense or r in lof else "Benign" if r["in_pop"] else \
            rng.choice(["Likely_pathogenic", "Uncertain_significance", "Uncertain_significance"])
        clinvar.append("%s\t%d\t%s\t%s\t%s\t%s\t%s" % (r["acc"], r["start"], r["ref"], r["alt"], r["gene"].symbol,
                                                       sig, rng.choice(["criteria_provided", "reviewed_by_expert_panel"])))
    write("Clinvar_database.v2.txt", "\n".join(clinvar) + "\n")

    # ---- reads ------------------------------------------------------------------------
    write_reads(genes, 1500)

    # ---- what the run must count --------------------------------------------------------
    # The databases must meet the merge's ordering contract for plain key look-up to be
    # what the annotators find: checked here by walking each one as the merge does.
    keys = [r["key"] for r in table]
    pos_keys = [(r["acc"], r["start"], r["key"]) for r in table]
    for name, recs in (("splice", [(x[0], x[1], "%s-%d-%s-%s" % x[:4]) for x in splice]),
                       ("protein", [(f[0], int(f[1]), "%s-%s-%s-%s" % (f[0], f[1], f[3], f[4]))
                                    for f in (x.split("\t") for x in prot[1:])]),
                       ("score", [(f[0], int(f[1]), "%s-%s-%s-%s" % (f[0], f[1], f[3], f[4]))
                                  for f in (x.split("\t") for x in score[1:])]),
                       ("popfreq", [(x[0], x[1], "%s-%d-%s-%s" % ((x[0],) + normalise(*x[2:5]))) for x in pop])):
        found = merge_hits(pos_keys, recs)
        wanted = {k for _, _, k in recs}
        bad = [k for k, f in zip(keys, found) if f != (k in wanted)]
        assert not bad, name + " database breaks the ordering contract at " + " ".join(bad)

    def overlaps(r):
        return any(x[0] == r["acc"] and x[1] <= r["end"] and r["start"] <= x[2] for x in ssr)
    exp = [
        ("vcf.data_lines", n_data),
        ("table.rows", len(rows) + 1),          # the mitochondrial call
        ("sorted.rows", len(table)),
        ("sorted.no_accession", 1),
        ("popfreq.filled", sum(k in pop_keys for k in keys)),
        ("splice.filled", sum(k in splice_keys for k in keys)),
        ("protein.filled", sum(k in prot_keys for k in keys)),
        ("score.filled", sum(k in score_keys for k in keys)),
        ("ssr.filled", sum(overlaps(r) for r in table)),
    ]
    exp += READ_COUNTS
    write("expected.txt", "".join("%s=%s\n" % kv for kv in exp))


READ_COUNTS = []


def write_reads(genes, n_pairs):
    """Exome-like pairs: fragments from the exons and their flanks, read 1 forward and read 2
    from the other end, with a quality profile that falls along the read and a few errors."""
    comp = str.maketrans("ACGT", "ACGT"[::-1])
    r1, r2 = [], []
    gc = q20 = q30 = bases = 0
    for i in range(n_pairs):
        g = rng.choice(genes)
        s, e, _ = rng.choice(g.exons)
        frag = rng.randint(220, 420)
        begin = rng.randint(max(g.start, s - frag + 60), min(g.end - frag, e - 60))
        f = g.base(begin, frag)
        reads = (f[:150], f[-150:].translate(comp)[::-1])
        name = "@A00917:42:HDEMOXX:1:%d:%d:%d" % (1101 + i // 600, 1000 + (i * 7919) % 31000,
                                                  1000 + (i * 104729) % 36000)
        for mate, (seq, out) in enumerate(zip(reads, (r1, r2))):
            quals, bases_out = [], []
            q = 36
            for k, b in enumerate(seq):
                top = 38 if k < 100 else 38 - (k - 100) // 10
                if rng.random() < 0.35:
                    q = min(41, max(2, int(rng.gauss(top - (4 if mate else 1), 3))))
                qk = q
                if rng.random() < 0.004:
                    qk = 2
                if qk == 2 and rng.random() < 0.5:
                    b = "N"
                elif qk < 20 and rng.random() < 0.1:
                    b = other_base(b)
                quals.append(chr(33 + qk))
                bases_out.append(b)
                gc += b in "GC"
                q20 += qk >= 20
                q30 += qk >= 30
                bases += 1
            out.append("%s %d:N:0:ACAGTGAT\n%s\n+\n%s\n" % (name, mate + 1, "".join(bases_out), "".join(quals)))
    write_gz(SAMPLE + "_R1.fq.gz", "".join(r1))
    write_gz(SAMPLE + "_R2.fq.gz", "".join(r2))
    READ_COUNTS.extend([("qc.pair_number", 2 * n_pairs), ("qc.read1_len", 150), ("qc.read2_len", 150),
                        ("qc.base_number", bases), ("qc.GC_number", gc), ("qc.Q20_bases", q20),
                        ("qc.Q30_bases", q30)])


if __name__ == "__main__":
    main()
