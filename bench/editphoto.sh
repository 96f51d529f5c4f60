#!/usr/bin/env bash
# The Edit Photo save of a 24-megapixel JPEG photograph (with camera Exif) with every
# adjustment moved, against ImageMagick's convert applying brightness, contrast, saturation and
# sharpening to the same file at the same JPEG quality. Prints the median wall time of each with
# the ratio, then the peak memory of one run of each (ours also as a multiple of the decoded
# picture). Installs ImageMagick, exiv2 and ffmpeg when they are missing.
# Usage: bench/editphoto.sh [build folder]    RUNS=5 sets the runs per command.
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-5}
cmake --build "$build" --target bench_editphoto >/dev/null

source "$here/need.sh"
need convert-im6.q16:imagemagick exiv2:exiv2 ffmpeg:ffmpeg

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
cd "$dir"

echo "making a 6000 × 4000 photograph…"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=6000x4000,noise=alls=12:allf=t" -frames:v 1 -q:v 3 photo.jpg
exiv2 -q -M"set Exif.Image.Make Tolvane Optics" -M"set Exif.Image.Model T-24" -M"set Exif.Image.Orientation 1" \
  -M"set Exif.GPSInfo.GPSLatitude 59/1 54/1 0/1" -M"set Exif.GPSInfo.GPSLatitudeRef N" photo.jpg

im=$(command -v convert-im6.q16)
# Our save writes JPEG at the default image quality, 0.88.
imargs=(photo.jpg -brightness-contrast 10x20 -modulate 100,120 -unsharp 0x1.5+0.6 -quality 88 ref.jpg)
S=$'\x1f'
python3 "$here/compare.py" "$runs" "photo?Edited*.jpg ref.jpg" "edit 24 MP photo, every adjustment" \
  "$build/bench_editphoto${S}photo.jpg" "$(IFS=$S; echo "$im$S${imargs[*]}")"

rm -f photo\ Edited*.jpg ref.jpg
echo "ours:        $("$build/bench_editphoto" photo.jpg)"
/usr/bin/time -f "ImageMagick: peak %M KB, %e s" "$im" "${imargs[@]}"
/usr/bin/time -f "ours:        peak %M KB, %e s (the whole process)" "$build/bench_editphoto" photo.jpg >/dev/null
