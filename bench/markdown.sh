#!/usr/bin/env bash
# Markdown to HTML on a 2 MB file: our converter against pandoc reading the same file as GitHub
# Markdown (the closest dialect: tables, task lists, strike). Prints both median wall times and
# the ratio (goal: below 1). Installs pandoc if missing (for this benchmark only).
# Usage: bench/markdown.sh [build dir]    RUNS=7 sets the runs per command.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-7}

source bench/need.sh
need pandoc:pandoc
cmake --build "$build" --target bench_markdown >/dev/null
bin=$(realpath "$build/bench_markdown")

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# A document of every construct both converters know, numbered so that no two blocks are alike.
python3 - "$dir/doc.md" <<'PY'
import sys
parts, n = [], 0
while sum(map(len, parts)) < 2 * 1024 * 1024:
    n += 1
    parts.append(f"""# Chapter {n}

Some *emphasis*, **strong text**, `code {n}`, ~~struck~~ and a [link](https://example.org/{n}?a=1&b=2).
A second line of the same paragraph with snake_case_words, 2 * 3 * 4 and an ![image](pic{n}.png "title").

## Section {n}.1

> A quoted line {n}
> > and a nested one with **bold**

- item one of {n}
- [x] done task
- [ ] open task with `code`
  continued here

1. first
2. second with *emphasis*

| Name | Value {n} |
|:-----|------:|
| a    | {n}   |
| b & c | **x** |

```
code line {n} <tag> & more
    indented line
```

---

""")
open(sys.argv[1], "w").write("".join(parts))
PY
echo "input: $(du -h "$dir/doc.md" | cut -f1)"

# Runs both commands alternately, so that a busy machine slows both alike; medians of `runs`.
python3 - "$runs" "$bin" "$dir" <<'PY'
import statistics, subprocess, sys, time
runs, ours, folder = int(sys.argv[1]), sys.argv[2], sys.argv[3]
commands = {
    "tolvane": [ours, f"{folder}/doc.md", f"{folder}/ours.html"],
    "pandoc": ["pandoc", "-f", "gfm", "-t", "html", "-o", f"{folder}/pandoc.html", f"{folder}/doc.md"],
}
times = {name: [] for name in commands}
for _ in range(runs):
    for name, cmd in commands.items():
        start = time.perf_counter()
        subprocess.run(cmd, check=True)
        times[name].append(time.perf_counter() - start)
ours_t, theirs = (statistics.median(times[k]) for k in ("tolvane", "pandoc"))
print(f"tolvane {ours_t:.3f}s, pandoc {theirs:.3f}s, ratio {ours_t / theirs:.3f}")
PY
