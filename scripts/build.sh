#!/usr/bin/env bash
# Configures and builds into one build folder, optimised with symbols unless
# the options say otherwise.
#   scripts/build.sh [build-dir] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
cmake -S "$here" -B "$build" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
