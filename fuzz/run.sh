#!/usr/bin/env bash
# Builds the fuzz preset and runs every target for FUZZ_SECONDS (default 60) on a scratch copy of
# its seed corpus (the committed corpus never grows here). Prints the executions of each target
# and fails when any target crashes; crashing inputs are kept in $FUZZ_OUT (default
# build/fuzz/findings/<target>/).
#   FUZZ_SECONDS=20 fuzz/run.sh            every target
#   fuzz/run.sh fuzz_line fuzz_replies     only these
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
out="${FUZZ_OUT:-build/fuzz/findings}"

# Target, then its longest input: a few sectors for the flash and range streams, a line for the
# line, one reply frame, a small profile.
targets=(
  "fuzz_raw_log 16384"
  "fuzz_trace_reader 8192"
  "fuzz_line 4096"
  "fuzz_replies 600"
  "fuzz_marked_data 20000"
  "fuzz_log_filter 16384"
  "fuzz_profile 4096"
)

cmake --preset fuzz >/dev/null
names=()
for t in "${targets[@]}"; do names+=("${t%% *}"); done
cmake --build build/fuzz -j "$(nproc)" --target "${names[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
scratch="$(mktemp -d /tmp/pelmora-fuzz-run-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

failed=()
printf '%-20s %12s %8s\n' target executions result >"$scratch/summary"
for t in "${targets[@]}"; do
  name="${t%% *}"
  maxlen="${t##* }"
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  corpus="$scratch/corpus-$name"
  mkdir -p "$corpus" "$out/$name"
  cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
  log="$scratch/$name.log"
  echo "-- $name: ${seconds}s, max_len $maxlen"
  status=0
  (cd "$scratch" && "$OLDPWD/build/fuzz/fuzz/$name" -max_total_time="$seconds" \
      -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$OLDPWD/$out/$name/" "$corpus") >"$log" 2>&1 || status=$?
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  if [ "$status" -eq 0 ]; then
    result=ok
  else
    result="CRASH($status)"
    failed+=("$name")
    grep -E 'ERROR|runtime error|check failed|Test unit written|SUMMARY' "$log" | head -20 || true
  fi
  printf '%-20s %12s %8s\n' "$name" "${execs:-?}" "$result" | tee -a "$scratch/summary"
done
echo
cat "$scratch/summary"
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes in: ${failed[*]} (inputs in $out/)" >&2
  exit 1
fi
