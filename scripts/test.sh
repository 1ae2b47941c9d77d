#!/usr/bin/env bash
# Builds the debug preset and runs every test (unit, window, device and end-to-end).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh debug
ctest --preset debug -j "$(nproc)" "$@"
