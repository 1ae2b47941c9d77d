#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12). Quick when everything is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-charts-dev libqt6opengl6-dev
  libudev-dev
  libcctz-dev tzdata
  libproj-dev proj-data
  libsqlite3-dev
  libgtest-dev googletest libgmock-dev
  libbenchmark-dev
  clang libclang-rt-14-dev
  gpsbabel libxml2-utils
  libexiv2-dev exiv2 libimage-exiftool-perl
  help2man desktop-file-utils appstream dpkg-dev file tzdata
  xvfb xauth xdotool imagemagick
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
