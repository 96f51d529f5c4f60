#!/usr/bin/env bash
# Many files in one `tolvane --convert` call against `xargs -P$(nproc) ffmpeg` with the same
# arguments: 50 two-second wav files to mp3. Prints both wall times and their ratio.
# Usage: bench/batch.sh [path/to/tolvane]    RUNS=3 sets the runs per command, FILES=50 the files.
set -euo pipefail
bin=${1:-$(dirname "$0")/../build/tolvane}
bin=$(realpath "$bin")
runs=${RUNS:-3}
files=${FILES:-50}
for tool in ffmpeg python3 xargs; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
mkdir "$dir/in"
ffmpeg -v error -nostdin -y -f lavfi -i sine=f=440:d=2 "$dir/in/tone.wav"
for i in $(seq 1 "$files"); do cp "$dir/in/tone.wav" "$dir/in/tone$i.wav"; done
rm "$dir/in/tone.wav"

# The runner's fixed prefix and the arguments the conversion builds for mp3.
ffmpeg_one="ffmpeg -hide_banner -nostdin -y -loglevel error -progress pipe:1 -nostats \
  -i \"\$1\" -vn -map_metadata 0 -c:a libmp3lame -q:a 2 \"\${1%.wav}.ref.mp3\" >/dev/null"

python3 - "$runs" "$dir/in" "$bin" "$ffmpeg_one" "$(nproc)" <<'PY'
import glob, os, statistics, subprocess, sys, time
runs, folder, tolvane, one, cores = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
inputs = sorted(glob.glob(os.path.join(folder, "*.wav")))
commands = {
    "tolvane": [tolvane, "--convert", "mp3"] + inputs,
    "xargs": ["sh", "-c", f"printf '%s\\0' \"$@\" | xargs -0 -P{cores} -n1 sh -c '{one}' sh", "sh"] + inputs,
}
times = {name: [] for name in commands}
for _ in range(runs):
    for name, cmd in commands.items():
        for f in glob.glob(os.path.join(folder, "*.mp3")):
            os.remove(f)
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        times[name].append(time.perf_counter() - start)
        if len(glob.glob(os.path.join(folder, "*.mp3"))) != len(inputs):
            sys.exit(f"{name} did not write every file")
ours, theirs = (statistics.median(times[n]) for n in ("tolvane", "xargs"))
print(f"{len(inputs)} files: tolvane {ours:.3f}s, xargs -P{cores} ffmpeg {theirs:.3f}s, ratio {ours / theirs:.2f}")
PY
