#!/usr/bin/env bash
# Usage: measure.sh BUILD_DIR [RUNS]. Times qv-gui's start-up to its first shown summary on a
# copy of the demo workspace (offscreen) beside a bare Qt window; prints the median of each.
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-15}
probe=$build/tools/startup-time/qv-gui-startup-probe
bare=$build/tools/startup-time/bare-window
work=$(mktemp -d)
trap 'rm -rf "$work"; rm -f "$(dirname "$probe")/qv-gui.ini" "$(dirname "$probe")/region.txt"' EXIT
cp -r "$build/examples/demo/model" "$work/model"
: > "$work/model/qv-demo-model"
printf '%s\t%s\r\n' "$work/model" ":model directory" "qv-demo-model" ":model executable" \
  "demo.opt" ":input option file" "demo.opt" ":output option file" \
  "$work/model/data" ":Data dir" "" ":ACCESS executable" > "$(dirname "$probe")/qv-gui.ini"
export QT_QPA_PLATFORM=offscreen
median() {
  local program=$1 times=()
  # Warms the file cache, and makes sure the program starts cleanly.
  "$program" >/dev/null 2>&1 || { echo "$program failed" >&2; return 1; }
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$program" >/dev/null 2>&1
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}
qv=$(median "$probe")
bare_ms=$(median "$bare")
echo "qv-gui to first summary: $qv ms (median of $runs)"
echo "bare Qt main window:     $bare_ms ms (median of $runs)"
