#!/usr/bin/env bash
# End-to-end: the Batch window of the real qv-gui under Xvfb on a copy of the demo workspace.
# Opens the window from the Batch menu by keyboard, makes one variant of the demo scenario per
# state of its region with Make variants... (the same files as qvopt batch make writes), runs
# them and waits until every scenario has its message file, output file and a run record of a
# run that exited with status 0. Every wait is bounded; the
# copy is removed at the end.
#
# Usage: batch_window_e2e.sh QV_GUI QVOPT QV_DEMO_MODEL DEMO_MODEL_DIR
# Exit status 77 (skipped) when xvfb-run or xdotool is missing.
set -euo pipefail

# Waits (bounded, 30 s) for a window of qv-gui whose name matches $2; prints its id.
wait_window() {
  local pid=$1 name=$2 id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --all --pid "$pid" --name "$name" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

if [ "${1:-}" = "--inner" ]; then
  shift
  work=$1 gui=$2 list=$3 count=$4
  "$gui" >"$work/qv-gui.log" 2>&1 &
  gui_pid=$!
  trap 'kill "$gui_pid" 2>/dev/null || true; wait "$gui_pid" 2>/dev/null || true' EXIT

  main=$(wait_window "$gui_pid" "^US KQT QUARVEL MODEL \(demo.opt\)$") ||
    { echo "no main window within 30 s"; cat "$work/qv-gui.log"; exit 1; }
  xdotool windowfocus --sync "$main"
  sleep 0.5
  # Batch menu, then its Select option files item.
  xdotool key --clearmodifiers alt+b
  sleep 0.5
  xdotool key --clearmodifiers s
  batch=$(wait_window "$gui_pid" "^Batch$") ||
    { echo "no Batch window within 30 s"; cat "$work/qv-gui.log"; exit 1; }
  echo "Batch window shown"
  xdotool windowfocus --sync "$batch"
  sleep 0.5

  # Make variants..., one per state of the demo scenario's region, into model/states.
  xdotool key --clearmodifiers alt+v
  dialog=$(wait_window "$gui_pid" "^Make variants$") ||
    { echo "no Make variants dialog within 30 s"; cat "$work/qv-gui.log"; exit 1; }
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
  xdotool key --clearmodifiers alt+r
  xdotool key --clearmodifiers alt+f ctrl+a
  xdotool type --delay 10 "$work/model/states"
  sleep 0.5
  xdotool key --clearmodifiers Return
  for _ in $(seq 1 50); do
    [ -s "$list" ] && break
    sleep 0.2
  done
  [ -s "$list" ] || { echo "Make variants wrote no $list"; cat "$work/qv-gui.log"; exit 1; }
  made=$(cd "$work/model/states" && ls *.opt | sort | tr '\n' ' ')
  expected=$(cd "$work/ref" && ls *.opt | sort | tr '\n' ' ')
  [ "$made" = "$expected" ] ||
    { echo "Make variants wrote \"$made\", qvopt batch make \"$expected\""; exit 1; }
  echo "Make variants wrote $made"

  xdotool windowfocus --sync "$batch"
  # Run, once the list has been checked and read.
  sleep 2
  xdotool key --clearmodifiers alt+r
  echo "Run pressed"

  for _ in $(seq 1 300); do
    records=$(find "$work/model/states" -iname '*.out.run.json' | wc -l)
    if [ "$records" -eq "$count" ]; then
      sleep 0.5
      for record in "$work/model/states"/*.run.json; do
        grep -q '"status": 0' "$record" || { echo "$record: not a run that exited with 0"; exit 1; }
      done
      for opt in "$work/model/states"/*.opt; do
        base=$(basename "$opt" .opt)
        for ext in msg out; do
          [ -s "$(find "$work/model/states" -iname "$base.$ext" | head -n 1)" ] ||
            { echo "$base: no $ext file"; exit 1; }
        done
      done
      echo "every scenario of the campaign ran: $count records, message and output files"
      xdotool search --all --pid "$gui_pid" --name "^Batch$" >/dev/null && echo "Batch window still open"
      exit 0
    fi
    sleep 0.2
  done
  echo "the runs did not end within 60 s"
  ls -l "$work/model/states" || true
  cat "$work/qv-gui.log"
  exit 1
fi

gui=$1 qvopt=$2 model=$3 demo=$4
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (bash scripts/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo" "$work/model"
mkdir -p "$work/model/outputs" "$work/bin" "$work/run" "$work/config"
chmod 700 "$work/run"
cp "$model" "$work/model/qv-demo-model"
# qv-gui starts the qvopt beside it.
cp "$gui" "$work/bin/qv-gui"
cp "$qvopt" "$work/bin/qvopt"
printf '%s\t:model directory\r\n%s\t:model executable\r\n%s\t:input option file\r\n%s\t:output option file\r\n%s\t:Data dir\r\n\t:ACCESS executable\r\n' \
  "$work/model" qv-demo-model demo.opt demo.opt "$work/model/data" >"$work/bin/qv-gui.ini"

# What Make variants is to write: one variant of the demo scenario per state of its region, as
# qvopt batch make writes them (elsewhere).
"$work/bin/qvopt" --config "$work/bin/qv-gui.ini" batch make "$work/model/demo.opt" \
  --out "$work/ref" --each-state >/dev/null
count=$(find "$work/ref" -name '*.opt' | wc -l)
[ "$count" -gt 0 ] || { echo "batch make wrote no variants"; exit 1; }

# A private runtime directory keeps the single-instance lock apart from any other qv-gui, and a
# private configuration directory keeps qv-gui's own settings apart from the user's.
XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
  QV_DEMO_MODEL_SECONDS=0.5 \
  timeout 100 xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$0" --inner "$work" "$work/bin/qv-gui" "$work/model/states/campaign.txt" "$count"
