#!/usr/bin/env bash
# Takes the README's picture: pelmora --simulate under Xvfb, the simulated logger chosen in the
# port dialog, a read of its log, the track view opened beside the window, then a capture of both.
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
[ -x "$build/ui/pelmora" ] || cmake --build "$build" --target pelmora -j2

work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1900x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# A profile and data folder of their own, so the user's are never touched.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
# No map tiles: the picture must not depend on the network (the graticule shows instead).
mkdir -p "$XDG_CONFIG_HOME/Pelmora"
printf '[Setting]\nMapTiles=0\n' >"$XDG_CONFIG_HOME/Pelmora/Pelmora.ini"
unset QT_QPA_PLATFORM
"$build/ui/pelmora" --simulate >"$work/pelmora.log" 2>&1 &
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
# View > Track... (Alt+V, T), placed to the right of the window.
xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
xdotool key alt+v
sleep 0.5
xdotool key t
wait_window "^Track$"
track="$(xdotool search --onlyvisible --name "^Track$" | head -1)"
eval "$(xdotool getwindowgeometry --shell "$id")"
main_w=$WIDTH main_h=$HEIGHT
track_h=$main_h
xdotool windowmove "$id" 0 0 windowmove "$track" $((main_w + 8)) 0 windowsize "$track" 900 "$track_h"
sleep 3  # the trace is read on the view's own thread
mkdir -p "$(dirname "$out")"
import -window root -crop "$((main_w + 908))x${track_h}+0+0" +repage "$out"
echo "$out"
