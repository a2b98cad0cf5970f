# ---- the pipeline's perl scripts: general annotation (the twenty-column result table),
# ---- then, after the annotators, disease origin and tiers. The scripts are the site's own
# ---- and may load large databases.

rule run_tessaro:
    input:
        S + ".sorted.txt",
    output:
        S + ".tessaro.txt",
    params:
        env=env("WES_TESSARO_SCRIPT"),
    log:
        log_of("run_tessaro"),
    resources:
        mem_mb=2000,
        runtime=60,
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} done {PROG}/run_tessaro {wildcards.sample}"
        " {input:q} {output:q} > {log:q} 2>&1"


rule run_origin_label:
    input:
        S + ".ssr.txt",
    output:
        S + ".origin.txt",
    params:
        env=env("WES_ORIGIN_LABEL_SCRIPT", "WES_OMIM_DB", "WES_SWISSVAR_DB", "WES_HGMD_DB",
                "WES_CLINVAR_DB"),
    log:
        log_of("run_origin_label"),
    resources:
        mem_mb=2000,
        runtime=60,
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} done {PROG}/run_origin_label OMIM+SWISS"
        " {input:q} {output:q} > {log:q} 2>&1"


rule run_tier_sort:
    input:
        S + ".origin.txt",
    output:
        S + ".tier.txt",
    params:
        env=env("WES_TIER_SORT_SCRIPT"),
    log:
        log_of("run_tier_sort"),
    resources:
        mem_mb=2000,
        runtime=60,
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} done {PROG}/run_tier_sort {wildcards.sample}"
        " {input:q} {output:q} > {log:q} 2>&1"
