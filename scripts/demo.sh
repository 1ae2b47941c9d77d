#!/usr/bin/env bash
# The main job on the simulated logger: download its log (Read), decode it, convert the trace.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh debug
out="${PELMORA_DEMO_DIR:-$PWD/build/demo}"
mkdir -p "$out"
cli=build/debug/cli/pelmora-cli
"$cli" read --simulate --data-dir "$out"
"$cli" convert --data-dir "$out" --output "$out/track.kml" \
  --formats kml-path,kml-point,nmea,nmea-id,csv,gpx
echo "Outputs written to $out"
