#!/usr/bin/env bash
# One entry point for people and CI.
#   scripts/dev.sh run    install what is missing, build, start Tolvane
#   scripts/dev.sh test   install what is missing, check layers and format, build, run every test
#   scripts/dev.sh build  build only
set -euo pipefail
cd "$(dirname "$0")/.."

cmd=${1:-run}
shift || true
build=${TOLVANE_BUILD_DIR:-build}

configure_and_build() {
  export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/tolvane-ccache}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --parallel "$(nproc)"
}

case "$cmd" in
  run)
    bash scripts/deps.sh run
    configure_and_build
    exec "$build/tolvane" "$@"
    ;;
  test)
    bash scripts/deps.sh test
    bash scripts/check-layers.sh
    bash scripts/check-format.sh
    configure_and_build
    cd "$build"
    ctest --output-on-failure --parallel "$(nproc)" "$@"
    ;;
  build)
    configure_and_build
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|build" >&2
    exit 2
    ;;
esac
