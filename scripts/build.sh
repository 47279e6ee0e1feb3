#!/usr/bin/env bash
# Configures (once; later with the options given) and builds one build tree.
# Usage: build.sh DIR [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ $# -gt 0 ]; then
  # Options given again hold for a tree configured before, too.
  cmake "$dir" "$@" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
