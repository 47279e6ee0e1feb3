#!/usr/bin/env bash
# Refuses C++ sources that the root .clang-format would change; names each one.
# Usage: check-format.sh  (the tracked *.cpp and *.h files, and new ones git does not ignore)
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t listed < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
files=()
for f in "${listed[@]}"; do
  [ -f "$f" ] && files+=("$f")  # a file deleted but not yet committed is gone
done
# One run over every file; its findings name the files.
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  grep -oE '^[^:]+:[0-9]+:[0-9]+: (error|warning)' <<<"$report" | cut -d: -f1 | sort -u |
    sed 's/^/not formatted (clang-format -i FILE): /'
  exit 1
fi
echo "format: ${#files[@]} files formatted"
