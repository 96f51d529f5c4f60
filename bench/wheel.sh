#!/usr/bin/env bash
# The tray application's two costs, each on an Xvfb of its own:
#   - the time from tapping a wheel key during a file drag to the wheel on screen (bench_wheel);
#   - the CPU the running application takes while nothing happens, over 20 s.
# Usage: bench/wheel.sh [build-folder]   (default build/)
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
command -v Xvfb >/dev/null || { echo "needs Xvfb (apt install xvfb)" >&2; exit 1; }
export LC_ALL=C

cmake --build "$build" --target bench_wheel tolvane >/dev/null
"$build/bench_wheel" 2>/dev/null

dir=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
[ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
display=:$(head -n1 "$dir/display")

mkdir -p "$dir/config/Tolvane" "$dir/runtime"
chmod 700 "$dir/runtime"
printf '[General]\nonboarded=true\n' >"$dir/config/Tolvane/Tolvane.conf"
DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/runtime" \
  "$build/tolvane" 2>/dev/null &
app=$!
pids+=("$app")

# Fields 14 and 15 of /proc/PID/stat: user and system time in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
sleep 2
kill -0 "$app" 2>/dev/null || { echo "tolvane did not keep running" >&2; exit 1; }
start_ticks=$(ticks)
start_time=$(date +%s.%N)
sleep 20
end_ticks=$(ticks)
end_time=$(date +%s.%N)
awk -v t="$((end_ticks - start_ticks))" -v hz="$(getconf CLK_TCK)" -v s="$start_time" -v e="$end_time" \
  'BEGIN { printf "idle CPU of the tray application: %.3f %% of a core over %.1f s (target < 0.5 %%)\n", 100 * t / hz / (e - s), e - s }'
