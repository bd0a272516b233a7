#!/usr/bin/env bash
# Builds the Debian packages of the station: imageadjust_<version>_amd64.deb
# (the programs, samples, manual pages and guide) and
# imageadjust-sim_<version>_amd64.deb (the simulated driver library). Needs
# help2man and dpkg-dev (scripts/setup.sh installs them).
#   scripts/package.sh [build-dir [cmake options...]]
# The build folder defaults to build-package/, built without the tests; given
# options replace those defaults (scripts/test.sh packages its own build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-package}
shift || true
(($#)) || set -- -DIMAGEADJUST_TESTS=OFF -DIMAGEADJUST_WERROR=OFF
"$here/scripts/build.sh" "$build" -DIMAGEADJUST_MANPAGES=ON "$@"
rm -f "$build"/imageadjust*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/imageadjust*_amd64.deb
