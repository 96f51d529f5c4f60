#!/usr/bin/env bash
# Time, peak memory and size of the Compress tool's engines against ImageMagick and Ghostscript
# doing comparable work: a 24-megapixel JPEG brought under a target size (ImageMagick's
# jpeg:extent searches the quality the same way), and a 100-page PDF of page pictures at every
# level (Ghostscript's pdfwrite with /ebook and /screen downsamples like the smaller levels).
# Usage: bench/compress.sh [build folder]    TARGET_KB=1000 PAGES=100 change the work.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
here=$(dirname "$(realpath "$0")")
target=${TARGET_KB:-1000}
pages=${PAGES:-100}
source "$here/need.sh"
need convert:imagemagick gs:ghostscript /usr/bin/time:time ffmpeg:ffmpeg
cmake --build "$build" --target bench_compress tolvane >/dev/null
bench="$build/bench_compress"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" LC_ALL=C QT_QPA_PLATFORM=offscreen

# One run: label, then the command; prints seconds, peak memory and the output's size.
measure() {
  local label=$1 out=$2
  shift 2
  /usr/bin/time -f '%e %M' -o "$dir/usage" "$@" >/dev/null 2>"$dir/err" || { echo "$label: failed: $(tail -1 "$dir/err")"; return; }
  read -r seconds kilobytes <"$dir/usage"
  printf '%-34s %7.2f s  %6d MB peak  %9d bytes\n' "$label" "$seconds" $((kilobytes / 1024)) "$(stat -c %s "$out")"
}

echo "making a 24-megapixel photo and a $pages-page PDF of page pictures…"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=6000x4000" -vf "noise=alls=12:allf=t" -frames:v 1 -q:v 2 "$dir/photo.jpg"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=1275x1650:r=25" -vf "noise=alls=6:allf=t" -frames:v "$pages" -q:v 2 "$dir/page%03d.jpg"
# 150 dpi in each picture's JFIF header, so that the pages are Letter-sized.
for page in "$dir"/page*.jpg; do printf '\x01\x00\x96\x00\x96' | dd of="$page" bs=1 seek=13 conv=notrunc status=none; done
"$build/tolvane" --tool createPDF "$dir"/page*.jpg >/dev/null
pdf=$(ls "$dir"/*.pdf | head -1)
printf 'photo %d bytes; PDF %d bytes\n\n' "$(stat -c %s "$dir/photo.jpg")" "$(stat -c %s "$pdf")"

echo "JPEG under ${target} KB:"
measure "tolvane (target size)" "$dir/t.jpg" "$bench" image "$dir/photo.jpg" "$dir/t.jpg" "$target"
measure "ImageMagick jpeg:extent" "$dir/m.jpg" convert "$dir/photo.jpg" -define "jpeg:extent=${target}kb" "$dir/m.jpg"
echo
echo "PDF of $pages pages:"
for level in high balanced small; do
  measure "tolvane $level" "$dir/$level.pdf" "$bench" pdf "$pdf" "$dir/$level.pdf" "$level"
done
for setting in ebook screen; do
  measure "Ghostscript /$setting" "$dir/gs-$setting.pdf" gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite \
    "-dPDFSETTINGS=/$setting" -o "$dir/gs-$setting.pdf" "$pdf"
done
