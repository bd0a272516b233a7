#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  also the AddressSanitizer + UndefinedBehaviorSanitizer build, in build-asan/
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"

run_suite() {
  local build=$1
  shift
  "$here/scripts/build.sh" "$build" "$@"
  # The GUI test wants a real X server: give the whole run one.
  if [[ -z "${DISPLAY:-}" ]] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
  else
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
  fi
}

run_suite "$here/build"
if [[ "${1:-}" == "--sanitize" ]]; then
  ASAN_OPTIONS=detect_leaks=0 run_suite "$here/build-asan" -DIMAGEADJUST_SANITIZE=ON
fi
