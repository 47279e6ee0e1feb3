#!/usr/bin/env bash
# End-to-end: the real qv-gui under Xvfb on a copy of the demo workspace. Checks the main
# window's title, runs the model from the Model menu by keyboard and waits for the message and
# output files. Every wait is bounded; the copy is removed at the end.
#
# Usage: model_run_e2e.sh QV_GUI QV_DEMO_MODEL DEMO_MODEL_DIR
# Exit status 77 (skipped) when xvfb-run or xdotool is missing.
set -euo pipefail

if [ "${1:-}" = "--inner" ]; then
  shift
  work=$1 gui=$2
  # No window manager under Xvfb: the program is started here so that its own process id is
  # known and ended, and nothing else.
  "$gui" >"$work/qv-gui.log" 2>&1 &
  gui_pid=$!
  trap 'kill "$gui_pid" 2>/dev/null || true; wait "$gui_pid" 2>/dev/null || true' EXIT

  title="US KQT QUARVEL MODEL (demo.opt)"
  window="" shown=""
  for _ in $(seq 1 150); do
    window=$(xdotool search --pid "$gui_pid" --name "QUARVEL MODEL" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && shown=$(xdotool getwindowname "$window" 2>/dev/null || true)
    [ "$shown" = "$title" ] && break
    kill -0 "$gui_pid" 2>/dev/null || { echo "qv-gui ended early"; cat "$work/qv-gui.log"; exit 1; }
    sleep 0.2
  done
  if [ "$shown" != "$title" ]; then
    echo "no window titled \"$title\" within 30 s (last seen: \"$shown\")"
    xwininfo -root -tree || true
    exit 1
  fi
  echo "window title: $shown"

  # Model menu, then its Run item. On a loaded machine the menu may open after the second key
  # has gone to the main window: while no run has begun (no run window, no files), the menu
  # is closed and the keys are sent again, each time with a longer pause.
  files_written() { [ -s "$work/model/outputs/demo.msg" ] && [ -s "$work/model/outputs/demo.out" ]; }
  # xdotool's name search may also give windows of other names: each title is compared.
  run_window_shown() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$gui_pid" --name "Model run" 2>/dev/null); do
      [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Model run" ] && return 0
    done
    return 1
  }
  run_begun() { files_written || run_window_shown; }
  for pause in 0.5 1 2 4; do
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep "$pause"
    xdotool key --clearmodifiers alt+m
    sleep "$pause"
    xdotool key --clearmodifiers r
    for _ in $(seq 1 25); do
      run_begun && break 2
      sleep 0.2
    done
    echo "no run after the keys (pause ${pause} s): sending them again"
    xdotool key --clearmodifiers Escape
  done

  for _ in $(seq 1 150); do
    if files_written; then
      echo "message and output files written"
      # The run window appears while the model runs.
      run_window_shown && echo "Model run window shown"
      exit 0
    fi
    sleep 0.2
  done
  echo "the model's files did not appear within 30 s"
  ls -l "$work/model" "$work/model/outputs" || true
  cat "$work/qv-gui.log"
  exit 1
fi

gui=$1 model=$2 demo=$3
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (bash scripts/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo" "$work/model"
mkdir -p "$work/model/outputs" "$work/bin" "$work/run"
chmod 700 "$work/run"
rm -f "$work/model/outputs/demo.msg" "$work/model/outputs/demo.out"
cp "$model" "$work/model/qv-demo-model"
cp "$gui" "$work/bin/qv-gui"
# qv-gui.ini beside the executable: model directory, model, options file, new-file name, data
# directory, and no reporting tool.
printf '%s\t:model directory\r\n%s\t:model executable\r\n%s\t:input option file\r\n%s\t:output option file\r\n%s\t:Data dir\r\n\t:ACCESS executable\r\n' \
  "$work/model" qv-demo-model demo.opt demo.opt "$work/model/data" >"$work/bin/qv-gui.ini"

# A private runtime directory keeps the single-instance lock apart from any other qv-gui.
XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb \
  timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inner "$work" "$work/bin/qv-gui"
