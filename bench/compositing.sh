#!/usr/bin/env bash
# The compositing tools against ImageMagick doing the same work from JPEG files to a PNG: a
# 2400-pixel grid collage of twelve 24-megapixel photographs against montage, and one framed
# 24-megapixel photograph (padding 600, corners 120, a soft shadow, gradient backdrop) against a
# rounded, shadowed, padded convert. Prints each command's median wall time and its peak memory,
# also as a multiple of one decoded photograph (6000 × 4000 × 4 bytes, 96 MB).
# Usage: bench/compositing.sh [build folder]    RUNS=3 sets the runs per command.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-3}
cmake --build "$build" --target bench_compositing >/dev/null

source "$(dirname "$0")/need.sh"
need convert-im6.q16:imagemagick montage-im6.q16:imagemagick ffmpeg:ffmpeg /usr/bin/time:time

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=offscreen
cd "$dir"
magick_room "$dir/policy"

echo "making twelve 6000 × 4000 photographs…"
for i in $(seq -w 1 12); do
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=6000x4000:r=1,hue=h=$((10#$i * 30)),noise=alls=12:allf=t" \
    -frames:v 1 -q:v 3 "photo$i.jpg"
done

# measure TITLE COMMAND…: the median seconds and the largest peak resident memory of RUNS runs.
measure() {
  local title=$1 secs=() peak=0 out
  shift
  for _ in $(seq "$runs"); do
    rm -f ./*" Collage"*.png ./*" With Background"*.png ref*.png
    /usr/bin/time -o usage -f "%e %M" "$@" >/dev/null
    out=$(tail -1 usage)
    secs+=("${out% *}")
    ((${out#* } > peak)) && peak=${out#* }
  done
  python3 -c "import statistics,sys; s=[float(x) for x in sys.argv[3:]]; kb=int(sys.argv[2]);
print(f'{sys.argv[1]}: {statistics.median(s):.2f}s, peak {kb/1024:.0f} MB ({kb*1024/96e6:.2f} decoded photographs)')" \
    "$title" "$peak" "${secs[@]}"
}

im=$(command -v convert-im6.q16)
photos=(photo*.jpg)
measure "tolvane collage of 12" "$build/bench_compositing" collage "${photos[@]}"
measure "montage of 12" montage-im6.q16 "${photos[@]}" -tile 4x3 -geometry 582x582^+9+9 -gravity center \
  -extent 582x582 -background white ref.png
measure "tolvane frame" "$build/bench_compositing" frame photo01.jpg
measure "convert frame" "$im" photo01.jpg \
  \( -size 6000x4000 xc:none -fill white -draw "roundrectangle 0,0,5999,3999,120,120" \) -compose DstIn -composite \
  \( +clone -background black -shadow 33x75+0-53 \) +swap -background "rgb(255,201,60)" -compose Over -layers merge \
  +repage -gravity center -extent 7200x5200 ref.png
