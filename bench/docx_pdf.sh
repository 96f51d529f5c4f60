#!/usr/bin/env bash
# A 50-page DOCX (headings, styled paragraphs, lists and tables, written by Tolvane's own DOCX
# writer) to PDF: `tolvane --convert pdf` (LibreOffice reads the document, Tolvane lays out and
# writes the pages) against LibreOffice converting it alone, `soffice --convert-to pdf`, once
# with a profile it has used before and once with a fresh one (Tolvane always starts LibreOffice
# with a fresh private profile). Runs the commands alternately and prints medians and ratios.
# Usage: bench/docx_pdf.sh [build folder]    RUNS=5 sets the runs per command.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-5}
cmake --build "$build" --target tolvane >/dev/null
command -v soffice >/dev/null || { echo "soffice is missing: sudo apt install libreoffice-writer-nogui"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=offscreen
cd "$dir"

python3 - <<'PY'
parts = []
for n in range(1, 43):
    parts.append(f"# Chapter {n}\n\n")
    for p in range(6):
        parts.append(f"Paragraph {p} of chapter {n}: " + "The quick brown fox jumps over the lazy dog, and *then* "
                     "some **more** words follow to fill the line. " * 4 + "\n\n")
    parts.append("- first point\n- second point\n- third point\n\n| Name | Value |\n|---|---|\n| a | 1 |\n| b | 2 |\n\n")
open("doc.md", "w").write("".join(parts))
PY
"$build/tolvane" --convert docx doc.md >/dev/null

python3 - "$runs" "$build/tolvane" "$dir" <<'PY'
import os, re, shutil, statistics, subprocess, sys, time
runs, tolvane, folder = int(sys.argv[1]), sys.argv[2], sys.argv[3]
doc = f"{folder}/doc.docx"
def pages(path):
    return len(re.findall(rb"/Type\s*/Page\b(?!s)", open(path, "rb").read()))
def soffice(profile, out):
    return ["soffice", "--headless", "--norestore", "--nologo", "--nolockcheck", f"-env:UserInstallation=file://{profile}",
            "--convert-to", "pdf", "--outdir", out, doc]
warm = f"{folder}/warm-profile"
subprocess.run(soffice(warm, f"{folder}/first"), check=True, capture_output=True)
print(f"input: doc.docx, {os.path.getsize(doc) // 1024} KB, {pages(f'{folder}/first/doc.pdf')} pages as LibreOffice lays it out")
commands = {
    "tolvane": lambda i: [tolvane, "--convert", "pdf", doc],
    "soffice (used profile)": lambda i: soffice(warm, f"{folder}/warm{i}"),
    "soffice (fresh profile)": lambda i: soffice(f"{folder}/fresh{i}", f"{folder}/fresh-out{i}"),
}
times = {name: [] for name in commands}
for i in range(runs):
    for name, command in commands.items():
        start = time.perf_counter()
        subprocess.run(command(i), check=True, capture_output=True)
        times[name].append(time.perf_counter() - start)
        if name == "tolvane":
            ours = pages(f"{folder}/doc.pdf")
            os.remove(f"{folder}/doc.pdf")
median = {name: statistics.median(t) for name, t in times.items()}
print(f"tolvane: {ours} pages")
for name, t in median.items():
    print(f"{name}: {t:.2f}s")
print(f"ratio tolvane / soffice (used profile): {median['tolvane'] / median['soffice (used profile)']:.2f}")
print(f"ratio tolvane / soffice (fresh profile): {median['tolvane'] / median['soffice (fresh profile)']:.2f}")
PY
