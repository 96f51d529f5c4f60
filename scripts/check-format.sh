#!/usr/bin/env bash
# Checks that every C++ file is formatted by the project's .clang-format; lists those that are
# not and exits 1. `scripts/check-format.sh --fix` formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --style=file "$f" | cmp -s - "$f"; then
    echo "$f: not formatted (run scripts/check-format.sh --fix)" >&2
    bad=1
  fi
done
[ "$bad" -eq 0 ] && echo "format: every file follows .clang-format"
exit "$bad"
