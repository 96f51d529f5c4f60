#!/usr/bin/env bash
# Opening a video window's model on a 60 s 1080p clip: the time to the first picture and to the
# filled thumbnail strip. Usage: bench/videoopen.sh    ROUNDS=N (default 5) openings.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
build=${BUILD:-$root/build}
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 1; }
cmake --build "$build" --parallel 4 --target bench_videoopen >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
"$build/bench_videoopen" "$dir"
