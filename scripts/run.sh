#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station on the simulated
# camera: the station window where a display is present, the headless line
# run otherwise. Arguments go to the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
# A user's build: a warning of a newer compiler must not stop it.
"$here/scripts/build.sh" "$here/build" -DIMAGEADJUST_WERROR=OFF
# The station reads STD.DAT from its working directory: the build's bin/
# holds the sample one.
cd "$here/build/bin"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec ./imageadjust "$@"
elif [[ -x ./imageadjust-line ]]; then
  # Without arguments, a short demo: the CCD flash-up on a good unit, with
  # its result file.
  (($#)) || set -- --items ccd-flashup --save
  exec ./imageadjust-line "$@"
else
  echo "No display: start the station under a display, e.g. xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
