#!/usr/bin/env bash
# Peak memory and time of `tolvane --tool createPDF` over many large photos. Pages are written one
# picture at a time, so the peak stays near one decoded picture however many there are; holding
# them all would need count × width × height × 4 bytes.
# Usage: bench/createpdf.sh [path/to/tolvane]    COUNT=12 SIZE=6000x4000 set the pictures.
set -euo pipefail
bin=$(realpath "${1:-$(dirname "$0")/../build/tolvane}")
count=${COUNT:-12}
size=${SIZE:-6000x4000}
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
echo "making $count photos of $size…"
files=()
for i in $(seq -w 1 "$count"); do
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=$size" -frames:v 1 -q:v 3 "$dir/photo$i.jpg"
  files+=("$dir/photo$i.jpg")
done

/usr/bin/time -f '%e %M' -o "$dir/usage" "$bin" --tool createPDF "${files[@]}" >/dev/null
read -r seconds kilobytes <"$dir/usage"
w=${size%x*} h=${size#*x}
all=$((count * w * h * 4 / 1048576))
echo "createPDF of $count photos: ${seconds} s, peak $((kilobytes / 1024)) MB (all decoded at once: $all MB)"
