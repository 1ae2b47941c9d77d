#!/usr/bin/env bash
# Takes the README's picture of the main window: pelmora --simulate under Xvfb, the simulated
# logger chosen in the port dialog, a read of its log, then a capture of the screen.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
out="${2:-docs/window.png}"
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshot: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2
    exit 1
  fi
done
[ -x "$build/app/pelmora" ] || cmake --build "$build" --target pelmora -j2

work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# A profile and data folder of their own, so the user's are never touched.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset QT_QPA_PLATFORM
"$build/app/pelmora" --simulate >"$work/pelmora.log" 2>&1 &
app_pid=$!

wait_window() {  # title
  for _ in $(seq 100); do
    xdotool search --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "screenshot: no window \"$1\"" >&2
  return 1
}
# The simulated logger is the first port offered; the default rate is the logger's own.
wait_window "Serial Port Setting"
sleep 1
xdotool key Down Return
wait_window "Pelmora - "
sleep 4  # detection, the device ID and the first log status
id="$(xdotool search --onlyvisible --name "Pelmora - " | head -1)"
# Read (Alt+R): the rate switch, the download, the decoding; the summary box is answered with
# Enter.
xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
xdotool key alt+r
for _ in $(seq 300); do
  grep -q . "$XDG_DATA_HOME/Pelmora/TraceLog.ltp" 2>/dev/null && break
  sleep 0.1
done
sleep 2
xdotool key Return
sleep 1
mkdir -p "$(dirname "$out")"
import -window "$id" "$out"
echo "$out"
