#!/usr/bin/env bash
# Makes sure the Debian packages the suite builds with are present. As root, installs
# what is missing with apt-get; otherwise prints the command that would install it.
set -euo pipefail

missing=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || missing+=(cmake)
have_cmd g++ || missing+=(g++)
have_cmd make || missing+=(make)
have_cmd perl || missing+=(perl)
have_pkg zlib1g-dev || [ -f /usr/include/zlib.h ] || missing+=(zlib1g-dev)
have_pkg libgtest-dev || [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
have_cmd clang++ || missing+=(clang)
have_pkg libclang-rt-14-dev || missing+=(libclang-rt-14-dev)
have_pkg libisal-dev || [ -f /usr/include/isa-l/igzip_lib.h ] || missing+=(libisal-dev)

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && have_cmd apt-get; then
    echo "installing missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "missing packages: ${missing[*]}"
    echo "install them with: sudo apt-get install ${missing[*]}"
    exit 1
fi
