#!/usr/bin/env bash
# Tolvane beside the best peer of each road, one after another in one run: a 24 MP JPEG → PNG
# against `vips copy` and 20 PNG → JPG (bench/png.sh), DOCX → PDF and PPTX → PDF against
# `soffice --convert-to pdf` (bench/docx_pdf.sh), 5 s wav → mp3 and 50 wav → mp3 in one call
# against ffmpeg alone and `xargs -P ffmpeg` (bench/media.sh), and `--targets` against a bare Qt
# Core program, a 400-file zip → tar.gz against `bsdtar | pigz` and the tray's start
# (bench/faststart.sh). With a second build (the last release, say) the PNG cases run it too.
# Usage: bench/peers.sh [build folder] [baseline build folder]
set -euo pipefail
here=$(realpath "$(dirname "$0")")
build=$(realpath "${1:-$here/../build}")
baseline=${2:-}
echo "== pictures"
bash "$here/png.sh" "$build" ${baseline:+"$baseline"}
echo "== office documents"
bash "$here/docx_pdf.sh" "$build"
echo "== media"
CASES=${CASES:-'wav to mp3|copy|50'} bash "$here/media.sh" "$build/tolvane"
echo "== start-up and archives"
bash "$here/faststart.sh" "$build"
