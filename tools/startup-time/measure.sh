#!/usr/bin/env bash
# Usage: measure.sh BUILD_DIR [RUNS] [BASELINE_BUILD_DIR]
# Times qv-gui's start-up to its first shown summary on a copy of the demo workspace beside a
# bare Qt window, once with the demo's options file and once with a default options file ten
# times its size, and measures the memory at rest (RSS and PSS once the first summary shows and
# the event loop is idle) of each. Prints min/median/max of RUNS runs (default 15), each figure
# beside the bare window's and that of a window with a menu bar and a line of text (what any
# window with menus and text loads). With BASELINE_BUILD_DIR, that build's probe runs too, alternately
# with this one, so that both see the same machine.
# QT_QPA_PLATFORM=xcb runs every program under one Xvfb server (started here when DISPLAY is
# unset); anything else, or nothing, runs them offscreen. LARGE_COPY=FILE keeps a copy of the
# large options file.
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-15}
baseline=${3:+$(cd "$3" && pwd)}
platform=${QT_QPA_PLATFORM:-offscreen}
bare=$build/tools/startup-time/bare-window
menu=$build/tools/startup-time/menu-window
work=$(mktemp -d)
probes=("$build/tools/startup-time/qv-gui-startup-probe")
labels=("qv-gui")
if [ -n "$baseline" ]; then
  probes+=("$baseline/tools/startup-time/qv-gui-startup-probe")
  labels+=("qv-gui (baseline)")
fi
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  for p in "${probes[@]}"; do rm -f "$(dirname "$p")/qv-gui.ini" "$(dirname "$p")/region.txt"; done
}
trap cleanup EXIT
if [ "$platform" = xcb ] && [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  sleep 1
fi
export QT_QPA_PLATFORM=$platform

cp -r "$build/examples/demo/model" "$work/model"
: > "$work/model/qv-demo-model"
# The large default file: the demo's, with the three states of its region replaced by their
# counties, and its source list by every equipment code, until it is ten times the demo's size.
demo=$work/model/demo.opt
large=$work/model/large.opt
target=$(( $(wc -c < "$demo") * 10 ))
refdir=$(dirname "$0")/../../examples/demo/reference
awk -v target="$target" -v demo_size="$(wc -c < "$demo")" '
  FNR == 1 { file++ }
  file == 1 && FNR > 1 { split($0, f, ","); if (f[2] == "06" || f[2] == "32" || f[2] == "41")
    counties[++nc] = sprintf("%-19s: %s%s", substr(f[4], 1, 19), f[2], f[3]) }
  file == 2 && FNR > 1 { split($0, f, ","); codes[++ns] = "                   :" f[1] }
  file == 3 { lines[++nl] = $0 }
  END {
    size = demo_size; budget = target - size
    for (i = 1; i <= nl; i++) {
      line = lines[i]
      if (line ~ /^Region Level/) { print "Region Level       : COUNTY"; continue }
      if (in_region && line != "/END/") continue
      if (line == "/REGION/") { print line; in_region = 1; continue }
      if (in_region && line == "/END/") {
        for (j = 1; j <= nc && budget > 0; j++) { print counties[j]; budget -= length(counties[j]) + 2 }
        in_region = 0
      }
      if (line == "/SOURCE CATEGORY/") { print line; in_source = 1; continue }
      if (in_source && line != "/END/") continue
      if (in_source && line == "/END/") {
        for (j = 1; j <= ns && budget > 0; j++) { print codes[j]; budget -= length(codes[j]) + 2 }
        in_source = 0
      }
      print line
    }
  }' "$refdir/fips-counties.csv" "$refdir/equipment-types.csv" <(tr -d '\r' < "$demo") |
  sed 's/$/\r/' > "$large"
while [ "$(wc -c < "$large")" -lt "$target" ]; do
  # Comment lines outside the packets make up what the codes left short.
  printf '* %-76s\r\n' "Filler line kept outside the packets" >> "$large"
done

[ -n "${LARGE_COPY:-}" ] && cp "$large" "$LARGE_COPY"

# Points the probe beside `program` at the options file `opt`.
configure() {
  printf '%s\t%s\r\n' "$work/model" ":model directory" "qv-demo-model" ":model executable" \
    "$2" ":input option file" "$2" ":output option file" \
    "$work/model/data" ":Data dir" "" ":ACCESS executable" > "$(dirname "$1")/qv-gui.ini"
}

# Runs each program of the list once per round, alternately, RUNS rounds; leaves one file of
# times (ms) or memory figures per program in $work/<index>.
sample() {
  local mode=$1; shift
  local programs=("$@") i
  for i in "${!programs[@]}"; do
    # Warms the file cache, and makes sure the program starts cleanly.
    "${programs[$i]}" >/dev/null 2>&1 || { echo "${programs[$i]} failed" >&2; exit 1; }
    : > "$work/$i"
  done
  for _ in $(seq "$runs"); do
    for i in "${!programs[@]}"; do
      if [ "$mode" = time ]; then
        local start end
        start=$(date +%s%N)
        "${programs[$i]}" >/dev/null 2>&1
        end=$(date +%s%N)
        echo $(( (end - start) / 1000000 )) >> "$work/$i"
      else
        "${programs[$i]}" --at-rest 2>/dev/null >> "$work/$i"
      fi
    done
  done
}

# min/median/max of column `col` of a file of figures, divided by `div`.
stats() {
  sort -n -k"$2,$2" "$1" | awk -v c="$2" -v d="$3" '{a[NR] = $c / d}
    END {printf "%7.1f %7.1f %7.1f", a[1], a[int((NR + 1) / 2)], a[NR]}'
}
median_of() { sort -n -k"$2,$2" "$1" | awk -v c="$2" '{a[NR] = $c} END {print a[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2fx", a / b}'; }

echo "platform $platform, $runs runs each, min/median/max"
echo "demo options file: $(wc -c < "$demo") bytes; large one: $(wc -c < "$large") bytes"
for opt in demo.opt large.opt; do
  for p in "${probes[@]}"; do configure "$p" "$opt"; done
  sample time "${probes[@]}" "$bare" "$menu"
  n=${#probes[@]}
  m=$((n + 1))
  echo "start to first summary, $opt (ms):"
  printf '  %-22s %s\n' "bare Qt main window" "$(stats "$work/$n" 1 1)"
  printf '  %-22s %s\n' "with menu bar and text" "$(stats "$work/$m" 1 1)"
  for i in "${!probes[@]}"; do
    printf '  %-22s %s  %s of bare, %s of menu and text\n' "${labels[$i]}" \
      "$(stats "$work/$i" 1 1)" \
      "$(ratio "$(median_of "$work/$i" 1)" "$(median_of "$work/$n" 1)")" \
      "$(ratio "$(median_of "$work/$i" 1)" "$(median_of "$work/$m" 1)")"
  done
  sample memory "${probes[@]}" "$bare" "$menu"
  echo "memory at rest, $opt (MiB): RSS min/median/max, PSS min/median/max"
  printf '  %-22s %s   %s\n' "bare Qt main window" "$(stats "$work/$n" 1 1024)" \
    "$(stats "$work/$n" 2 1024)"
  printf '  %-22s %s   %s\n' "with menu bar and text" "$(stats "$work/$m" 1 1024)" \
    "$(stats "$work/$m" 2 1024)"
  for i in "${!probes[@]}"; do
    printf '  %-22s %s   %s  RSS %s, PSS %s of bare; RSS %s of menu and text\n' \
      "${labels[$i]}" "$(stats "$work/$i" 1 1024)" "$(stats "$work/$i" 2 1024)" \
      "$(ratio "$(median_of "$work/$i" 1)" "$(median_of "$work/$n" 1)")" \
      "$(ratio "$(median_of "$work/$i" 2)" "$(median_of "$work/$n" 2)")" \
      "$(ratio "$(median_of "$work/$i" 1)" "$(median_of "$work/$m" 1)")"
  done
done
