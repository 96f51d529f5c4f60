#!/usr/bin/env bash
# What the tray process keeps between windows: 20 cycles of Redact Photo and Find Text on a
# made-up 24 MP photo, the idle resident size after each, the growth per cycle and the goals.
# Usage: bench/trayidle.sh [build folder] [cycles]
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
cmake --build "$build" --target bench_trayidle >/dev/null
export QT_QPA_PLATFORM=offscreen OMP_WAIT_POLICY=passive
"$build/bench_trayidle" "${2:-20}"
