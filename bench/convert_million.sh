#!/usr/bin/env bash
# Converts a generated 1,000,000-fix trace into all outputs and prints wall time, CPU time and
# peak memory; then times gpsbabel, a general-purpose GPS converter, writing KML from the same
# points (the NMEA output) for comparison.
#   bench/convert_million.sh [BUILD_DIR] [WORK_DIR]
# BUILD_DIR defaults to build/release (cmake --preset release && cmake --build build/release
# --target bench_convert_million); WORK_DIR to a fresh folder under /tmp, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
work="${2:-}"
made=""
if [ -z "$work" ]; then
  work="$(mktemp -d /tmp/pelmora-million-XXXXXX)"
  made=yes
fi
trap '[ -n "$made" ] && rm -rf "$work"' EXIT
bench="$build/bench/bench_convert_million"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 2; }

echo "== pelmora conversion (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
/usr/bin/time -v "$bench" --dir "$work" --gpx 2>"$work/time.txt"
grep -E 'Elapsed|Maximum resident|User time|System time' "$work/time.txt"

# The first run of the benchmark left million.txt (NMEA) in the folder: the same points.
if command -v gpsbabel >/dev/null; then
  echo "== gpsbabel: NMEA ($(du -m "$work/million.txt" | cut -f1) MB) to KML"
  /usr/bin/time -v gpsbabel -t -i nmea -f "$work/million.txt" -o kml -F "$work/gpsbabel.kml" \
    2>"$work/time-gpsbabel.txt"
  grep -E 'Elapsed|Maximum resident|User time|System time' "$work/time-gpsbabel.txt"
  echo "gpsbabel KML: $(du -m "$work/gpsbabel.kml" | cut -f1) MB"
fi
