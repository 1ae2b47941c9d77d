#!/usr/bin/env bash
# Times pelmora-cli decode of a generated 48 MiB raw log (6.2 million fixes), as a user runs it:
# the whole process, start-up, profile, decode, trace file and summary. Prints each run's wall
# time, CPU time and peak memory, then the medians and the decoding rate.
#   bench/decode_cli.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build/release (cmake --preset release && cmake --build build/release);
# the log and the trace go to a scratch folder on /dev/shm when there is one, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
runs="${2:-5}"
cli="$build/cli/pelmora-cli"
bench="$build/bench/bench_decode"
for f in "$cli" "$bench"; do
  [ -x "$f" ] || { echo "build $f first" >&2; exit 2; }
done
scratch=/tmp
[ -w /dev/shm ] && scratch=/dev/shm
work="$(mktemp -d "$scratch/pelmora-decode-XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$bench" --write-log "$work/data.log" 48
bytes=$(stat -c %s "$work/data.log")
echo "== pelmora-cli decode: $((bytes / 1000000)) MB raw log (load average: $(cut -d' ' -f1-3 /proc/loadavg))"
export XDG_CONFIG_HOME="$work/config"  # the default profile, not the user's
for i in $(seq "$runs"); do
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.$i" \
    "$cli" decode --data-dir "$work" "$work/data.log" >"$work/out.$i"
  awk -v i="$i" '{ printf "run %d: wall %.2f s, cpu %.2f s, peak %d KiB\n", i, $1, $2 + $3, $4 }' \
    "$work/time.$i"
done
tail -1 "$work/out.1"
cat "$work"/time.* | awk -v bytes="$bytes" '
  { wall[NR] = $1; cpu[NR] = $2 + $3; rss[NR] = $4 }
  function median(a, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((n + 1) / 2)]
  }
  END {
    w = median(wall, NR); c = median(cpu, NR); r = median(rss, NR)
    printf "median: wall %.2f s (%.0f MB/s), cpu %.2f s (%.0f MB/s), peak %.1f MiB\n",
           w, bytes / w / 1e6, c, bytes / c / 1e6, r / 1024
  }'
