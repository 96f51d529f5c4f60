#!/usr/bin/env bash
# A 100-page text PDF converted by `tolvane --convert` side by side with Poppler's own tools:
# to txt against pdftotext, and to png at 150 dpi against pdftoppm run as one process and as one
# process per core on page ranges. Prints the median wall time of each and tolvane's time as a
# multiple of each other's (goal for png: at or under the parallel pdftoppm).
# Installs poppler-utils when missing (for this benchmark only).
# Usage: bench/pdf.sh [build folder]    RUNS=3 sets the runs per command.
set -euo pipefail
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

python3 - <<'PY'
# A hundred Letter pages of 44 lines in the standard Helvetica with a ruled box each.
pages = 100
lines = [f"Line {n}: the quick brown fox jumps over the lazy dog, again and again." for n in range(44)]
objects = [b"<< /Type /Catalog /Pages 2 0 R >>", None, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
kids = []
for page in range(pages):
    text = "".join(f"BT /F1 11 Tf 72 {715 - 15 * i} Td ({page + 1}.{l}) Tj ET\n" for i, l in enumerate(lines))
    stream = (f"0.2 0.4 0.8 RG 2 w 50 50 512 692 re S\n" + text).encode()
    objects.append(f"<< /Length {len(stream)} >>\nstream\n".encode() + stream + b"\nendstream")
    objects.append(f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents {len(objects)} 0 R "
                   f"/Resources << /Font << /F1 3 0 R >> >> >>".encode())
    kids.append(f"{len(objects)} 0 R")
objects[1] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>".encode()
out, offsets = bytearray(b"%PDF-1.4\n"), []
for i, o in enumerate(objects):
    offsets.append(len(out))
    out += f"{i + 1} 0 obj\n".encode() + o + b"\nendobj\n"
xref = len(out)
out += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
out += b"".join(f"{o:010d} 00000 n \n".encode() for o in offsets)
out += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
open("document.pdf", "wb").write(out)
PY

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
