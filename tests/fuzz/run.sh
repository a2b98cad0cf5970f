#!/usr/bin/env bash
# Runs one libFuzzer target over its seed corpus, never writing into the source tree:
#   run.sh [--fresh] BINARY SEED_DIR WORK_DIR [libFuzzer options...]
# Inputs the fuzzer finds go to WORK_DIR/corpus (emptied first with --fresh), a failing
# input to WORK_DIR/crash-*; copy one into SEED_DIR to keep it as a regression seed.
set -euo pipefail
fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
bin=$1 seeds=$2 work=$3
shift 3
[ "$fresh" = 1 ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus"
exec "$bin" -artifact_prefix="$work/" -print_final_stats=1 "$@" "$work/corpus" "$seeds"
