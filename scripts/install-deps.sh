#!/usr/bin/env bash
# Installs the Debian packages Orvane needs to build and test. Safe to run again:
# packages already present are left alone, and nothing comes from outside apt.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libsqlite3-dev sqlite3 liblnk-dev libbfio-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core fonts-liberation2 imagemagick librsvg2-bin
  wine64 time xvfb xdotool chromium openbox trayer
  systemd libglib2.0-bin
  dpkg-dev file desktop-file-utils
  libcurl4-openssl-dev libpugixml-dev libssl-dev libinih-dev openssl python3 python3-spyne
  libxxhash-dev
  gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 binutils nsis gcc-mingw-w64-i686
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
