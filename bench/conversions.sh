#!/usr/bin/env bash
# Three conversions through `tolvane --convert` against the usual tools for the same job:
#   a zip of a 95 MB folder to tar.gz   against  bsdtar -cf - @folder.zip | pigz
#     (once more with the scratch folder on tmpfs: bsdtar never writes the files out, we unpack
#     them into the temporary directory, whose file system then decides much of the time)
#   a 100,000-row xlsx to csv           against  soffice --convert-to csv (warm profile)
#   a 10,000-cue srt to vtt             against  ffmpeg -i film.srt film.vtt
# Prints both median wall times and the ratio of each (goal: at or under 1). Installs bsdtar and
# pigz if missing (for this benchmark only).
# Usage: bench/conversions.sh [path/to/tolvane]    RUNS=5 sets the runs per command.
set -euo pipefail
bin=$(realpath "${1:-$(dirname "$0")/../build/tolvane}")
runs=${RUNS:-5}

source "$(dirname "$0")/need.sh"
need bsdtar:libarchive-tools pigz:pigz
for tool in python3 zip soffice ffmpeg; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"

echo "making the inputs…"
python3 - "$dir" <<'PY'
import os, random, sys, zipfile
folder = sys.argv[1]
rng = random.Random(7)

# 95 MB: logs and sources that compress well, photos that don't, and many small files.
root = os.path.join(folder, "src", "folder")
for i in range(480):
    d = os.path.join(root, "logs", f"day{i // 40:02}")
    os.makedirs(d, exist_ok=True)
    lines = [f"2024-05-{i % 28 + 1:02} 12:{j % 60:02}:{j * 7 % 60:02} INFO worker-{j % 16} handled request {rng.randrange(10**9)} in {rng.randrange(900)} ms\n" for j in range(1400)]
    open(os.path.join(d, f"app{i}.log"), "w").write("".join(lines))
for i in range(20):
    d = os.path.join(root, "photos")
    os.makedirs(d, exist_ok=True)
    open(os.path.join(d, f"IMG_{i:04}.jpg"), "wb").write(rng.randbytes(2 * 1024 * 1024))
for i in range(3000):
    d = os.path.join(root, "notes", f"n{i // 300}")
    os.makedirs(d, exist_ok=True)
    open(os.path.join(d, f"note{i}.txt"), "w").write(f"Note {i}\n" + "lorem ipsum dolor sit amet " * rng.randrange(20, 80))

# 100,000 rows of eight columns, strings shared as spreadsheet applications write them.
strings, index = [], {}
def shared(text):
    if text not in index:
        index[text] = len(strings)
        strings.append(text)
    return index[text]
def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;")
rows = []
for r in range(1, 100001):
    cells = [f'<c r="A{r}" t="s"><v>{shared(f"Customer {rng.randrange(5000)}")}</v></c>',
             f'<c r="B{r}" t="s"><v>{shared(rng.choice(["North", "South", "East", "West"]))}</v></c>',
             f'<c r="C{r}"><v>{rng.randrange(100000)}</v></c>',
             f'<c r="D{r}"><v>{rng.random() * 1000:.2f}</v></c>',
             f'<c r="E{r}"><v>{45000 + rng.randrange(1000)}</v></c>',
             f'<c r="F{r}" t="s"><v>{shared(f"SKU-{rng.randrange(20000):05}")}</v></c>',
             f'<c r="G{r}" t="b"><v>{rng.randrange(2)}</v></c>',
             f'<c r="H{r}" t="s"><v>{shared("note, with comma" if r % 10 == 0 else "ok")}</v></c>']
    rows.append(f'<row r="{r}">' + "".join(cells) + "</row>")
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
with zipfile.ZipFile(os.path.join(folder, "book.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
    z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr("xl/workbook.xml", f'<?xml version="1.0"?><workbook {ns}><sheets><sheet name="Sales" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr("xl/_rels/workbook.xml.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
    z.writestr("xl/sharedStrings.xml", f'<?xml version="1.0"?><sst {ns} count="{len(strings)}" uniqueCount="{len(strings)}">' + "".join(f"<si><t>{esc(s)}</t></si>" for s in strings) + "</sst>")
    z.writestr("xl/worksheets/sheet1.xml", f'<?xml version="1.0"?><worksheet {ns}><sheetData>' + "".join(rows) + "</sheetData></worksheet>")

# 10,000 cues, some with two lines and italics.
def stamp(ms):
    return f"{ms // 3600000:02}:{ms // 60000 % 60:02}:{ms // 1000 % 60:02},{ms % 1000:03}"
blocks = []
for i in range(10000):
    start = i * 3000 + rng.randrange(500)
    text = f"Line {i} of the film" + ("\n<i>and a second line</i>" if i % 3 == 0 else "")
    blocks.append(f"{i + 1}\n{stamp(start)} --> {stamp(start + 2200)}\n{text}\n")
open(os.path.join(folder, "film.srt"), "w").write("\n".join(blocks))
PY
(cd "$dir/src" && zip -qr "$dir/folder.zip" folder)
rm -rf "$dir/src"
echo "folder: $(unzip -l "$dir/folder.zip" | tail -1 | awk '{printf "%.0f MB in %d files", $1 / 1e6, $2}')"

# soffice gets a warm private profile, so that its start-up is not counted twice.
profile="file://$dir/profile"
soffice --headless "-env:UserInstallation=$profile" --terminate_after_init >/dev/null 2>&1 || true

# Runs each pair alternately, so that a busy machine slows both alike; results are removed before
# each run. Prints the medians and their ratio.
python3 - "$runs" "$bin" "$dir" "$profile" <<'PY'
import glob, os, statistics, subprocess, sys, time
runs, ours, folder, profile = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
f = lambda name: os.path.join(folder, name)
tmpfs = os.access("/dev/shm", os.W_OK)
zip_ref = ["sh", "-c", f'bsdtar -cf - @"{f("folder.zip")}" | pigz > "{f("ref.tar.gz")}"']
cases = [
    ("zip to tar.gz", [ours, "--convert", "gz", f("folder.zip")], zip_ref, "bsdtar | pigz"),
] + ([("zip to tar.gz, scratch on tmpfs", ["env", "TMPDIR=/dev/shm", ours, "--convert", "gz", f("folder.zip")],
       zip_ref, "bsdtar | pigz")] if tmpfs else []) + [
    ("xlsx to csv", [ours, "--convert", "csv", f("book.xlsx")],
     ["soffice", "--headless", f"-env:UserInstallation={profile}", "--convert-to", "csv", "--outdir", f("ref"), f("book.xlsx")],
     "soffice"),
    ("srt to vtt", [ours, "--convert", "vtt", f("film.srt")],
     ["ffmpeg", "-v", "error", "-nostdin", "-y", "-i", f("film.srt"), f("ref.vtt")], "ffmpeg"),
]
def clean():
    for pattern in ("folder*.tar.gz", "ref.tar.gz", "book*.csv", "ref/*", "film*.vtt", "ref.vtt"):
        for path in glob.glob(f(pattern)):
            os.remove(path)
for name, mine, theirs, label in cases:
    times = {"ours": [], "theirs": []}
    for _ in range(runs):
        for key, cmd in (("ours", mine), ("theirs", theirs)):
            clean()
            start = time.perf_counter()
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times[key].append(time.perf_counter() - start)
    a, b = statistics.median(times["ours"]), statistics.median(times["theirs"])
    print(f"{name}: tolvane {a:.3f}s, {label} {b:.3f}s, ratio {a / b:.3f}")
PY
