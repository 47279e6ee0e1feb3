#!/usr/bin/env bash
# End-to-end: the Batch window of the real qv-gui under Xvfb on a copy of the demo workspace.
# Opens the window from the Batch menu by keyboard, makes one variant of the demo scenario per
# state of its region with Make variants... (the same files as qvopt batch make writes), runs
# them and waits until every scenario has its message file, output file and a run record of a
# run that exited with status 0. Then it runs them all again with a model that does not end,
# kills qv-gui with SIGKILL and waits until no qvopt or model it started is left. Every wait is
# bounded; the copy is removed at the end.
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

# The first shown window of qv-gui ($1) whose title is exactly $2 (xdotool's name search may
# also give windows of other names); fails when there is none.
titled_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ] && { echo "$w"; return 0; }
  done
  return 1
}

# Opens menu key $3 of window $2 and presses item key $4 until a window titled $5 shows: on a
# loaded machine the menu may open after the item's key has gone to the window. Prints the
# new window's id.
by_menu() {
  local pid=$1 window=$2 menu=$3 item=$4 title=$5 pause w
  for pause in 0.5 1 2 4; do
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep "$pause"
    xdotool key --clearmodifiers "$menu"
    sleep "$pause"
    xdotool key --clearmodifiers "$item"
    for _ in $(seq 1 25); do
      w=$(titled_window "$pid" "$title") && { echo "$w"; return 0; }
      sleep 0.2
    done
    xdotool key --clearmodifiers Escape
  done
  return 1
}

# The processes below $1, deepest last.
descendants() {
  local child
  for child in $(pgrep -P "$1" || true); do
    echo "$child"
    descendants "$child"
  done
}

# True while process $1 runs (a zombie has ended).
alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Presses Run (alt+r) until qv-gui has started a batch run: a press while the window is still
# checking the list is ignored.
press_run() {
  local pid=$1
  for _ in $(seq 1 60); do
    xdotool key --clearmodifiers alt+r
    for _ in $(seq 1 5); do
      pgrep -P "$pid" -f "batch run-one" >/dev/null && return 0
      sleep 0.1
    done
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
  # Batch menu, then its Select option files item.
  batch=$(by_menu "$gui_pid" "$main" alt+b s Batch) ||
    { echo "no Batch window after the menu keys"; cat "$work/qv-gui.log"; exit 1; }
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
  press_run "$gui_pid" || { echo "Run started nothing within 30 s"; cat "$work/qv-gui.log"; exit 1; }
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
      break
    fi
    sleep 0.2
  done
  if [ "$records" -ne "$count" ]; then
    echo "the runs did not end within 60 s"
    ls -l "$work/model/states" || true
    cat "$work/qv-gui.log"
    exit 1
  fi

  # Every scenario again (they are up to date), with a model that runs until it is ended and
  # has a child of its own.
  printf '#!/bin/sh\nsleep 600 &\nwait\n' >"$work/model/qv-demo-model"
  xdotool windowfocus --sync "$batch"
  xdotool key --clearmodifiers alt+d
  press_run "$gui_pid" || { echo "Run all started nothing within 30 s"; exit 1; }
  started=""
  for _ in $(seq 1 100); do
    started=$(descendants "$gui_pid" | tr '\n' ' ')
    # Each qvopt run-one has its model and the model its sleep.
    runs=$(pgrep -P "$gui_pid" -f "batch run-one" | wc -l)
    sleeps=$(for p in $started; do ps -o comm= -p "$p"; done | grep -c '^sleep$' || true)
    [ "$runs" -gt 0 ] && [ "$sleeps" -ge "$runs" ] && break
    sleep 0.1
  done
  [ "$sleeps" -ge 1 ] || { echo "no model started: $started"; exit 1; }
  kill -KILL "$gui_pid"
  wait "$gui_pid" 2>/dev/null || true
  left=""
  for _ in $(seq 1 100); do
    left=""
    for p in $started; do
      alive "$p" && left="$left $p"
    done
    [ -z "$left" ] && break
    sleep 0.1
  done
  if [ -n "$left" ]; then
    ps -o pid,ppid,comm,args -p "$(echo $left | tr " " ,)" || true
    for p in $left; do kill -KILL "$p" 2>/dev/null || true; done
    echo "qv-gui killed: still running 10 s later:$left"
    exit 1
  fi
  echo "qv-gui killed during a batch run: its $runs qvopt run(s), their models and the models' children all ended"
  exit 0
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
