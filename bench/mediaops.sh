#!/usr/bin/env bash
# The audio and video tool operations against ffmpeg alone running the same command lines:
# builds bench_mediaops and runs it in a scratch folder. Goal: each operation within 5 % or
# 150 ms of ffmpeg alone (the operation adds naming, probing, the input guard, the checks of
# what was written and the commit).
# Usage: bench/mediaops.sh [CASE-REGEX]    ROUNDS=N (default 5) runs of each side; the video cases
# work on an 8 s 720p clip, or FILM_SIZE=1920x1080 FILM_SECONDS=60 for a minute of 1080p.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
build=${BUILD:-$root/build}
command -v ffmpeg >/dev/null || { echo "needs ffmpeg" >&2; exit 1; }
cmake --build "$build" --parallel 4 --target bench_mediaops tolvane >/dev/null
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
"$build/bench_mediaops" "$dir" "${1:-.}"
