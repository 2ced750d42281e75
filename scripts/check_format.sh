#!/usr/bin/env bash
# Fails when a C or C++ source differs from .clang-format, naming the files.
# Fix with: clang-format -i $(git ls-files '*.cpp' '*.h' '*.c')
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
command -v clang-format >/dev/null || { echo "format: clang-format is missing" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if ! out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "format: these files differ from .clang-format (clang-format -i them):" >&2
  grep -oE '^[^:]+:[0-9]+:[0-9]+: (error|warning)' <<<"$out" | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format has them"
