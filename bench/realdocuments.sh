#!/usr/bin/env bash
# Every template LibreOffice installs through `tolvane --convert`: text templates copied as ODT
# (to txt and pdf), spreadsheet templates copied as ODS (to csv and pdf), and the DOCX, XLSX and
# PPTX files LibreOffice saves from them (DOCX to txt and pdf, XLSX to csv and pdf, PPTX to pdf).
# Prints how many of each converted and the wall time of each batch; lists every failure and
# exits 1 when there is one. The test suite converts one template of each kind.
# Usage: bench/realdocuments.sh [build folder] [template folder]
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
templates=${2:-/usr/lib/libreoffice/share/template}
cmake --build "$build" --target tolvane >/dev/null
command -v soffice >/dev/null || { echo "soffice is missing: sudo apt install libreoffice-writer-nogui"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
mkdir -p "$dir"/{odt,ods,docx,xlsx,pptx}

# Copies under a name made of the template's path, so that names never meet.
copy() { # extension-of-template new-extension folder
  find "$templates" -name "*.$1" -print0 | while IFS= read -r -d '' t; do
    name=${t#"$templates"/}
    name=${name//\//-}
    cp "$t" "$dir/$3/${name%.*}.$2"
  done
}
copy ott odt odt
copy odt odt odt
copy ots ods ods
copy otp otp pptx

save() { # filter folder sources…
  local filter=$1 out=$2
  shift 2
  soffice --headless --norestore --nologo --nolockcheck "-env:UserInstallation=file://$dir/profile" \
    --convert-to "$filter" --outdir "$out" "$@" >/dev/null 2>&1
}
save "docx:MS Word 2007 XML" "$dir/docx" "$dir"/odt/*.odt
save "xlsx:Calc MS Excel 2007 XML" "$dir/xlsx" "$dir"/ods/*.ods
save "pptx:Impress MS PowerPoint 2007 XML" "$dir/pptx" "$dir"/pptx/*.otp
rm -f "$dir"/pptx/*.otp

failed=0
batch() { # target files…
  local target=$1 start end log=$dir/log
  shift
  start=$(date +%s%N)
  "$build/tolvane" --convert "$target" "$@" >"$log" 2>&1 || true
  end=$(date +%s%N)
  local ok bad
  ok=$(grep -c '^✓' "$log" || true)
  bad=$(grep -c '^✗' "$log" || true)
  printf '%-4s from %-5s %3d of %3d converted in %4d s\n' "$target" "$(basename "$(dirname "$1")")" \
    "$ok" "$#" "$(((end - start) / 1000000000))"
  grep '^✗' "$log" || true
  [ "$ok" -eq "$#" ] && [ "$bad" -eq 0 ] || failed=1
}
for target in txt pdf; do batch "$target" "$dir"/odt/*.odt; done
for target in txt pdf; do batch "$target" "$dir"/docx/*.docx; done
for target in csv pdf; do batch "$target" "$dir"/ods/*.ods; done
for target in csv pdf; do batch "$target" "$dir"/xlsx/*.xlsx; done
batch pdf "$dir"/pptx/*.pptx
exit "$failed"
