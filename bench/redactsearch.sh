#!/usr/bin/env bash
# Find Text and Find Faces of the Redact Photo window at full resolution on made-up photos of
# 6, 24 and 48 megapixels, and Find Text on light writing on a dark gradient: boxes found, wall
# and processor time and the peak memory each search added.
# Usage: bench/redactsearch.sh [build folder]
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
cmake --build "$build" --target bench_redactsearch >/dev/null
export QT_QPA_PLATFORM=offscreen OMP_WAIT_POLICY=passive
for size in "3000 2000" "6000 4000" "8000 6000"; do
  for what in text faces; do
    # shellcheck disable=SC2086
    "$build/bench_redactsearch" "$what" $size
  done
  # shellcheck disable=SC2086
  "$build/bench_redactsearch" text $size dark
done
