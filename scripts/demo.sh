#!/usr/bin/env bash
# The main job on the sample raw log: decode it into a trace and print the summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh debug
out="${PELMORA_DEMO_DIR:-$PWD/build/demo}"
mkdir -p "$out"
build/debug/cli/pelmora-cli decode --data-dir "$out" data/sample-data.log
echo "Trace written to $out/TraceLog.ltp"
