# Shared by the bench_*.sh scripts (sourced, not run).
#
# Every command is timed twice: on the idle machine with all its CPUs, and pinned to one CPU
# (taskset -c 0), as in a one-core cluster slot. Each figure is the fastest of N runs: wall
# seconds and CPU seconds (user + system) of that run, and its peak memory. A non-zero exit
# of the command is not a failure here (the annotators end with status 1).

# measure N cmd...: prints "wall cpu pinned_wall pinned_cpu peak_KiB". With FRESH set to a
# path, that file (the command's output) is removed before each run, so that no run pays for
# truncating the output of the one before.
measure() {
    local n=$1
    shift
    local tf out="" mode w u s m c
    tf=$(mktemp)
    for mode in idle pinned; do
        local best_w="" best_c="" mem=""
        for _ in $(seq "$n"); do
            [ -n "${FRESH:-}" ] && rm -f "$FRESH"
            if [ "$mode" = pinned ]; then
                /usr/bin/time -o "$tf" -f "%e %U %S %M" taskset -c 0 "$@" >/dev/null 2>&1 || true
            else
                /usr/bin/time -o "$tf" -f "%e %U %S %M" "$@" >/dev/null 2>&1 || true
            fi
            read -r w u s m < <(tail -n 1 "$tf")  # after a "Command exited with ..." line
            c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
            if [ -z "$best_w" ] || awk -v a="$w" -v b="$best_w" 'BEGIN { exit !(a < b) }'; then
                best_w=$w best_c=$c mem=$m
            fi
        done
        out+="$best_w $best_c "
        [ "$mode" = idle ] && local idle_mem=$mem
    done
    rm -f "$tf"
    echo "$out$idle_mem"
}

# header: the column heads of row.
header() { printf "  %-44s %9s %9s %11s %11s %9s\n" "" "wall s" "CPU s" "pinned wall" "pinned CPU" "peak MiB"; }

# row NAME "wall cpu pinned_wall pinned_cpu peak_KiB"
row() {
    local w c pw pc m
    read -r w c pw pc m <<< "$2"
    printf "  %-44s %9.2f %9.2f %11.2f %11.2f %9.1f\n" "$1" "$w" "$c" "$pw" "$pc" "$(awk -v m="$m" 'BEGIN { print m / 1024 }')"
}

# ratio NAME "ours..." "peer..." TARGET: our time as a share of the peer's, wall and CPU,
# idle and pinned, against the target share (at most; "-" for none). TARGET may also be
# four targets, "wall cpu pinned_wall pinned_cpu", each a share or "-".
ratio() {
    local w c pw pc m W C PW PC M
    read -r w c pw pc m <<< "$2"
    read -r W C PW PC M <<< "$3"
    awk -v n="$1" -v w="$w" -v c="$c" -v pw="$pw" -v pc="$pc" -v W="$W" -v C="$C" -v PW="$PW" -v PC="$PC" -v t="$4" '
        function r(a, b) { return b > 0 ? a / b : 0 }
        function within(v, limit) { return limit == "-" || v <= limit + 0 }
        BEGIN {
            printf "  %-44s %9.2f %9.2f %11.2f %11.2f", n, r(w, W), r(c, C), r(pw, PW), r(pc, PC)
            k = split(t, lim, " ")
            if (k == 1) { lim[2] = lim[3] = lim[4] = lim[1] }
            if (lim[1] == "-" && lim[2] == "-" && lim[3] == "-" && lim[4] == "-") { printf "   (for reference)\n"; exit }
            ok = within(r(w, W), lim[1]) && within(r(c, C), lim[2]) && within(r(pw, PW), lim[3]) && within(r(pc, PC), lim[4])
            printf "   (target <= %s: %s)\n", t, ok ? "met" : "NOT met"
        }'
}
