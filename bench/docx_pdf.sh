#!/usr/bin/env bash
# Office documents to PDF beside LibreOffice alone: a 50-page DOCX (headings, styled paragraphs,
# lists and tables, written by Tolvane's own DOCX writer) and a PPTX that LibreOffice saves from
# one of its presentation templates. `tolvane --convert pdf` (its own private profile, prepared
# once per LibreOffice build, copied for each document) against `soffice --convert-to pdf` at its
# fair best: each run on a profile of its own that LibreOffice has already set up once. The
# commands alternate round by round; medians and ratios are printed. A busy machine widens the
# spread: read the ratios, not single times.
# Usage: bench/docx_pdf.sh [build folder]    RUNS=7 sets the rounds.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${RUNS:-7}
cmake --build "$build" --target tolvane >/dev/null
command -v soffice >/dev/null || { echo "soffice is missing: sudo apt install libreoffice-writer-nogui"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" QT_QPA_PLATFORM=offscreen
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
template=$(find /usr/lib/libreoffice/share/template -name '*.otp' | sort | head -1)
cp "$template" deck.otp
soffice --headless --norestore --nologo --nolockcheck "-env:UserInstallation=file://$dir/setup" \
  --convert-to "pptx:Impress MS PowerPoint 2007 XML" deck.otp >/dev/null 2>&1
rm deck.otp

python3 - "$runs" "$build/tolvane" "$dir" <<'PY'
import os, re, shutil, statistics, subprocess, sys, time
runs, tolvane, folder = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def pages(path):
    return len(re.findall(rb"/Type\s*/Page\b(?!s)", open(path, "rb").read()))
def soffice(profile, out, doc):
    return ["soffice", "--headless", "--norestore", "--nologo", "--nolockcheck", f"-env:UserInstallation=file://{profile}",
            "--convert-to", "pdf", "--outdir", out, doc]
# The peer's profile, set up once by a first conversion; each timed run gets its own copy.
ready = f"{folder}/ready-profile"
subprocess.run(soffice(ready, f"{folder}/first", f"{folder}/doc.docx"), check=True, capture_output=True)
for doc in ("doc.docx", "deck.pptx"):
    path = f"{folder}/{doc}"
    base = doc.rsplit(".", 1)[0]
    # Tolvane's first run prepares its profile; it isn't timed.
    subprocess.run([tolvane, "--convert", "pdf", path], check=True, capture_output=True)
    os.remove(f"{folder}/{base}.pdf")
    times = {"tolvane": [], "soffice": []}
    ours = theirs = 0
    for i in range(runs):
        profile = f"{folder}/peer-{base}-{i}"
        shutil.copytree(ready, profile)
        for name in (("tolvane", "soffice") if i % 2 == 0 else ("soffice", "tolvane")):
            command = [tolvane, "--convert", "pdf", path] if name == "tolvane" else \
                soffice(profile, f"{folder}/out-{base}-{i}", path)
            start = time.perf_counter()
            subprocess.run(command, check=True, capture_output=True)
            times[name].append(time.perf_counter() - start)
            if name == "tolvane":
                ours = pages(f"{folder}/{base}.pdf")
                os.remove(f"{folder}/{base}.pdf")
            else:
                theirs = pages(f"{folder}/out-{base}-{i}/{base}.pdf")
    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"{doc} ({os.path.getsize(path) // 1024} KB): tolvane {median['tolvane']:.3f}s ({ours} pages), "
          f"soffice {median['soffice']:.3f}s ({theirs} pages), ratio {median['tolvane'] / median['soffice']:.2f}")
PY
