#!/usr/bin/env bash
# workflow/slurm/start on the /etc/hosts forms a machine has: its name on 127.0.0.1, or on
# 127.0.1.1 as the Debian installer writes it (the cluster comes up and runs a batch job), or on
# an address beyond the loopback (refused: the daemons would listen there). Each case runs in
# network, mount and host-name namespaces of its own, with its own /etc/hosts.
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "starting Slurm's daemons needs root"
for cmd in munged slurmctld slurmd sinfo unshare; do
    command -v "$cmd" >/dev/null || skip "$cmd is not installed (.ci/deps.sh installs slurmctld slurmd slurm-client munge as root)"
done
unshare --net --mount --uts true 2>/dev/null || skip "cannot make network, mount and host-name namespaces here"

# case_ ADDRESS WANTED_STATUS: the machine named wesnode on ADDRESS.
failures=0
case_() {
    local dir=$WORK/$1
    mkdir -p "$dir"
    printf '127.0.0.1\tlocalhost\n%s\twesnode.example.org\twesnode\n::1\tlocalhost ip6-localhost ip6-loopback\n' "$1" > "$dir/hosts"
    # The namespace's loopback gets one address outside 127/8 as well: without any, name
    # look-ups that ask for configured addresses (AI_ADDRCONFIG) find no IPv4 at all.
    unshare --net --mount --uts --fork bash -c '
        ip link set lo up && ip addr add 192.0.2.1/32 dev lo && hostname wesnode &&
            mount --bind "$1/hosts" /etc/hosts || exit 3
        bash "$2/workflow/slurm/start" "$1/cluster"
        status=$?
        if [ "$status" -eq 0 ]; then
            export SLURM_CONF=$1/cluster/slurm.conf
            status=4
            job=$(sbatch --parsable -o /dev/null --wrap true) && for _ in $(seq 300); do
                scontrol show job "$job" 2>/dev/null | grep -q "JobState=COMPLETED" && { status=0; break; }
                sleep 0.2
            done
        fi
        bash "$2/workflow/slurm/stop" "$1/cluster" > /dev/null
        exit $status' _ "$dir" "$SRC" > "$dir/start.log" 2>&1
    local got=$?
    [ "$got" -eq "$2" ] || { echo "name on $1: status $got, not $2"; cat "$dir/start.log"; failures=$((failures + 1)); }
}
case_ 127.0.0.1 0
case_ 127.0.1.1 0
case_ 192.0.2.7 1
grep -qx "slurm/start: this machine's name, wesnode, resolves to 192.0.2.7, not a loopback address: the daemons would listen there (a one-node cluster for trying wants the name on 127.0.0.1 or 127.0.1.1 in /etc/hosts)" \
    "$WORK/192.0.2.7/start.log" || { cat "$WORK/192.0.2.7/start.log"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] || fail "$failures of 4 host forms went wrong"
echo "the one-node Slurm came up with the machine's name on 127.0.0.1 and on 127.0.1.1, and refused 192.0.2.7"
