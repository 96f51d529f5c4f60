#!/usr/bin/env bash
# Size and time of each PDF compression level on scanned documents (grey pages at 300 ppi, with
# the grain of paper), beside Ghostscript's pdfwrite at /ebook (150 ppi pictures) and /printer
# (300 ppi). Two scans: pages stored as JPEG, as most scanners do, and pages stored losslessly.
# Usage: bench/scanlevels.sh [build folder]    PAGES=10 changes the work.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
here=$(dirname "$(realpath "$0")")
pages=${PAGES:-10}
source "$here/need.sh"
need convert:imagemagick gs:ghostscript img2pdf:img2pdf pdfimages:poppler-utils /usr/bin/time:time
cmake --build "$build" --target bench_compress bench_scanpdf >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export LC_ALL=C QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir"

echo "scanning $pages pages at 300 ppi…"
python3 "$here/textpdf.py" "$pages" "$dir/text.pdf"
mkdir "$dir/pages"
"$build/bench_scanpdf" "$dir/text.pdf" 300 "$dir/pages" "$dir/unused.pdf"
for page in "$dir"/pages/*.png; do
  /usr/bin/convert "$page" -attenuate 0.4 +noise Gaussian -blur 0x0.5 -density 300 -units PixelsPerInch \
    -quality 85 "${page%.png}.jpg"
  /usr/bin/convert "$page" -attenuate 0.4 +noise Gaussian -blur 0x0.5 -density 300 -units PixelsPerInch \
    -define png:compression-level=9 "${page%.png}.grain.png"
done
img2pdf -o "$dir/jpeg scan.pdf" "$dir"/pages/*.jpg
img2pdf -o "$dir/lossless scan.pdf" "$dir"/pages/*.grain.png

# One row: label, output, command; prints seconds, size, share of the source and picture ppi.
row() {
  local label=$1 source=$2 out=$3
  shift 3
  /usr/bin/time -f '%e' -o "$dir/seconds" "$@" >/dev/null 2>"$dir/err" || { printf '%-22s failed: %s\n' "$label" "$(tail -1 "$dir/err")"; return; }
  local bytes ppi
  bytes=$(stat -c %s "$out")
  ppi=$(pdfimages -list "$out" 2>/dev/null | awk 'NR == 3 { print $13 }')
  printf '%-22s %7.2f s %12d bytes %6.1f %%  %5s ppi\n' "$label" "$(cat "$dir/seconds")" "$bytes" \
    "$(echo "100 * $bytes / $(stat -c %s "$source")" | bc -l)" "${ppi:-none}"
}

for scan in "jpeg scan" "lossless scan"; do
  src="$dir/$scan.pdf"
  printf '\n%s: %d pages, %d bytes, pictures at %s ppi\n' "$scan" "$pages" "$(stat -c %s "$src")" \
    "$(pdfimages -list "$src" | awk 'NR == 3 { print $13 }')"
  printf '%-22s %9s %18s %8s %9s\n' "" time size share pictures
  for level in high balanced small; do
    rm -f "$dir/$level.pdf"
    row "tolvane $level" "$src" "$dir/$level.pdf" "$build/bench_compress" pdf "$src" "$dir/$level.pdf" "$level"
  done
  for setting in ebook printer; do
    row "Ghostscript /$setting" "$src" "$dir/gs-$setting.pdf" gs -q -dNOPAUSE -dBATCH -dSAFER \
      -sDEVICE=pdfwrite "-dPDFSETTINGS=/$setting" -o "$dir/gs-$setting.pdf" "$src"
  done
done
