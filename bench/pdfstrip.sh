#!/usr/bin/env bash
# Time and peak memory of stripping a scanned book's metadata: PAGES pages, each a tagged
# 12-megapixel JPEG stored as it is (img2pdf), so every picture's tags are filtered out.
# Usage: bench/pdfstrip.sh [build folder]    PAGES=100 changes the work.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
here=$(dirname "$(realpath "$0")")
pages=${PAGES:-100}
source "$here/need.sh"
need /usr/bin/convert:imagemagick img2pdf:img2pdf exiftool:libimage-exiftool-perl /usr/bin/time:time
cmake --build "$build" --target bench_pdfstrip >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export LC_ALL=C
echo "making a $pages-page scan…"
/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$dir/page.jpg"
exiftool -q -overwrite_original -Artist=Someone -SerialNumber=1234 -GPSLatitude=48.85 -Comment=Private "$dir/page.jpg"
for i in $(seq "$pages"); do ln -s "$dir/page.jpg" "$dir/page$i.jpg"; done
img2pdf $(for i in $(seq "$pages"); do echo "$dir/page$i.jpg"; done) -o "$dir/scan.pdf"
/usr/bin/time -f '%e %M' -o "$dir/usage" "$build/bench_pdfstrip" "$dir/scan.pdf" "$dir/bare.pdf"
read -r seconds kilobytes <"$dir/usage"
printf 'strip %d pages (%d MB): %.2f s, %d MB peak\n' "$pages" $(($(stat -c %s "$dir/scan.pdf") / 1048576)) \
  "$seconds" $((kilobytes / 1024))
