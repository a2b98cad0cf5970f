# ---- read QC over the sample's FASTQ pairs (all its lanes in one run), its page and the
# ---- batch's MultiQC report

# The reports, and what qc_report makes of them: the page and the MultiQC files.
QC_REPORTS = [".qc.quality", ".qc.GC_content", ".qc.totstat", ".qc.read_stats"]
QC_MULTIQC = (
    [".qc_mqc.json", ".qc_duplication_mqc.json"]
    + [f".qc_{plot}_{read}_mqc.json" for plot in ("mean_quality", "q30", "gc", "read_length", "adapters")
       for read in ("r1", "r2")]
)


rule read_qc_stat:
    input:
        fastq_pairs,
    output:
        [S + suffix for suffix in QC_REPORTS],
    params:
        out=S + ".qc",
    log:
        log_of("read_qc_stat"),
    resources:
        runtime=30,
    shell:
        "{STEP} qc {PROG}/read_qc_stat {input:q} {params.out:q} > {log:q} 2>&1"


rule qc_report:
    input:
        rules.read_qc_stat.output,
    output:
        page=S + ".qc.html",
        multiqc=[S + suffix for suffix in QC_MULTIQC],
    params:
        out=S + ".qc",
    log:
        log_of("qc_report"),
    shell:
        "{STEP} quiet {PROG}/qc_report {params.out:q} {wildcards.sample} > {log:q} 2>&1"


# One MultiQC report over every sample, where multiqc is installed.
if MULTIQC:

    localrules: multiqc

    rule multiqc:
        input:
            expand([S + suffix for suffix in QC_MULTIQC], sample=SAMPLES),
        output:
            f"{OUT}/multiqc/multiqc_report.html",
        params:
            config=MULTIQC_CONFIG,
            folder=f"{OUT}/multiqc",
        log:
            f"{OUT}/logs/multiqc.log",
        resources:
            mem_mb=1000,
        shell:
            "multiqc --force --no-ansi --config {params.config:q} --outdir {params.folder:q}"
            " {input:q} > {log:q} 2>&1"

else:
    print("multiqc is not installed: the batch's MultiQC report is left out", file=sys.stderr)
