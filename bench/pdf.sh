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

source "$here/need.sh"
need pdftoppm:poppler-utils

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

compare() { python3 "$here/compare.py" "$runs" "document*.txt ref* document*/" "$@"; }
S=$'\x1f'
echo "$(nproc) cores, $runs runs each"
compare "100-page pdf → txt" "$build/tolvane${S}--convert${S}txt${S}document.pdf" \
  "pdftotext${S}document.pdf${S}ref.txt"
compare "100-page pdf → png at 150 dpi" "$build/tolvane${S}--convert${S}png${S}document.pdf" \
  "pdftoppm${S}-png${S}-r${S}150${S}document.pdf${S}pages/page" "./pdftoppm-parallel"
