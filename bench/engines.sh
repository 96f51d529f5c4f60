#!/usr/bin/env bash
# The engines' heavy cases side by side in one run, with medians:
#  - zip → tar.gz of a 95 MB folder of 800 files through `tolvane --convert gz`, against
#    `bsdtar -cf - @in.zip | pigz` (goal: within 1.2×);
#  - 100-megapixel JPEG → PNG: peak memory (max RSS from /usr/bin/time) and time, of this build
#    and, when BEFORE names another build folder, of that one;
#  - text recognition of a 20-page scanned PDF (text pages rendered to 200 dpi pictures and packed
#    into a PDF by tolvane's own writer) through `tolvane --convert txt`, against one `tesseract`
#    process per page picture, run side by side (`xargs -P$(nproc)`, OMP_THREAD_LIMIT=1).
# Installs what it compares against when missing (libarchive-tools, pigz, tesseract-ocr, time).
# Usage: bench/engines.sh [build folder]    RUNS=3 sets the runs; BEFORE=/path/to/another/build
# adds that build's tolvane to every case.
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-3}
cmake --build "$build" --target tolvane bench_scanpdf >/dev/null

source "$here/need.sh"
need bsdtar:libarchive-tools pigz:pigz tesseract:tesseract-ocr zip:zip ffmpeg:ffmpeg /usr/bin/time:time

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
mkdir -p "$XDG_CONFIG_HOME/Tolvane"
printf '[General]\npdfDPI=200\n' >"$XDG_CONFIG_HOME/Tolvane/Tolvane.conf"
cd "$dir"
S=$'\x1f'
echo "$(nproc) cores, $runs runs each"

echo "making a folder of 800 files (95 MB)…"
python3 - <<'PY'
import os, random
random.seed(7)
words = "the quick brown fox jumps over the lazy dog lorem ipsum dolor sit amet".split()
for i in range(800):
    folder = f"in/part{i % 16:02d}"
    os.makedirs(folder, exist_ok=True)
    size = 118_750
    if i % 4 == 0:  # pictures and the like: incompressible
        data = random.randbytes(size)
    else:
        data = " ".join(random.choice(words) for _ in range(size // 4)).encode()[:size]
    with open(f"{folder}/file{i:03d}.{'bin' if i % 4 == 0 else 'txt'}", "wb") as f:
        f.write(data)
PY
(cd in && zip -q -r ../in.zip .)
cat >bsdtar-pigz <<'SH'
#!/usr/bin/env bash
bsdtar -cf - @in.zip | pigz >ref.tar.gz
SH
chmod +x bsdtar-pigz
before=()
[ -n "${BEFORE:-}" ] && before=("$(realpath "$BEFORE")/tolvane")
python3 "$here/compare.py" "$runs" "in*.tar.gz ref.tar.gz" "zip → tar.gz, 800 files" \
  "$build/tolvane${S}--convert${S}gz${S}in.zip" "./bsdtar-pigz" ${before:+"${before[0]}${S}--convert${S}gz${S}in.zip"}

echo "making a 100-megapixel photograph…"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=s=12000x8400" -frames:v 1 -q:v 3 photo.jpg
peak() { # build folder → "median seconds, median peak MiB"
  for _ in $(seq "$runs"); do
    rm -f photo*.png
    /usr/bin/time -f '%e %M' -o usage "$1/tolvane" --convert png photo.jpg >/dev/null
    cat usage
  done | sort -n -k2 | awk '{ s[NR] = $1; m[NR] = $2 } END { i = int((NR + 1) / 2);
    printf "%.2f s, peak %d MiB\n", s[i], m[i] / 1024 }'
}
echo "100 MP jpg → png: $(peak "$build")"
[ -n "${BEFORE:-}" ] && echo "100 MP jpg → png with $BEFORE: $(peak "$(realpath "$BEFORE")")"

echo "making a 20-page scan…"
python3 "$here/textpdf.py" 20 text.pdf
mkdir scans
"$build/bench_scanpdf" text.pdf 200 scans scan.pdf
# Tesseract's own advice for several at once: one OpenMP thread each.
cat >tesseract-per-page <<'SH'
#!/usr/bin/env bash
cd scans && printf '%s\0' *.png | OMP_THREAD_LIMIT=1 xargs -0 -P"$(nproc)" -I{} tesseract {} ../pages/{} --psm 3 -l eng quiet
SH
chmod +x tesseract-per-page
python3 "$here/compare.py" "$runs" "scan*.txt" "ocr of a 20-page scan" \
  "$build/tolvane${S}--convert${S}txt${S}scan.pdf" "./tesseract-per-page" \
  ${before:+"${before[0]}${S}--convert${S}txt${S}scan.pdf"}
