#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ (clang's libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer) and fuzzes each for a
# bounded time, one after the other, merging the inputs that reach new code
# into its corpus in fuzz/corpus/<target>/. Stops at the first fault, with
# the input that shows it in build-fuzz/fuzz/artifacts/.
#   scripts/fuzz.sh [seconds per target, default 60] [target...]
#   targets: std_file raw_picture defect_table link unit_profile (default all)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(std_file raw_picture defect_table link unit_profile)

"$here/scripts/setup.sh"
CC=clang CXX=clang++ "$here/scripts/build.sh" "$here/build-fuzz" -DIMAGEADJUST_FUZZ=ON
bin=$here/build-fuzz/bin
artifacts=$here/build-fuzz/fuzz/artifacts
mkdir -p "$artifacts"

for t in "${targets[@]}"; do
  # Longest input worth trying: STD.DAT is refused past 1000 bytes; a
  # picture's head and first rows; a table of 390 entries.
  case $t in
    std_file) max_len=1100 ;;
    raw_picture) max_len=16384 ;;
    *) max_len=4096 ;;
  esac
  corpus=$here/fuzz/corpus/$t
  found=$(mktemp -d)
  echo "== $t: $seconds s"
  "$bin/fuzz_$t" "$found" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -timeout=30 \
    -artifact_prefix="$artifacts/$t-" -print_final_stats=1
  # Only the inputs that reach new code (edges, not hit counts) join the
  # committed corpus, which so stays small.
  "$bin/fuzz_$t" -merge=1 -use_counters=0 "$corpus" "$found" 2>&1 | grep -E "MERGE-OUTER: [0-9]+ new files" || true
  rm -rf "$found"
done
