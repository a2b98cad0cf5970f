# ---- the VCF to the mutation table, then to the annotators' form: accessions, a header,
# ---- sorted

rule vcf_to_table:
    input:
        vcf_of,
    output:
        S + ".table.txt",
    log:
        log_of("vcf_to_table"),
    shell:
        "{STEP} done {PROG}/vcf_to_table {input:q} {output:q} > {log:q} 2>&1"


# Rows of chromosomes without an accession (chrM, unplaced contigs) are set aside. The sort
# holds a whole table.
rule table_to_accession:
    input:
        S + ".table.txt",
    output:
        accession=S + ".accession.txt",
        aside=S + ".no_accession.txt",
        sorted=S + ".sorted.txt",
    log:
        log_of("table_to_accession"),
    resources:
        mem_mb=1000,
    shell:
        "{{ {STEP} quiet {PROG}/table_to_accession --aside {output.aside:q} {input:q} {output.accession:q}"
        " && {STEP} done {SORT_TABLE} {output.accession:q} {output.sorted:q}; }} > {log:q} 2>&1"
