#!/usr/bin/env bash
# Memory of office conversions whose document holds a huge part: a DOCX that LibreOffice saved
# from a small HTML page, with an extra part of 1000 MiB of zeros added by zip (the file stays
# about 1 MB), converted to PDF four at a time by one `tolvane --convert pdf` (which runs up to
# eight files at once). Prints Tolvane's own peak resident memory (VmHWM, sampled), the largest
# of any one process as /usr/bin/time -v reports it (LibreOffice's included), the peak of all
# the processes together, and the wall time; checks that every PDF holds the page's text. The
# goal: Tolvane's own peak under 600 MB.
# Usage: bench/officememory.sh [build folder]    COPIES=4 sets how many files convert at once.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
copies=${COPIES:-4}
source "$(dirname "$0")/need.sh"
need /usr/bin/time:time zip:zip pdftotext:poppler-utils
cmake --build "$build" --target tolvane >/dev/null
command -v soffice >/dev/null || { echo "soffice is missing: sudo apt install libreoffice-writer-nogui"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
cd "$dir"

printf '<html><body><h1>Quarterly note</h1><p>Seven plain words stand on this page.</p></body></html>' >page.html
soffice --headless --norestore --nologo --nolockcheck "-env:UserInstallation=file://$dir/setup" \
  --convert-to "docx:MS Word 2007 XML" page.html >/dev/null 2>&1
mkdir -p extra && truncate -s 1000M extra/zeros.bin
zip -q page.docx extra/zeros.bin
rm -rf extra
for i in $(seq 1 "$copies"); do cp page.docx "doc$i.docx"; done
echo "document: $(($(stat -c %s page.docx) / 1024)) KB, holding $(unzip -Z -t page.docx | sed 's/,.*//') and 1000 MiB of zeros"

# Prepares Tolvane's LibreOffice profile once, so that the measured run converts only.
"$build/tolvane" --convert pdf page.html >/dev/null
rm -f page.pdf

python3 - "$build/tolvane" "$copies" <<'PY'
import os, subprocess, sys, time
tolvane, copies = sys.argv[1], int(sys.argv[2])
docs = [f"doc{i}.docx" for i in range(1, copies + 1)]

def children():
    tree = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit(): continue
        try:
            stat = open(f"/proc/{pid}/stat").read()
            tree.setdefault(int(stat.rsplit(")", 1)[1].split()[1]), []).append(int(pid))
        except OSError:
            pass
    return tree

def status(pid, key):
    try:
        for line in open(f"/proc/{pid}/status"):
            if line.startswith(key): return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0

start = time.monotonic()
timed = subprocess.Popen(["/usr/bin/time", "-v", tolvane, "--convert", "pdf", *docs],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
own = together = 0
pid = None
while timed.poll() is None:
    tree = children()
    if pid is None and tree.get(timed.pid): pid = tree[timed.pid][0]
    if pid is not None:
        own = max(own, status(pid, "VmHWM:"))
        pending, total = [pid], 0
        while pending:
            p = pending.pop()
            total += status(p, "VmRSS:")
            pending += tree.get(p, [])
        together = max(together, total)
    time.sleep(0.02)
wall = time.monotonic() - start
report = timed.stderr.read()
largest = next(int(l.split(":")[1]) * 1024 for l in report.splitlines() if "Maximum resident" in l)
ok = 0
for doc in docs:
    pdf = doc.replace(".docx", ".pdf")
    if os.path.exists(pdf) and "Seven plain words" in subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True).stdout:
        ok += 1
mb = lambda b: f"{b / 1e6:.0f} MB"
print(f"{copies} at once: Tolvane's own peak {mb(own)}, largest process {mb(largest)} (time -v), "
      f"all processes together {mb(together)}, wall {wall:.1f}s, {ok}/{copies} PDFs hold the text, exit {timed.returncode}")
print("goal: Tolvane's own peak under 600 MB:", "met" if own < 600e6 else "NOT met")
PY
