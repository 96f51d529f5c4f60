#!/usr/bin/env bash
# Start-up overhead of the command line: `tolvane --targets` over 50 files against `true`.
# Usage: bench/startup.sh [path/to/tolvane]
set -euo pipefail
bin=${1:-$(dirname "$0")/../build/tolvane}
bin=$(realpath "$bin")
command -v hyperfine >/dev/null || { echo "needs hyperfine (apt install hyperfine)" >&2; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for i in $(seq 1 50); do
  case $((i % 3)) in
    0) ext=jpg ;; 1) ext=png ;; 2) ext=heic ;;
  esac
  : > "$dir/photo $i.$ext"
done
export XDG_CONFIG_HOME="$dir/config"
cd "$dir"
hyperfine --warmup 3 --runs 40 -N \
  -n "true" "true" \
  -n "tolvane --targets (50 files)" "$bin --targets $(printf '%q ' "$dir"/*)"
