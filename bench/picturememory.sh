#!/usr/bin/env bash
# Memory of pictures and pages converted several at a time: four copies of a one-page A0 PDF
# (written by qpdf, under 1 KB) to PNG at the default 300 dpi, and four 15000 × 15000 PNGs
# (an ImageMagick gradient, 8 bits per channel) to JPG, each by one `tolvane --convert` (which
# runs up to one file per core at once). Prints the peak resident memory as /usr/bin/time -v
# reports it and the wall time, and checks every result's size with identify. The goal: under
# 1.5 GB for the four A0 pages.
# Usage: bench/picturememory.sh [build folder]
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
source "$(dirname "$0")/need.sh"
need /usr/bin/time:time qpdf:qpdf convert:imagemagick identify:imagemagick
cmake --build "$build" --target tolvane tolvane_engines_heavy >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" LC_ALL=C.UTF-8
cd "$dir"

# An A0 page (2384 × 3370 points) of a few shapes; qpdf writes its cross-reference table.
content='0.2 0.3 0.8 rg 200 200 1984 2970 re f
1 1 1 rg 400 400 1584 2570 re f
0.9 0.1 0.1 RG 20 w 200 200 m 2184 3170 l S'
cat >raw.pdf <<PDF
%PDF-1.4
1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj
2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj
3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 2384 3370] /Contents 4 0 R /Resources << >> >> endobj
4 0 obj << /Length ${#content} >>
stream
$content
endstream
endobj
trailer << /Size 5 /Root 1 0 R >>
%%EOF
PDF
qpdf raw.pdf a0.pdf 2>/dev/null || [ $? -eq 3 ] # 3: written, with a warning about the missing table
magick_room "$dir/policy"
convert -size 1x15000 gradient:white-navy -sample '15000x15000!' -depth 8 big.png
for i in 1 2 3 4; do cp a0.pdf "a0-$i.pdf"; cp big.png "big-$i.png"; done
echo "inputs: A0 PDF $(stat -c %s a0.pdf) bytes ($(pdfinfo a0.pdf | sed -n 's/^Page size: *//p')), PNG $(file -b big.png | cut -d, -f2,3) $(($(stat -c %s big.png) / 1024)) KB"

# run FORMAT FILES…: one command over the files, then its figures and the results' sizes.
run() {
  local format=$1
  shift
  /usr/bin/time -v "$build/tolvane" --convert "$format" "$@" >out.txt 2>time.txt || { cat out.txt time.txt; exit 1; }
  local peak wall sizes
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
  sizes=$(for f in "$@"; do identify -ping -format '%wx%h ' "${f%.*}.$format"; done)
  printf '%-28s peak %5d MB  wall %s  results: %s\n' "4 × ${1%%-*} → $format" $((peak / 1000)) "$wall" "$sizes"
  for f in "$@"; do rm -f "${f%.*}.$format"; done
  echo "$peak" >peak.txt
}

run png a0-1.pdf a0-2.pdf a0-3.pdf a0-4.pdf
a0peak=$(cat peak.txt)
run jpg big-1.png big-2.png big-3.png big-4.png
echo "goal: four A0 pages under 1.5 GB:" "$([ "$a0peak" -lt 1500000 ] && echo met || echo NOT met)"
