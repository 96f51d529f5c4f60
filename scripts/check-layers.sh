#!/usr/bin/env bash
# Checks that includes go down only: each library under src/ may include the folders listed
# for it and nothing else (in quotes or angle brackets), the engine families include only the
# families below them, and the layers below the widgets never include a Qt Widgets header. Also
# that every src/ folder and engine family is built into a library and every tests/ area is built.
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
families="instant slides pdf document package sheet subtitle image recognition media archive text"

# The build's lists of sources, one line, so that a list may run over several lines.
cmake_lists=$(tr '\n' ' ' <CMakeLists.txt)
widgets_dir=$(find /usr/include -maxdepth 3 -type d -name QtWidgets -path '*qt6*' 2>/dev/null | head -n1)

bad=0
for dir in src/*/; do
  layer=$(basename "$dir")
  if [ -z "${allowed[$layer]+x}" ]; then
    echo "src/$layer: a folder with no place in the layers" >&2
    bad=1
    continue
  fi
  if ! grep -qE "tolvane_glob\([^)]*[[:space:]]$layer([[:space:]/)])|\\\$\{src\}/$layer/" <<<"$cmake_lists"; then
    echo "src/$layer: a folder built into no library (CMakeLists.txt)" >&2
    bad=1
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
  if ! grep -qE "tolvane_glob\([^)]*engines/$family[[:space:])]" <<<"$cmake_lists"; then
    echo "src/engines/$family: a family built into no library (CMakeLists.txt)" >&2
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

# The light engine families are built into the program itself: they reach the heavy families
# only through the module's entry table (engines/heavyengines.h), never by their headers.
if grep -rnE '#[[:space:]]*include[[:space:]]*["<]engines/(image|recognition|pdf|document|package|slides|sheet|instant)/' \
  src/engines/media src/engines/archive src/engines/subtitle src/engines/converter.cpp; then
  bad=1
fi

# Nothing includes the command line but itself and the program's entry point.
if grep -rnE '#[[:space:]]*include[[:space:]]*["<]cli/' src --include='*.h' --include='*.cpp' | grep -vE '^src/(cli/|main\.cpp)'; then
  bad=1
fi

[ "$bad" -eq 0 ] && echo "layers: includes go down only"
exit "$bad"
