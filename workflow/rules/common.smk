# The settings, the sample sheet and what the rules share. A fault of the settings or the
# sheet stops the run here, before any job, with one line per fault.
import os
import re
import shlex
import shutil
import sys
import time

import jsonschema
import yaml
from snakemake.exceptions import WorkflowError
from snakemake.io import strip_wildcard_constraints
from snakemake.utils import validate

# The programs.
PROGRAMS = [
    "read_qc_stat", "qc_report", "vcf_to_table", "table_to_accession", "run_tessaro", "revise_popfreq",
    "join_splice_db", "join_protein_db", "join_score_db", "mark_repeat", "run_origin_label",
    "run_tier_sort",
]
SHEET_COLUMNS = ["sample", "fq_1", "fq_2", "vcf"]
SCHEMAS = os.path.join(workflow.basedir, "schemas")

# Beside this folder: in a checkout the repository (build/bin, demo/), where installed
# PREFIX/share/wes-suite (PREFIX/bin, share/wes-suite/demo).
SUITE = os.path.dirname(workflow.basedir)
CHECKOUT = os.path.isfile(os.path.join(SUITE, "CMakeLists.txt"))
EXAMPLE_SHEET = os.path.join(workflow.basedir, "config", "samples.tsv")
DEMO = os.path.join(SUITE, "demo")
# The variables through which the programs find their databases and scripts, each with the
# demo's file (under demo/).
EXAMPLE_PATHS = {
    "WES_SPLICE_DB": "data/splice_predict_database.txt",
    "WES_PROTEIN_DB": "data/protein_predict.txt",
    "WES_SCORE_DB": "data/score.sorted.txt",
    "WES_POPFREQ_DB": "data/popfreq.tot.txt",
    "WES_SSR_FILE": "data/ssr.bed",
    "WES_TESSARO_SCRIPT": "scripts/Tessaro_v1.2.pl",
    "WES_ORIGIN_LABEL_SCRIPT": "scripts/3.4.origin_label.v1.pl",
    "WES_OMIM_DB": "data/OMIM_database.v2.txt",
    "WES_SWISSVAR_DB": "data/Swiss_database.v2.txt",
    "WES_HGMD_DB": "data/Hgmd_database.v2.txt",
    "WES_CLINVAR_DB": "data/Clinvar_database.v2.txt",
    "WES_TIER_SORT_SCRIPT": "scripts/3.6.tier_sort.pl",
}
# The start of this run: a step's log older than this was written by an earlier run.
RUN_STARTED = time.time()


def schema_faults(data, schema, where):
    """Every way data breaks the JSON schema file schema, one line each, led by where."""
    try:
        validate(data, os.path.join(SCHEMAS, schema))
        return []
    except WorkflowError as e:
        if not isinstance(e.__context__, jsonschema.ValidationError):
            raise
    # validate stops at the first fault: name them all.
    with open(os.path.join(SCHEMAS, schema)) as f:
        loaded = yaml.safe_load(f)
    faults = []
    for error in jsonschema.validators.validator_for(loaded)(loaded).iter_errors(data):
        key = ".".join(str(part) for part in error.absolute_path)
        about = error.schema.get("description") if error.validator in ("pattern", "minLength") else None
        faults.append(f"{where}{': ' + key if key else ''}: {about or error.message}"
                      + (f" (not {error.instance!r})" if about else ""))
    return faults


def read_settings(faults):
    """The output folder, the programs' folder and the database and script paths, after the
    settings were checked against the schema; every fault found is added to faults."""
    example = os.path.abspath(str(config.get("samples") or EXAMPLE_SHEET)) == EXAMPLE_SHEET
    # The bundled sheet comes with the demo's databases and the programs beside the
    # workflow; a site's own sheet needs its own paths and name.
    config.setdefault("samples", EXAMPLE_SHEET)
    config.setdefault("bin", os.path.join(SUITE, "build", "bin") if CHECKOUT else
                      os.path.join(os.path.dirname(os.path.dirname(SUITE)), "bin"))
    if example:
        config.setdefault("score_db_name", "demo_score")
        given = config.setdefault("paths", {})
        if isinstance(given, dict):
            for name, path in EXAMPLE_PATHS.items():
                given.setdefault(name, os.path.join(DEMO, path))
    # Snakemake hands the --config settings on to cluster jobs with Python's quoting, which a
    # shell reads back differently where a value holds a quote or a backslash (and runs what
    # a "$(...)" beside a quote says): such a value belongs in a --configfile.
    for arg in workflow.config_args or []:
        if "'" in arg or "\\" in arg or not arg.isprintable():
            faults.append(f"config: --config {arg}: a value with a quote, a backslash or a control character "
                          "does not reach cluster jobs intact; give it in a --configfile")
    faults += schema_faults(config, "config.schema.yaml", "config")
    if faults:
        if not example and any("required property" in fault for fault in faults):
            example_settings = os.path.join(workflow.basedir, "config", "site.example.yaml")
            faults.append("config: with a sheet of your own, name score_db_name and every database and "
                          f"script in paths ({example_settings} shows them all)")
        return "results", "", {}
    output = config["output"].rstrip("/") or "/"
    programs = os.path.abspath(config["bin"])
    for program in PROGRAMS:
        path = os.path.join(programs, program)
        if not os.access(path, os.X_OK):
            faults.append(f"config: bin: {path} is missing: "
                          + ("build the suite first (make build)" if CHECKOUT else "install the suite"))
            break
    paths = {}
    for name, value in config["paths"].items():
        paths[name] = os.path.abspath(value)
        if not os.path.isfile(value):
            faults.append(f"config: paths: {name}, {value}, does not exist")
    return output, programs, paths


def read_sheet(sheet, faults):
    """The samples of the sheet, in its order: name -> {"pairs": [(fq_1, fq_2), ...], "vcf"},
    paths absolute. A sample sequenced on several lanes has one row per FASTQ pair, each
    naming the same VCF. Every fault found is added to faults."""
    try:
        with open(sheet, encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
    except (OSError, UnicodeDecodeError) as e:
        faults.append(f"cannot read the sample sheet {sheet}: {getattr(e, 'strerror', None) or e}")
        return {}
    header = lines[0].split("\t") if lines else []
    if header != SHEET_COLUMNS:
        faults.append(f"{sheet} line 1: the columns must be {' '.join(SHEET_COLUMNS)}, separated "
                      f"by tabs, not {' '.join(header) or 'an empty line'}")
        return {}
    base = os.path.dirname(os.path.abspath(sheet))
    samples, first_line, pair_line, first = {}, {}, {}, len(faults)
    for n, line in enumerate(lines[1:], start=2):
        if not line.strip() or line.startswith("#"):
            continue
        at = f"{sheet} line {n}"
        fields = line.split("\t")
        if len(fields) != len(SHEET_COLUMNS):
            k = len(fields)
            faults.append(f"{at}: {k} column{'' if k == 1 else 's'} separated by tabs, not "
                          f"{len(SHEET_COLUMNS)} ({' '.join(SHEET_COLUMNS)})")
            continue
        row = dict(zip(SHEET_COLUMNS, fields))
        wrong = schema_faults(row, "samples.schema.yaml", at)
        if wrong:
            faults += wrong
            continue
        name = row["sample"]
        files = {}
        for column in SHEET_COLUMNS[1:]:
            given = row[column]
            path = os.path.normpath(os.path.join(base, given))
            if not os.path.isfile(path):
                faults.append(f"{at}: {column} of {name}, {given}, does not exist"
                              + ("" if path == given else f" ({path})"))
            elif not os.access(path, os.R_OK):
                faults.append(f"{at}: {column} of {name}, {given}, cannot be read")
            files[column] = path
        pair = (files["fq_1"], files["fq_2"])
        if (name, pair) in pair_line:
            faults.append(f"{at}: sample {name} has this FASTQ pair on line {pair_line[name, pair]} already")
            continue
        pair_line[name, pair] = n
        if name in samples:
            if samples[name]["vcf"] != files["vcf"]:
                faults.append(f"{at}: sample {name} names the VCF {row['vcf']} here and "
                              f"{samples[name]['vcf_given']} on line {first_line[name]}: the rows of "
                              "one sample (its lanes) name one VCF")
                continue
            samples[name]["pairs"].append(pair)
        else:
            first_line[name] = n
            samples[name] = {"pairs": [pair], "vcf": files["vcf"], "vcf_given": row["vcf"]}
    if not samples and len(faults) == first:
        faults.append(f"{sheet} lists no sample")
    return samples


faults = []
OUT, BIN, PATHS = read_settings(faults)
SAMPLES = read_sheet(config["samples"], faults) if not faults else {}
if faults:
    raise WorkflowError("\n".join(faults))

wildcard_constraints:
    sample="|".join(re.escape(name) for name in SAMPLES),

# Every output of a sample starts with this; every rule logs to <output>/logs/<sample>/<rule>.log.
S = f"{OUT}/{{sample}}/{{sample}}"


def log_of(rule):
    return f"{OUT}/logs/{{sample}}/{rule}.log"


# Pieces of the shell commands, quoted for the shell (format leaves them as they are).
STEP = shlex.quote(os.path.join(workflow.basedir, "scripts", "run_step"))
SORT_TABLE = shlex.quote(os.path.join(workflow.basedir, "scripts", "sort_table"))
PROG = shlex.quote(BIN)
MULTIQC = shutil.which("multiqc")
MULTIQC_CONFIG = os.path.join(SUITE, "qc", "multiqc_config.yaml")


def env(*names):
    """The variables of a job's files, as assignments before its command."""
    return " ".join(f"{name}={shlex.quote(PATHS[name])}" for name in names)


def fastq_pairs(wildcards):
    """A sample's FASTQ files, pair by pair, as read_qc_stat takes them."""
    return [path for pair in SAMPLES[wildcards.sample]["pairs"] for path in pair]


def vcf_of(wildcards):
    return SAMPLES[wildcards.sample]["vcf"]


def final_targets(wildcards):
    """What the default target makes: every sample's QC reports and page, score table and
    tier table, and the batch's MultiQC report where multiqc is installed."""
    per_sample = [*rules.read_qc_stat.output, rules.qc_report.output.page, *rules.join_score_db.output,
                  *rules.run_tier_sort.output]
    batch = list(rules.multiqc.output) if MULTIQC else []
    return expand(per_sample, sample=SAMPLES) + batch


# ---- at the end of a run that failed: which samples failed where, and no stale result ----
def per_sample_rules():
    """The rules that run once per sample, each with its outputs, its log and the rules it
    feeds (taken from the rules' own inputs and outputs)."""
    bare = lambda f: strip_wildcard_constraints(str(f))
    found = [r for r in workflow.rules if r.log and "{sample}" in bare(r.log[0])]
    made_by = {bare(f): r.name for r in found for f in r.output}
    feeds = {r.name: set() for r in found}
    for r in found:
        for f in r.input:
            if isinstance(f, str) and bare(f) in made_by:
                feeds[made_by[bare(f)]].add(r.name)
    return {r.name: ([bare(f) for f in r.output], bare(r.log[0]), feeds[r.name]) for r in found}


def downstream(names, graph):
    seen, todo = set(), list(names)
    while todo:
        for after in graph[todo.pop()][2]:
            if after not in seen:
                seen.add(after)
                todo.append(after)
    return seen


def finished_well(log):
    """Whether the step ran in this run and ended with run_step's verdict of success; None
    where it did not run (no log, an earlier run's, or the empty one that Snakemake leaves
    for the steps of a failed group job that never started)."""
    try:
        if os.path.getmtime(log) < RUN_STARTED - 1:
            return None
        with open(log, errors="replace") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    return re.fullmatch(r"run_step: \S+ done", lines[-1]) is not None if lines else None


def tell_outcome():
    """One line per failed sample (its failed steps and their logs), the samples that did
    not run, the samples that completed; the outputs a failed step's earlier run left
    downstream of it are removed."""
    graph = per_sample_rules()
    failed, not_run, completed, removed = {}, [], [], 0
    qc_failed = False
    for sample in SAMPLES:
        missing = [name for name, (outputs, _, _) in graph.items()
                   if any(not os.path.exists(f.format(sample=sample)) for f in outputs)]
        if not missing:
            completed.append(sample)
            continue
        steps = [name for name in missing if finished_well(graph[name][1].format(sample=sample)) is False]
        if not steps:
            not_run.append(sample)
            continue
        failed[sample] = steps
        for name in downstream(steps, graph):
            for f in graph[name][0]:
                path = f.format(sample=sample)
                if os.path.exists(path):
                    os.remove(path)
                    removed += 1
        qc_failed |= any(name in ("read_qc_stat", "qc_report") for name in steps)
    batch_report = f"{OUT}/multiqc/multiqc_report.html"
    if qc_failed and os.path.exists(batch_report):
        os.remove(batch_report)
        removed += 1
    say = lambda text: print(f"wes-suite: {text}", file=sys.stderr)
    if failed:
        say(f"{len(failed)} of {len(SAMPLES)} samples failed:")
        for sample, steps in failed.items():
            print(f"  {sample}: " + "; ".join(
                f"{name} failed, log {graph[name][1].format(sample=sample)}" for name in steps), file=sys.stderr)
    batch_log = f"{OUT}/logs/multiqc.log"
    if (MULTIQC and not qc_failed and not os.path.exists(batch_report) and os.path.exists(batch_log)
            and os.path.getmtime(batch_log) >= RUN_STARTED - 1):
        say(f"the batch's MultiQC report failed, log {batch_log}")
    if removed:
        say(f"removed {removed} results of an earlier run that the failed steps would have remade")
    if not_run:
        say(f"not run (the run stopped before them): {' '.join(not_run)}")
    say(f"completed: {' '.join(completed) or 'none'}")


onerror:
    tell_outcome()
