# ---- the sorted-merge annotators and the repeat marker, one after another on the result
# ---- table
#
# Each finds its database through the environment variable of its name. The database
# argument of revise_popfreq, join_splice_db, join_protein_db and mark_repeat is required but
# not read. join_score_db would take a second argument longer than 20 characters as its
# database, up to its first blank: it gets a short word, so the variable alone names the file.

rule revise_popfreq:
    input:
        S + ".tessaro.txt",
    output:
        S + ".popfreq.txt",
    params:
        env=env("WES_POPFREQ_DB"),
        db=PATHS["WES_POPFREQ_DB"],
    log:
        log_of("revise_popfreq"),
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} annotator {PROG}/revise_popfreq"
        " {input:q} {params.db:q} {output:q} > {log:q} 2>&1"


rule join_splice_db:
    input:
        S + ".popfreq.txt",
    output:
        S + ".splice.txt",
    params:
        env=env("WES_SPLICE_DB"),
        db=PATHS["WES_SPLICE_DB"],
    log:
        log_of("join_splice_db"),
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} annotator {PROG}/join_splice_db"
        " {input:q} {params.db:q} {output:q} > {log:q} 2>&1"


rule join_protein_db:
    input:
        S + ".splice.txt",
    output:
        S + ".protein.txt",
    params:
        env=env("WES_PROTEIN_DB"),
        db=PATHS["WES_PROTEIN_DB"],
    log:
        log_of("join_protein_db"),
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} annotator {PROG}/join_protein_db"
        " {input:q} {params.db:q} {output:q} > {log:q} 2>&1"


# The score table is a side table of six columns; the chain goes on from the protein
# predictions.
rule join_score_db:
    input:
        S + ".protein.txt",
    output:
        S + ".score.txt",
    params:
        env=env("WES_SCORE_DB"),
        name=config["score_db_name"],
    log:
        log_of("join_score_db"),
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} annotator {PROG}/join_score_db"
        " {input:q} WES_SCORE_DB {params.name:q} {output:q} > {log:q} 2>&1"


rule mark_repeat:
    input:
        S + ".protein.txt",
    output:
        S + ".ssr.txt",
    params:
        env=env("WES_SSR_FILE"),
        db=PATHS["WES_SSR_FILE"],
    log:
        log_of("mark_repeat"),
    shell:
        "{params.env} {STEP} --rows {input:q} {output:q} quiet {PROG}/mark_repeat"
        " {input:q} {params.db:q} {output:q} > {log:q} 2>&1"
