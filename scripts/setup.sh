#!/usr/bin/env bash
# Installs the Debian packages that the station needs to build, run and test,
# when they are missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools
  libgtest-dev libgmock-dev googletest
  libbenchmark-dev
  fonts-ipafont-gothic
  xvfb xauth xdotool libx11-dev
  libtiff-tools
  pkg-config libsqlite3-dev libpq-dev nlohmann-json3-dev
  qt6-charts-dev libqt6opengl6-dev
  postgresql python3-jsonschema
)
# The fuzz build (scripts/fuzz.sh; the corpus replay of scripts/test.sh).
packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
