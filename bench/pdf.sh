#!/usr/bin/env bash
# A 100-page text PDF converted by `tolvane --convert` side by side with Poppler's own tools:
# to txt against pdftotext, and to png at 150 dpi against pdftoppm run as one process and as one
# process per core on page ranges. Prints the median wall time of each and tolvane's time as a
# multiple of each other's (goal for png: at or under the parallel pdftoppm).
# Installs poppler-utils when missing (for this benchmark only).
# Usage: bench/pdf.sh [build folder]    RUNS=3 sets the runs per command.
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-3}
cmake --build "$build" --target tolvane >/dev/null

if ! command -v pdftoppm >/dev/null; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends poppler-utils >/dev/null
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
mkdir -p "$XDG_CONFIG_HOME/Tolvane"
printf '[General]\npdfDPI=150\n' >"$XDG_CONFIG_HOME/Tolvane/Tolvane.conf"
cd "$dir"

python3 "$here/textpdf.py" 100 document.pdf

# pdftoppm once per core, each on its own range of pages, all at once.
cat >pdftoppm-parallel <<'SH'
#!/usr/bin/env bash
n=$(nproc) pages=100
per=$(((pages + n - 1) / n))
for ((first = 1; first <= pages; first += per)); do
  pdftoppm -png -r 150 -f "$first" -l $((first + per - 1 > pages ? pages : first + per - 1)) document.pdf pages/page &
done
wait
SH
chmod +x pdftoppm-parallel

# Runs each command of a case in turn, `runs` rounds, so a busy machine slows them alike;
# outputs are removed before every run. Prints the medians and tolvane's time over each other's.
compare() {
  python3 - "$runs" "$@" <<'PY'
import glob, os, shutil, statistics, subprocess, sys, time
runs, args = int(sys.argv[1]), sys.argv[2:]
title, commands = args[0], [c.split("\x1f") for c in args[1:]]
times = [[] for _ in commands]
def clean():
    for f in glob.glob("document*.txt") + glob.glob("ref*"):
        os.remove(f)
    for d in glob.glob("document*/") + glob.glob("pages/"):
        shutil.rmtree(d)
    os.makedirs("pages")
for _ in range(runs):
    for i, cmd in enumerate(commands):
        clean()
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        times[i].append(time.perf_counter() - start)
medians = [statistics.median(t) for t in times]
names = [os.path.basename(c[0]) for c in commands]
parts = [f"{n} {m:.2f}s" for n, m in zip(names, medians)]
ratios = [f"×{medians[0] / m:.2f} of {n}" for n, m in zip(names[1:], medians[1:])]
print(f"{title}: " + ", ".join(parts) + " — tolvane takes " + ", ".join(ratios))
PY
}
S=$'\x1f'
echo "$(nproc) cores, $runs runs each"
compare "100-page pdf → txt" "$build/tolvane${S}--convert${S}txt${S}document.pdf" \
  "pdftotext${S}document.pdf${S}ref.txt"
compare "100-page pdf → png at 150 dpi" "$build/tolvane${S}--convert${S}png${S}document.pdf" \
  "pdftoppm${S}-png${S}-r${S}150${S}document.pdf${S}pages/page" "./pdftoppm-parallel"
