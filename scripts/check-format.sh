#!/usr/bin/env bash
# Refuses C++ sources that the root .clang-format would change; names each one.
# Usage: check-format.sh  (the tracked *.cpp and *.h files, and new ones git does not ignore)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'not formatted (clang-format -i FILE): %s\n' "${bad[@]}"
  exit 1
fi
echo "format: ${#files[@]} files formatted"
