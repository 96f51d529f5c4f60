#!/usr/bin/env bash
# Checks that includes go down only: each layer under src/ may include the folders listed for it
# and nothing else (in quotes or angle brackets), the engine families include only the families
# below them, and the layers below the widgets never include a Qt Widgets header. A tool's folder
# under src/tools/ includes no other tool's folder: only its own, its family's shared/ folder and
# the tables at the tools' root. Against the libraries' table (src/binaries.txt, which the build
# reads too): every source is in a library, every engine family is named there, and a source
# includes only headers of its own library, of the libraries it links, or the entry table of a
# module it opens. Every tests/ area is built.
# Prints every offending line and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [platform]="platform"
  [core]="core"
  [engines]="core engines"
  [toolkit]="core engines platform toolkit"
  [tools]="core engines platform toolkit tools"
  [windows]="core engines platform toolkit windows"
  [app]="core engines platform toolkit tools windows app"
  [cli]="core engines platform toolkit tools windows app cli"
)
no_widgets="platform core engines"
# The engine families from the top down: a family includes only itself and families after it.
# The conversion entries beside engines/converter.cpp stand above them all.
families="heavy compress metadata instant slides pdf pdftext document package sheet subtitle image recognition media archive text"

table=src/binaries.txt
widgets_dir=$(find /usr/include -maxdepth 3 -type d -name QtWidgets -path '*qt6*' 2>/dev/null | head -n1)

bad=0
for dir in src/*/; do
  layer=$(basename "$dir")
  if [ -z "${allowed[$layer]+x}" ]; then
    echo "src/$layer: a folder with no place in the layers" >&2
    bad=1
    continue
  fi
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^/">]+)\/.*/\1/' <<<"$text")
    # Angle brackets also name system headers (<opencv2/…>): only the layers' own folders count.
    if [[ "$text" =~ \<[^/]+/ ]] && [ -z "${allowed[$target]+x}" ]; then continue; fi
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer may not include $target: $text" >&2
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("[^/"]+/|<[^/>]+/)' "$dir" || true)

  if [[ " $no_widgets " == *" $layer "* ]] && [ -n "$widgets_dir" ]; then
    while IFS=: read -r file line text; do
      header=$(sed -E 's/.*<([^>]+)>.*/\1/' <<<"$text")
      header=${header#QtWidgets/}
      if [ "$header" = QtWidgets ] || [ -e "$widgets_dir/$header" ]; then
        echo "$file:$line: $layer may not use Qt Widgets: $text" >&2
        bad=1
      fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$dir" || true)
  fi
done

for dir in src/engines/*/; do
  family=$(basename "$dir")
  if [[ " $families " != *" $family "* ]]; then
    echo "src/engines/$family: a family with no place in the families' order" >&2
    bad=1
    continue
  fi
  if ! grep -qE "^[a-z_]+[[:space:]]*\|.*\|.*\|.*[[:space:]]engines/$family([[:space:]]|$)" "$table"; then
    echo "src/engines/$family: a family named in no library ($table)" >&2
    bad=1
  fi
  below=${families#* $family }
  [ "$below" = "$families" ] && below=${families#$family }
  [ "$below" = "$families" ] && below=""
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]engines\/([^/">]+)\/.*/\1/' <<<"$text")
    if [ "$target" != "$family" ] && [[ " $below " != *" $target "* ]]; then
      echo "$file:$line: the $family family may not include the $target family above or beside it: $text" >&2
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]engines/[^/">]+/' "$dir" || true)
done

# A tool's folder, src/tools/<family>/<tool>/, includes no other tool's: only its own folder, its
# family's shared/ folder, a top-level tools/shared/ and the tables at the tools' root. What two
# tools share sits in the family's shared/ folder, which in turn includes no tool's folder.
for dir in src/tools/*/*/; do
  family=$(basename "$(dirname "$dir")")
  tool=$(basename "$dir")
  [ "$family" = shared ] && continue
  while IFS=: read -r file line text; do
    header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]tools\/([^">]*)[">].*/\1/' <<<"$text")
    case "$header" in
      */*/*) ;;
      *) continue ;; # a table at the tools' root, or a top-level shared/ header
    esac
    case "$header" in
      "$family/$tool/"* | "$family/shared/"* | shared/*) continue ;;
    esac
    place=${header%/*}
    if [[ "$place" == */shared ]]; then
      echo "$file:$line: tools/$family/$tool may not include another family's shared folder tools/$place: $text" >&2
    elif [ "$tool" = shared ]; then
      echo "$file:$line: the $family family's shared folder may not include the tool folder tools/$place: $text" >&2
    else
      echo "$file:$line: the tool tools/$family/$tool may not include another tool's folder tools/$place (move what they share to tools/$family/shared/): $text" >&2
    fi
    bad=1
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]tools/' "$dir" || true)
done

# Every test area is built by the tests' loop.
test_areas=$(sed -nE 's/^foreach\(area ((platform|core) .*)\)$/\1/p' tests/CMakeLists.txt)
for dir in tests/*/; do
  area=$(basename "$dir")
  [ "$area" = support ] && continue
  if [[ " $test_areas " != *" $area "* ]]; then
    echo "tests/$area: an area outside the tests' loop (tests/CMakeLists.txt)" >&2
    bad=1
  fi
done

# Each source and each header it includes belong to the library of the longest folder in the
# table that holds them; a source may include its own library's headers, those of the libraries
# it links (directly or through another) and the entry table of any module.
if ! grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][a-z]+/[^">]*\.h[">]' src --include='*.cpp' --include='*.h' |
  awk -v table="$table" '
    function owner(path,   dir, name, i, n, f, best, who) {
      dir = path; sub(/\/[^\/]*$/, "", dir)
      best = -1; who = ""
      for (name in folders) {
        n = split(folders[name], f, " ")
        for (i = 1; i <= n; i++)
          if ((dir == f[i] || index(dir, f[i] "/") == 1) && length(f[i]) > best) { best = length(f[i]); who = name }
      }
      return who
    }
    function reaches(from, to,   n, l, i) {
      if (from == to) return 1
      n = split(links[from], l, " ")
      for (i = 1; i <= n; i++) if (reaches(l[i], to)) return 1
      return 0
    }
    BEGIN {
      FS = "|"
      while ((getline line < table) > 0) {
        if (line !~ /^[a-z]/) continue
        split(line, c, "|")
        for (i = 1; i <= 4; i++) { gsub(/^[ \t]+|[ \t]+$/, "", c[i]); gsub(/[ \t]+/, " ", c[i]) }
        folders[c[1]] = c[4]; links[c[1]] = c[2]; if (c[3] != "") entry[c[3]] = 1
        n = split(c[4], f, " "); for (i = 1; i <= n; i++) top[substr(f[i], 1, index(f[i] "/", "/") - 1)] = 1
      }
      links["tolvane"] = "tolvane_cli" # the program, src/main.cpp
      FS = ":"
    }
    {
      file = $1; sub(/^src\//, "", file)
      text = $0; sub(/^[^:]*:[^:]*:/, "", text)
      header = text; sub(/^[^"<]*["<]/, "", header); sub(/[">].*$/, "", header)
      if (!(substr(header, 1, index(header, "/") - 1) in top)) next
      from = file ~ /\// ? owner(file) : "tolvane"
      if (from == "") { print "src/" file ": in no library (" table ")"; bad = 1; next }
      to = owner(header)
      if (to == "" || reaches(from, to) || (header in entry)) next
      print $1 ":" $2 ": " from " does not link " to ": " text; bad = 1
    }
    END { exit bad }' >&2; then
  bad=1
fi

# Nothing includes the command line but itself and the program's entry point.
if grep -rnE '#[[:space:]]*include[[:space:]]*["<]cli/' src --include='*.h' --include='*.cpp' | grep -vE '^src/(cli/|main\.cpp)'; then
  bad=1
fi

[ "$bad" -eq 0 ] && echo "layers: includes go down only"
exit "$bad"
