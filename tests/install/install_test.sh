#!/usr/bin/env bash
# Install.prefix: installs the build tree into a fresh prefix with cmake --install and
# checks what a user finds there.
#   install_test.sh BUILD_DIR ENV_TRACE_LIBRARY VERSION
# - every program built in BUILD_DIR/bin is installed and answers --version with VERSION;
# - every installed program has a manual page that man renders without a warning, and
#   every page has its program;
# - the README and the demo are installed, and the demo runs from there on the installed
#   programs; so does the installed workflow's example batch (where snakemake is installed);
# - in that run ENV_TRACE_LIBRARY (preloaded) records what each program reads from the
#   environment, and each page's ENVIRONMENT section names exactly those variables.
set -uo pipefail
build=$1 trace_library=$2 version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install $build --prefix $prefix"
    exit 1
fi
bin=$(cd "$prefix/bin" && pwd -P)
pages=$prefix/share/man/man1

for built in "$build"/bin/*; do
    program=$(basename "$built")
    [ -x "$bin/$program" ] || fail "$program is built but not installed: add it to WES_PROGRAMS in CMakeLists.txt"
done
for exe in "$bin"/*; do
    program=$(basename "$exe")
    said=$("$exe" --version)
    [ "$said" = "$program (wes-suite) $version" ] || fail "$program --version says '$said'"
    page=$pages/$program.1.gz
    if [ ! -f "$page" ]; then
        fail "$program has no manual page"
        continue
    fi
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "man $program: $warnings"
done
for page in "$pages"/*; do
    program=$(basename "$page" .1.gz)
    [ -x "$bin/$program" ] || fail "$(basename "$page") is installed without its program"
done
[ -s "$prefix/share/doc/wes-suite/README.md" ] || fail "no README in share/doc/wes-suite"

# The installed demo, run from an unrelated folder, with every read of the environment
# by the suite's programs recorded.
trace=$work/environment.log
mkdir "$work/elsewhere"
if ! (cd "$work/elsewhere" &&
      LD_PRELOAD=$trace_library ENV_TRACE_BIN=$bin ENV_TRACE_LOG=$trace \
      "$prefix/share/wes-suite/demo/run" > "$work/demo.log" 2>&1); then
    cat "$work/demo.log"
    fail "the installed demo failed"
fi
[ -s "$work/elsewhere/wes-suite-demo/summary.txt" ] || fail "the installed demo wrote no wes-suite-demo/summary.txt"
[ -s "$trace" ] || fail "nothing recorded the programs' reads of the environment ($trace_library)"

# The installed workflow with no settings of its own: the example sheet, the installed
# programs and the installed demo's files.
if command -v snakemake > /dev/null; then
    if ! (cd "$work/elsewhere" && snakemake -s "$prefix/share/wes-suite/workflow/Snakefile" --cores 2 \
              > "$work/workflow.log" 2>&1); then
        cat "$work/workflow.log"
        fail "the installed workflow's example failed"
    fi
    for sample in DEMO01 DEMO02 DEMO03; do
        [ -s "$work/elsewhere/results/$sample/$sample.tier.txt" ] || fail "the installed workflow made no tier table of $sample"
    done
    cmp -s "$work/elsewhere/wes-suite-demo/DEMO01.tier.txt" "$work/elsewhere/results/DEMO01/DEMO01.tier.txt" ||
        fail "the installed workflow's DEMO01 differs from the installed demo's"
else
    echo "note: snakemake is not installed: the installed workflow is not run"
fi

for exe in "$bin"/*; do
    program=$(basename "$exe")
    page=$pages/$program.1.gz
    [ -f "$page" ] || continue
    if ! grep -qx "$program" "$trace" 2> /dev/null; then
        echo "note: the demo does not run $program, so what it reads from the environment is not checked"
        continue
    fi
    reads=$(awk -F'\t' -v p="$program" '$1 == p && NF == 2 { print $2 }' "$trace" | sort -u)
    # The names of the ENVIRONMENT section: the word after each .TP there.
    named=$(zcat "$page" | awk '/^\.SH / { inside = ($0 == ".SH ENVIRONMENT") }
                                inside && tp && /^\.B / { print $2 }
                                { tp = ($0 == ".TP") }' | sort -u)
    for name in $(comm -23 <(printf '%s\n' $reads) <(printf '%s\n' $named)); do
        fail "$program reads $name, which its page does not name (man/$program.1.in)"
    done
    for name in $(comm -13 <(printf '%s\n' $reads) <(printf '%s\n' $named)); do
        fail "the page of $program names $name, which $program did not read in the demo"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installed $(ls "$bin" | wc -l) programs with their pages; the demo ran from $prefix"
