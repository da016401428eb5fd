#!/usr/bin/env bash
# Formats every C++ source of the project with .clang-format.
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh --check  list the files that differ and fail if any does (CI)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
command -v clang-format >/dev/null || "$here/scripts/deps.sh"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in "${files[@]}"; do
    if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
      echo "not formatted: $f"
      bad=$((bad + 1))
    fi
  done
  if [ "$bad" -ne 0 ]; then
    echo "$bad file(s) differ from .clang-format: run scripts/format.sh" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
