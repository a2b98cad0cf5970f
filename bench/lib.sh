# Shared by the bench_*.sh scripts (sourced, not run).

# best_of N cmd...: runs cmd N times and prints the shortest wall time (seconds) and the
# peak memory (KiB) of that run. A non-zero exit of cmd is not a failure here (the
# annotators end with status 1).
best_of() {
    best_of_fresh "" "$@"
}

# best_of_fresh OUT N cmd...: the same, removing the file OUT before each run so that
# no run pays for truncating the output of the one before.
best_of_fresh() {
    local out=$1 n=$2
    shift 2
    local best="" mem="" t m tf
    tf=$(mktemp)
    for _ in $(seq "$n"); do
        [ -n "$out" ] && rm -f "$out"
        /usr/bin/time -o "$tf" -f "%e %M" "$@" >/dev/null 2>&1 || true
        read -r t m < <(tail -n 1 "$tf")  # after a "Command exited with ..." line
        if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$t; mem=$m; fi
    done
    rm -f "$tf"
    echo "$best $mem"
}
