#!/usr/bin/env bash
# Install.deb: builds the Debian package from the build tree as `make package` does,
# checks it with lintian (no error) and its programs with hardening-check, installs it with
# dpkg -i, runs every program's --version from /usr/bin, finds every page with man -w, runs
# the installed demo and the installed workflow on a site's settings (with no checkout),
# and removes the package again, whatever happened on the way.
#   deb_test.sh BUILD_DIR VERSION
# It runs only as root on a machine with dpkg, and only when the package is not installed
# and none of its files is there already, so that it never replaces or removes anything
# it did not bring; otherwise it says why and exits 77 (skipped).
set -uo pipefail
build=$1 version=$2

skip() {
    echo "SKIPPED: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg > /dev/null && command -v dpkg-deb > /dev/null || skip "no dpkg on this machine"
if grep -Eqs '^path-exclude[= ]+/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    skip "dpkg is configured to leave out manual pages (/etc/dpkg/dpkg.cfg.d)"
fi

# One run at a time on this machine: a test in another checkout installs the same package.
exec 9> "${TMPDIR:-/tmp}/wes-suite-deb-test.lock"
flock 9

work=$(mktemp -d)
installed=0
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
remove() {
    [ "$installed" -eq 1 ] || return 0
    installed=0
    if ! dpkg --purge wes-suite > "$work/purge.log" 2>&1; then
        cat "$work/purge.log"
        fail "dpkg --purge wes-suite"
        return
    fi
    local f
    for f in $files; do
        [ ! -e "/$f" ] || fail "/$f is left after dpkg --purge wes-suite"
    done
    [ ! -e /usr/share/wes-suite ] || fail "/usr/share/wes-suite is left after dpkg --purge wes-suite"
}
finish() {
    local status=$?
    remove
    [ "$failures" -eq 0 ] || status=1
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM HUP

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/package" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack"
    exit 1
fi
debs=("$work"/package/wes-suite_"$version"_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { cat "$work/cpack.log"; fail "cpack wrote no wes-suite_${version}_<arch>.deb"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for needed in perl libc6 libstdc++6; do
    [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] || fail "Depends lacks $needed: $depends"
done

# A good Debian citizen: lintian finds no error; every program is built hardened (PIE, full
# RELRO with BIND_NOW, _FORTIFY_SOURCE, stack protector; control-flow protection is left
# out, as Debian 12 builds its own programs without it).
if command -v lintian > /dev/null; then
    lintian "$deb" > "$work/lintian.log" 2>&1
    grep '^E: ' "$work/lintian.log" && fail "lintian reports errors"
    grep '^W: ' "$work/lintian.log" | sed 's/^/note: /'
else
    echo "note: lintian is not installed (.ci/deps.sh installs it as root): the package is not linted"
fi
if command -v hardening-check > /dev/null; then
    mkdir "$work/tree" && dpkg-deb -x "$deb" "$work/tree"
    hardening-check --quiet --nocfprotection "$work"/tree/usr/bin/* || fail "hardening-check"
else
    echo "note: hardening-check is not installed (package devscripts): the programs' hardening is not checked"
fi

state=$(dpkg-query -W -f='${db:Status-Status}' wes-suite 2> /dev/null)
[ -z "$state" ] || [ "$state" = not-installed ] ||
    skip "wes-suite is on this machine already ($state); this test neither replaces nor removes it"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./||' -e '/\/$/d')
[ -n "$files" ] || { fail "the package holds no files"; exit 1; }
for f in $files; do
    [ ! -e "/$f" ] && [ ! -L "/$f" ] || skip "/$f is there already; this test does not replace it"
done

installed=1
if ! dpkg -i "$deb" > "$work/dpkg.log" 2>&1; then
    cat "$work/dpkg.log"
    fail "dpkg -i $(basename "$deb")"
    exit 1
fi

programs=$(printf '%s\n' $files | sed -n 's|^usr/bin/||p')
for program in $programs; do
    said=$(/usr/bin/"$program" --version)
    [ "$said" = "$program (wes-suite) $version" ] || fail "/usr/bin/$program --version says '$said'"
    page=$(env -u MANPATH man -w "$program" 2>&1)
    [ "$page" = "/usr/share/man/man1/$program.1.gz" ] || fail "man -w $program says '$page'"
done
[ -n "$programs" ] || fail "the package installs no program"
mkdir "$work/demo"
if ! (cd "$work/demo" && /usr/share/wes-suite/demo/run > "$work/demo.log" 2>&1); then
    cat "$work/demo.log"
    fail "the demo of the package failed"
fi

# The installed workflow, as a site runs it: its own sheet and settings (here naming the
# installed demo's files), the installed programs by default.
if command -v snakemake > /dev/null; then
    wf=$work/workflow
    mkdir "$wf"
    d=/usr/share/wes-suite/demo
    printf 'sample\tfq_1\tfq_2\tvcf\nS1\t%s\t%s\t%s\n' "$d/data/DEMO01_R1.fq.gz" "$d/data/DEMO01_R2.fq.gz" \
        "$d/data/DEMO01.vcf" > "$wf/samples.tsv"
    sed -e "s|^samples: .*|samples: samples.tsv|" -e "s|/data/wes/bin/|$d/scripts/|" -e "s|/data/wes/|$d/data/|" \
        -e "s|revel.sorted.txt|score.sorted.txt|" -e "s|^score_db_name: .*|score_db_name: demo_score|" \
        /usr/share/wes-suite/workflow/config/site.example.yaml > "$wf/site.yaml"
    if ! (cd "$wf" && snakemake -s /usr/share/wes-suite/workflow/Snakefile --configfile site.yaml --cores 2 \
              > "$wf/snake.log" 2>&1); then
        cat "$wf/snake.log"
        fail "the installed workflow failed"
    fi
    cmp "$work/demo/wes-suite-demo/DEMO01.tier.txt" "$wf/results/S1/S1.tier.txt" ||
        fail "the installed workflow's tier table is not the installed demo's"
else
    echo "note: snakemake is not installed: the installed workflow is not run"
fi

remove
[ "$failures" -eq 0 ] && echo "installed $(basename "$deb") ($(echo $programs | wc -w) programs), ran them, removed it"
