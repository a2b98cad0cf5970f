#!/usr/bin/env bash
# Makes sure the Debian 12 (bookworm) packages the suite needs are present. As root,
# installs what is missing with apt-get; otherwise prints the command that would install it.
#
#   deps.sh build    what building the programs and running the demo need (make demo)
#   deps.sh test     that, and what building and running every test needs (make test,
#                    make build): the test tools are installed where possible, and the
#                    tests of a tool that cannot be had are skipped
set -euo pipefail

mode=${1:-test}
case $mode in build | test) ;; *) echo "usage: deps.sh build|test" >&2; exit 2 ;; esac

missing=()
optional=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The programs: a C++20 compiler, CMake, zlib and ISA-L; perl runs the demo's scripts.
have_cmd cmake || missing+=(cmake)
have_cmd g++ || missing+=(g++)
have_cmd make || missing+=(make)
have_pkg perl || missing+=(perl)  # perl-base alone lacks the modules the scripts use
have_pkg zlib1g-dev || [ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
have_pkg libisal-dev || [ -f /usr/include/isa-l/igzip_lib.h ] || missing+=(libisal-dev)

if [ "$mode" = test ]; then
    # The tests: GoogleTest; clang and its fuzzer runtime (the fuzz targets; Debian 12's
    # clang is 14); make package (CPack's DEB generator: dpkg-shlibdeps, file) and the
    # tests of the installed suite (man, which brings groff).
    have_pkg libgtest-dev || [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    have_cmd clang++ || missing+=(clang)
    have_pkg libclang-rt-14-dev || missing+=(libclang-rt-14-dev)
    have_cmd dpkg-shlibdeps || missing+=(dpkg-dev)
    have_cmd file || missing+=(file)
    have_cmd man || missing+=(man-db)
    have_cmd tabix || missing+=(tabix)  # bgzip and tabix: the tests of indexed databases

    # Tools that only a few tests use: the QC page in a browser and the MultiQC report over
    # a batch; the progress line in a real terminal; the package's lint and hardening
    # checks. Installed where possible; where they cannot be had, those tests are skipped.
    have_cmd chromium || optional+=(chromium)
    have_cmd multiqc || optional+=(multiqc)
    have_cmd tmux || optional+=(tmux)
    have_cmd lintian || optional+=(lintian)
    have_cmd hardening-check || optional+=(devscripts)
    # The workflow tests: Snakemake, a one-node Slurm cluster with its MUNGE
    # authentication, and ip for the network namespaces of the host-name test.
    have_cmd ip || optional+=(iproute2)
    for pkg in snakemake slurmctld slurmd slurm-client munge; do
        have_pkg "$pkg" || optional+=("$pkg")
    done
fi

[ ${#missing[@]} -eq 0 ] && [ ${#optional[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && have_cmd apt-get; then
    export DEBIAN_FRONTEND=noninteractive
    # Debian's packages start their services at install (munge, slurmctld, slurmd); a
    # policy-rc.d that refuses keeps them down: the tests start and stop their own daemons.
    policy=/usr/sbin/policy-rc.d
    if [ ! -e "$policy" ]; then
        trap 'rm -f "$policy"' EXIT
        printf '#!/bin/sh\n# No service starts during package installation.\nexit 101\n' > "$policy"
        chmod 755 "$policy"
    fi
    apt-get update -qq
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing missing packages: ${missing[*]}"
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
    if [ ${#optional[@]} -gt 0 ]; then
        echo "installing test tools: ${optional[*]}"
        # One refused package must not cost the others: on failure, each is tried alone.
        if ! apt-get install -y -qq --no-install-recommends "${optional[@]}" >/dev/null; then
            for pkg in "${optional[@]}"; do
                apt-get install -y -qq --no-install-recommends "$pkg" >/dev/null ||
                    echo "could not install $pkg: the tests that use it will be skipped"
            done
        fi
    fi
else
    if [ ${#missing[@]} -gt 0 ]; then
        echo "missing packages: ${missing[*]}"
        echo "install them with: sudo apt-get install ${missing[*]}"
        exit 1
    fi
    echo "optional test tools missing (their tests are skipped): ${optional[*]}; sudo apt-get install ${optional[*]}"
fi
