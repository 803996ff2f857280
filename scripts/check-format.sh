#!/usr/bin/env bash
# Checks every C/C++ file of the tree against .clang-format. Prints the files
# that clang-format would change and exits 1 when there are any.
# usage: scripts/check-format.sh [--fix]    (--fix rewrites them in place)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
FOLDERS=(src libBasic libI18n libWindow include plugins tests bench native fuzz)

files=()
while IFS= read -r -d '' f; do files+=("$f"); done < <(
  find "${FOLDERS[@]}" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) \
    -print0 2>/dev/null | sort -z)
[ ${#files[@]} -gt 0 ] || { echo "[format] no C/C++ files found" >&2; exit 1; }

if [ "${1:-}" = "--fix" ]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi

# One clang-format run for the whole tree; each finding names its file.
report=$(clang-format --dry-run --style=file "${files[@]}" 2>&1 || true)
bad=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
  lines=$(printf '%s\n' "$report" | grep -c 'code should be clang-formatted' || true)
  echo "[format] $(printf '%s\n' "$bad" | wc -l) of ${#files[@]} files differ from .clang-format ($lines places):"
  printf '  %s\n' $bad
  echo "[format] fix with: bash scripts/check-format.sh --fix"
  exit 1
fi
echo "[format] ${#files[@]} files follow .clang-format"
