#!/usr/bin/env bash
# Builds the programs (optimised; the package's copies are stripped) and writes the Debian
# package DIR/qv-gui_<version>_<arch>.deb with CPack. Usage: package.sh [DIR]  (default: build)
# A tree that is already configured is used as it is, so CI packages its normal tree.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
case $dir in /*) ;; *) dir=$here/$dir ;; esac
cd "$here"
bash scripts/setup.sh
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
# Only what the package holds; the tests are not needed for it.
cmake --build "$dir" -j "$(nproc)" --target qv-gui qvopt qv-demo-model demo_workspace
rm -f "$dir"/qv-gui_*.deb
(cd "$dir" && cpack -G DEB >"$dir/cpack.log" 2>&1) || {
  cat "$dir/cpack.log" >&2
  exit 1
}
deb=$(ls "$dir"/qv-gui_*.deb)
echo "$deb"
