#!/usr/bin/env bash
# Installs the Debian packages that the station needs, when they are missing.
# Run as root (or with sudo available).
#   scripts/setup.sh        what building, testing and packaging need
#   scripts/setup.sh run    only what building and running the station need
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins
  libsqlite3-dev libpq-dev nlohmann-json3-dev
  fonts-ipafont-gothic
)
if [[ "${1:-}" != run ]]; then
  packages+=(
    libgtest-dev libgmock-dev googletest
    libbenchmark-dev
    xvfb xauth xdotool libx11-dev
    libtiff-tools
    postgresql python3-jsonschema
    # the layer check of the includes (scripts/check_layers.py)
    python3
    # the manual pages, the package, and its check
    help2man dpkg-dev man-db
    # the fuzz build (scripts/fuzz.sh; the corpus replay of scripts/test.sh)
    clang libclang-rt-14-dev
  )
fi

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
