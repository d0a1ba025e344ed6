#!/usr/bin/env bash
# Fails, naming the files, when a C++ source of the repository differs from
# the pinned .clang-format (as Debian's clang-format-14 formats it).
# Fix with: clang-format-14 -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
  clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "Not formatted with clang-format-14 (${#bad[@]} files):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files as clang-format-14 formats them"
