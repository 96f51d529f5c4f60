#!/usr/bin/env bash
# The PNG writer side by side: a 24-megapixel JPEG photograph (with camera Exif) to PNG through
# `tolvane --convert` against `vips copy`, and 20 PNG pictures to JPEG in one call. With a second
# build (today's main, say) both cases run it too, so that the new writer's time and file size
# show against the old ones and the PNG → JPEG road shows it hasn't slowed. Prints the medians of
# alternating rounds, the ratios, and the size of each PNG written.
# Installs vips, exiv2 and pngcheck when they are missing.
# Usage: bench/png.sh [build folder] [baseline build folder]    RUNS=5 sets the rounds.
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$here/../build}")
baseline=${2:+$(realpath "$2")}
runs=${RUNS:-5}
cmake --build "$build" --target tolvane >/dev/null

source "$here/need.sh"
need vips:libvips-tools exiv2:exiv2 ffmpeg:ffmpeg pngcheck:pngcheck

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
cd "$dir"
# Named apart, so that the report tells the two builds from each other.
ln -s "$build/tolvane" tolvane
[ -n "$baseline" ] && ln -s "$baseline/tolvane" tolvane-baseline

echo "making a 6000 × 4000 photograph and 20 pictures of 3000 × 2000…"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=6000x4000,noise=alls=12:allf=t" -frames:v 1 -q:v 3 photo.jpg
exiv2 -q -M"set Exif.Image.Make Tolvane Optics" -M"set Exif.Image.Model T-24" -M"set Exif.Image.Orientation 1" \
  -M"set Exif.Photo.DateTimeOriginal 2024:05:01 10:00:00" photo.jpg
mkdir shots
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=3000x2000:r=5,noise=alls=8:allf=t" -frames:v 20 shots/shot%02d.png

S=$'\x1f'
commands=("$dir/tolvane${S}--convert${S}png${S}photo.jpg" "vips${S}copy${S}photo.jpg${S}ref.png")
[ -n "$baseline" ] && commands+=("$dir/tolvane-baseline${S}--convert${S}png${S}photo.jpg")
python3 "$here/compare.py" "$runs" "photo*.png ref.png" "24 MP jpg → png" "${commands[@]}"

# Each writer's file once more, for its size; the last round left its file behind.
rm -f photo*.png ref.png
megabytes() { python3 -c "import os,sys; print(f'{os.path.getsize(sys.argv[1]) / 1e6:.3f} MB')" "$1"; }
./tolvane --convert png photo.jpg >/dev/null && sizes="tolvane $(megabytes photo.png)"
pngcheck -q photo.png || echo "pngcheck finds fault with tolvane's file" >&2
rm photo.png
vips copy photo.jpg ref.png && sizes+=", vips $(megabytes ref.png)" && rm ref.png
if [ -n "$baseline" ]; then
  ./tolvane-baseline --convert png photo.jpg >/dev/null && sizes+=", baseline $(megabytes photo.png)"
  rm photo.png
fi
echo "24 MP jpg → png sizes: $sizes"

if [ -n "$baseline" ]; then
  python3 "$here/compare.py" "$runs" "shots/*.jpg" "20 png → jpg" \
    "$dir/tolvane${S}--convert${S}jpg$(printf "${S}%s" shots/*.png)" \
    "$dir/tolvane-baseline${S}--convert${S}jpg$(printf "${S}%s" shots/*.png)"
else
  echo "20 png → jpg: give a baseline build to compare against"
fi
