#!/usr/bin/env bash
# Overhead of a media conversion through `tolvane --convert` against ffmpeg alone with the same
# arguments, on a 30-second 1080p clip, to webm and to mp3. Prints each ratio (target: under 1.05).
# Usage: bench/media.sh [path/to/tolvane]    RUNS=3 sets the runs per command.
set -euo pipefail
bin=${1:-$(dirname "$0")/../build/tolvane}
bin=$(realpath "$bin")
runs=${RUNS:-3}
for tool in ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
src="$dir/clip.mp4"
echo "making a 30 s 1080p clip…"
ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=30 -f lavfi -i sine=f=440:d=30 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$src"

# The runner's fixed prefix and the arguments the conversion builds for these two targets.
prefix=(-hide_banner -nostdin -y -loglevel error -progress pipe:1 -nostats)
webm_args=(-i "$src" -map 0:V:0 -map '0:a?' -vf 'scale=trunc(iw/2)*2:trunc(ih/2)*2'
  -c:v libvpx-vp9 -crf 32 -b:v 0 -row-mt 1 -deadline good -cpu-used 4 -pix_fmt yuv420p
  -c:a libopus -b:a 128k -map_metadata 0 "$dir/ref.webm")
mp3_args=(-i "$src" -vn -map_metadata 0 -c:a libmp3lame -q:a 2 "$dir/ref.mp3")

# Runs our command and ffmpeg's alternately, `runs` times each, so that a busy machine slows both
# alike; results are removed before each run. Prints both mean wall times and their ratio.
compare() {
  python3 - "$runs" "$dir" "$@" <<'PY'
import glob, os, subprocess, sys, time
runs, folder = int(sys.argv[1]), sys.argv[2]
split = sys.argv.index("--")
commands = [sys.argv[3:split], sys.argv[split + 1:]]
totals = [0.0, 0.0]
for _ in range(runs):
    for i, cmd in enumerate(commands):
        for f in glob.glob(os.path.join(folder, "clip*.webm")) + glob.glob(os.path.join(folder, "clip*.mp3")):
            os.remove(f)
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        totals[i] += time.perf_counter() - start
ours, theirs = (t / runs for t in totals)
print(f"tolvane {ours:.3f}s, ffmpeg {theirs:.3f}s, ratio {ours / theirs:.3f}")
PY
}

for target in mp3 webm; do
  if [ "$target" = webm ]; then args=("${webm_args[@]}"); else args=("${mp3_args[@]}"); fi
  echo "$target: $(compare "$bin" --convert "$target" "$src" -- ffmpeg "${prefix[@]}" "${args[@]}")"
done
