#!/usr/bin/env bash
# Checks that the layers of src/ include only what they may, and prints each include that
# breaks a rule as FILE:LINE: INCLUDE (RULE). Exit 1 when there is one.
#   scenario/ and runs/   no Qt, SQLite or libmdb header
#   scenario/             nothing of runs/, cli/, shell/ or dialogs/ (the layers above it)
#   platform/             nothing of scenario/, runs/, shell/, dialogs/ or cli/
#   dialogs/              nothing of shell/
#   cli/ and runs/        nothing of shell/ or dialogs/
# Usage: check-layering.sh [ROOT]  (ROOT holds src/; default: this checkout)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# Each rule: the layer's folder; a pattern of included names it may not use; why.
rules=(
  'scenario;^(Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/.*|sqlite3\.h|mdb[a-z]*\.h)$;a Qt, SQLite or libmdb header'
  'runs;^(Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/.*|sqlite3\.h|mdb[a-z]*\.h)$;a Qt, SQLite or libmdb header'
  'scenario;^(runs|cli|shell|dialogs)/;a layer above scenario/'
  'platform;^(scenario|runs|shell|dialogs|cli)/;a layer above platform/'
  'dialogs;^shell/;shell/ from dialogs/'
  'cli;^(shell|dialogs)/;shell/ or dialogs/ from cli/'
  'runs;^(shell|dialogs)/;shell/ or dialogs/ from runs/'
)

found=0
for rule in "${rules[@]}"; do
  IFS=';' read -r layer pattern why <<<"$rule"
  [ -d "src/$layer" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    text=${rest#*:}
    name=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]*)[>"].*/\1/' <<<"$text")
    # A relative include names the same folder as its full form.
    while [[ $name == ../* || $name == ./* ]]; do name=${name#*/}; done
    if [[ $name =~ $pattern ]]; then
      echo "$file:$line: $(sed -E 's/^[[:space:]]+//' <<<"$text")  ($why)"
      found=$((found + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "src/$layer" \
    --include='*.cpp' --include='*.h' || true)
done
if [ "$found" -gt 0 ]; then
  echo "layering: $found forbidden includes"
  exit 1
fi
echo "layering: no forbidden includes"
