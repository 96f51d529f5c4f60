#!/usr/bin/env bash
# Image conversions side by side with other programs doing the same work: a 24-megapixel JPEG
# photograph (with camera Exif) to PNG and to WebP through `tolvane --convert`, against
# ImageMagick's convert and vips; a 20-page PDF to PNG at 150 dpi through the page-image writer,
# against pdftoppm. Prints the median wall time of each and the ratios.
# Installs the programs it compares against (and exiv2 for the Exif) when they are missing.
# Usage: bench/image.sh [build folder]    RUNS=5 sets the runs per command.
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-5}
cmake --build "$build" --target tolvane bench_pageimages >/dev/null

source "$(dirname "$0")/need.sh"
need convert-im6.q16:imagemagick vips:libvips-tools pdftoppm:poppler-utils exiv2:exiv2 ffmpeg:ffmpeg

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
cd "$dir"

echo "making a 6000 × 4000 photograph and a 20-page PDF…"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=6000x4000,noise=alls=12:allf=t" -frames:v 1 -q:v 3 photo.jpg
exiv2 -q -M"set Exif.Image.Make Tolvane Optics" -M"set Exif.Image.Model T-24" -M"set Exif.Image.Orientation 1" \
  -M"set Exif.Photo.DateTimeOriginal 2024:05:01 10:00:00" -M"set Exif.GPSInfo.GPSLatitude 59/1 54/1 0/1" \
  -M"set Exif.GPSInfo.GPSLatitudeRef N" photo.jpg
python3 "$here/textpdf.py" 20 document.pdf

compare() { python3 "$here/compare.py" "$runs" "photo*.png photo*.webp ref* document*.png document*/" "$@"; }
S=$'\x1f'
im=$(command -v convert-im6.q16)
compare "jpg → png" "$build/tolvane${S}--convert${S}png${S}photo.jpg" "$im${S}photo.jpg${S}ref.png" \
  "vips${S}copy${S}photo.jpg${S}ref.png"
compare "jpg → webp (q 88)" "$build/tolvane${S}--convert${S}webp${S}photo.jpg" \
  "$im${S}photo.jpg${S}-quality${S}88${S}ref.webp" "vips${S}copy${S}photo.jpg${S}ref.webp[Q=88]"
compare "20-page pdf → png at 150 dpi" "$build/bench_pageimages${S}document.pdf${S}png${S}150" \
  "pdftoppm${S}-png${S}-r${S}150${S}document.pdf${S}pages/page"
