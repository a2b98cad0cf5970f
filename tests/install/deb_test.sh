#!/usr/bin/env bash
# Install.deb: builds the Debian package from the build tree as `make package` does,
# installs it with dpkg -i, runs every program's --version from /usr/bin, finds every
# page with man -w, runs the installed demo, and removes the package again, whatever
# happened on the way.
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

remove
[ "$failures" -eq 0 ] && echo "installed $(basename "$deb") ($(echo $programs | wc -w) programs), ran them, removed it"
