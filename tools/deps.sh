#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Does nothing (and needs no network) when they are all present already.
set -euo pipefail
packages=(
  cmake g++ make pkg-config
  qt6-base-dev libx11-dev libgl-dev
  libgtest-dev libgmock-dev googletest
  pxlib-dev libsqlite3-dev
  xvfb xauth xdotool x11-utils imagemagick
  fontconfig fonts-dejavu-core qt6-translations-l10n
  clang clang-format libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
