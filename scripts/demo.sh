#!/usr/bin/env bash
# Sets up, builds, copies the demo workspace to a writable place (once: later runs keep your
# edits), points qv-gui at it through qv-gui.ini beside the executable, and opens qv-gui.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh build

workspace=${XDG_DATA_HOME:-$HOME/.local/share}/qv-gui-demo
model=$workspace/model
if [ ! -d "$model" ]; then
  mkdir -p "$workspace"
  cp -r build/examples/demo/model "$model"
  echo "Demo workspace copied to $model"
fi
# The stand-in model program, refreshed with every build.
if [ -x build/tools/demo-model/qv-demo-model ]; then
  cp build/tools/demo-model/qv-demo-model "$model/qv-demo-model"
fi

# qv-gui.ini: six lines of value, TAB, key; the empty sixth line means no reporting tool.
printf '%s\t%s\r\n' \
  "$model" ":model directory" \
  "qv-demo-model" ":model executable" \
  "demo.opt" ":input option file" \
  "demo.opt" ":output option file" \
  "$model/data" ":Data dir" \
  "" ":ACCESS executable" > build/qv-gui.ini

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty), so qv-gui cannot open a window."
  echo "Run it on a virtual display instead:  xvfb-run -a $here/build/qv-gui"
  exit 0
fi
exec build/qv-gui
