#!/usr/bin/env bash
# What building the tests costs: configures a fresh build folder, builds the program, its modules
# and the helper programs the tests start (through ccache, as usual), then builds everything left
# (the tests and their precompiled header) with ccache off and prints the wall time of that
# build, the number of test objects and the median and total seconds one took, read from
# ninja's log. Another checkout (an older commit's worktree) is measured by naming its source.
# Usage: bench/testbuild.sh [source folder] [fresh build folder]    JOBS=8 sets the parallel jobs.
set -euo pipefail
source_dir=$(realpath "${1:-$(dirname "$0")/..}")
build=$(realpath -m "${2:-$source_dir/build-testbench}")
jobs=${JOBS:-8}

rm -rf "$build"
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$jobs" --target tolvane dragsource droptarget xdndsource >/dev/null

start=$(date +%s.%N)
CCACHE_DISABLE=1 cmake --build "$build" --parallel "$jobs" >/dev/null
end=$(date +%s.%N)

python3 - "$build/.ninja_log" "$start" "$end" <<'PY'
import re, statistics, sys
log, start, end = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
# One line per output: start ms, end ms, mtime, output, hash; a later line for an output wins.
spans = {}
for line in open(log):
    fields = line.rstrip("\n").split("\t")
    if len(fields) == 5 and not line.startswith("#"):
        spans[fields[3]] = (int(fields[1]) - int(fields[0])) / 1000
groups = {"widget": [], "core and engine": []}
for out, s in spans.items():
    m = re.fullmatch(r"tests/CMakeFiles/(test_\w+)\.dir/(\w+)/.*\1\.cpp\.o", out)
    if m:
        groups["core and engine" if m[2] in ("core", "engines") else "widget"].append(s)
tests = sum(groups.values(), [])
pch = [s for out, s in spans.items() if out.endswith(".gch")]
print(f"test build wall time: {end - start:.1f} s")
if tests:
    print(f"test objects: {len(tests)}, median {statistics.median(tests):.2f} s, "
          f"total {sum(tests):.0f} s")
for name, spans_ in groups.items():
    if spans_:
        print(f"  {name} tests: {len(spans_)}, median {statistics.median(spans_):.2f} s")
for s in pch:
    print(f"precompiled header: {s:.2f} s")
PY
