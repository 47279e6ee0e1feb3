#!/usr/bin/env bash
# Configures (once) and builds one build tree. Usage: build.sh DIR [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$dir" -j "$(nproc)"
