#!/usr/bin/env bash
# Builds the release preset and makes the Debian package in build/package; prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release >&2  # standard output carries only the package path
rm -f build/package/*.deb
cpack --config build/release/CPackConfig.cmake -G DEB -B build/package >&2
ls "$PWD"/build/package/*.deb
