#!/usr/bin/env bash
# Peak memory of a 15000 × 15000 PNG (an ImageMagick gradient, 8 bits per channel, under 1 MB)
# converted to HEIC and to AVIF by `tolvane --convert`, beside libheif's own heif-enc encoding the
# same file at the same quality (88 for HEIC, 80 for AVIF, the default image quality). Prints the
# peak resident memory /usr/bin/time -v reports, the wall time, the result's size read back by
# heif-info and the ratio to heif-enc's peak. The goal: at most 1.15 × heif-enc's peak.
# Usage: bench/heifmemory.sh [build folder]
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
source "$(dirname "$0")/need.sh"
need /usr/bin/time:time convert:imagemagick heif-enc:libheif-examples heif-info:libheif-examples
cmake --build "$build" --target tolvane tolvane_engines_heavy >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" LC_ALL=C.UTF-8
cd "$dir"
magick_room "$dir/policy"
convert -size 1x15000 gradient:white-navy -sample '15000x15000!' -depth 8 big.png
echo "input: PNG $(file -b big.png | cut -d, -f2,3) $(($(stat -c %s big.png) / 1024)) KB"

# measure NAME RESULT COMMAND…: runs it under /usr/bin/time and prints its figures; leaves the
# peak in kilobytes in peak.txt.
measure() {
  local name=$1 result=$2
  shift 2
  /usr/bin/time -v "$@" >out.txt 2>time.txt || { cat out.txt time.txt; exit 1; }
  local peak wall size
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
  size=$(heif-info "$result" | sed -n 's/^image: \([0-9x]*\).*primary.*/\1/p')
  printf '%-22s peak %5d MB  wall %8s  result %s\n' "$name" $((peak / 1000)) "$wall" "$size"
  rm -f "$result"
  echo "$peak" >peak.txt
}

met=yes
for format in heic avif; do
  quality=88 flag=()
  [ "$format" = avif ] && quality=80 flag=(-A)
  measure "heif-enc → $format" "ref.$format" heif-enc "${flag[@]}" -q "$quality" big.png -o "ref.$format"
  reference=$(cat peak.txt)
  measure "tolvane → $format" "big.$format" "$build/tolvane" --convert "$format" big.png
  ours=$(cat peak.txt)
  ratio=$(awk -v a="$ours" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')
  echo "  $format: $ratio × heif-enc's peak"
  awk -v r="$ratio" 'BEGIN { exit !(r <= 1.15) }' || met=no
done
echo "goal: at most 1.15 × heif-enc's peak: $([ $met = yes ] && echo met || echo NOT met)"
