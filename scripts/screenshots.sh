#!/usr/bin/env bash
# Runs the screenshot tests on a real X display (Xvfb) and writes their pictures to OUT, then
# checks that every picture of docs/screenshots was written again: a window that no longer
# opens fails here. Usage: screenshots.sh OUT [BUILD]  (default build tree: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$1
build=${2:-$here/build}
mkdir -p "$out"
out=$(cd "$out" && pwd)
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
for suite in shell_tests dialog_tests; do
  # Each program in a display of its own; the settings the dialogs keep stay in the scratch
  # folder.
  XDG_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$runtime/config QT_QPA_PLATFORM=xcb \
    QV_SCREENSHOT_DIR=$out timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/tests/$suite" --gtest_filter='*Screenshot*:LastRun.*:CompareWindow.*' --gtest_brief=1
done
missing=()
for shot in "$here"/docs/screenshots/*.png; do
  [ -s "$out/$(basename "$shot")" ] || missing+=("$(basename "$shot")")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "screenshots not written: ${missing[*]}"
  exit 1
fi
echo "screenshots: $(ls "$out"/*.png | wc -l) pictures in $out"
