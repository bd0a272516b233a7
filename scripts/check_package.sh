#!/usr/bin/env bash
# The packages as a line PC gets them: unpacked into a scratch root, every
# declared dependency installed on this machine, nothing of the tests in
# them; then the installed programs from an empty folder with a home of
# their own: imageadjust-line --version and a short demo, and imageadjust
# under a virtual X server until its window is up.
#   scripts/check_package.sh build-dir
set -euo pipefail
build=$1
station_deb=$(ls "$build"/imageadjust_*_amd64.deb)
sim_deb=$(ls "$build"/imageadjust-sim_*_amd64.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

for deb in "$station_deb" "$sim_deb"; do
  echo "== $(basename "$deb")"
  dpkg-deb -f "$deb" Package Version Architecture Depends
  # Each dependency (the first of any alternatives) is a package this
  # machine has installed.
  dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*//; s/ //g' | grep -v '^imageadjust$' |
    while read -r p; do
      [[ -z $p ]] || dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" ||
        { echo "dependency $p of $(basename "$deb") is not installed" >&2; exit 1; }
    done
  dpkg-deb -x "$deb" "$root"
done
if for deb in "$station_deb" "$sim_deb"; do dpkg-deb -c "$deb"; done |
  grep -E "_tests|imageadjust_bench|fuzz_|LvxPlain|LvxCamera|gtest|benchmark"; then
  echo "the packages hold test or benchmark files" >&2
  exit 1
fi

bin=$root/usr/bin
work=$root/empty
mkdir -p "$work" "$root/home"
cd "$work"
export HOME=$root/home
unset IMAGEADJUST_STATION XDG_DATA_HOME
echo "== imageadjust-line --version"
"$bin/imageadjust-line" --version | tee "$root/version.txt"
grep -q "^driver library $root/usr/lib/\(.*/\)\?imageadjust/sim/libLvxStor.so$" "$root/version.txt" ||
  { echo "the installed line run would not load the installed simulated driver library" >&2; exit 1; }
echo "== imageadjust-line --items ccd-flashup --save (in an empty folder)"
"$bin/imageadjust-line" --items ccd-flashup --save | tee "$root/demo.txt"
grep -q "status: 終了！　☆☆　ＯＫ　☆☆" "$root/demo.txt" || { echo "the demo did not end OK" >&2; exit 1; }
ls "$HOME/.local/share/imageadjust"
[[ -z $(ls -A "$work") ]] || { echo "the demo wrote into the working folder" >&2; exit 1; }
man -l "$root"/usr/share/man/man1/imageadjust-line.1.gz >/dev/null

echo "== imageadjust under a virtual X server"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" & pid=$!
  for _ in $(seq 100); do
    if title=$(xdotool search --name "W0073 ImageAdjust" getwindowname 2>/dev/null); then
      echo "window: $title"; kill $pid; wait $pid 2>/dev/null; exit 0
    fi
    sleep 0.2
  done
  kill $pid 2>/dev/null; echo "no station window" >&2; exit 1' _ "$bin/imageadjust"
