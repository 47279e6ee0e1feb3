#!/usr/bin/env bash
# qvopt reads qv-gui.ini where qv-gui keeps it: an installed copy (the demo bundled beside it)
# from the per-user configuration folder, a copy in a writable folder only from beside itself.
# Usage: installed_qvopt_test.sh QVOPT DEMO_MODEL_DIR
set -euo pipefail
qvopt=$1 demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/usr/bin" "$work/usr/share/qv-gui/demo" "$work/build" "$work/config/qv-gui"
cp "$qvopt" "$work/usr/bin/qvopt"
cp "$qvopt" "$work/build/qvopt"
cp -r "$demo" "$work/usr/share/qv-gui/demo/model"
model=$work/usr/share/qv-gui/demo/model
printf '%s\t:model directory\r\ndemo.opt\t:model executable\r\ndemo.opt\t:input option file\r\ndemo.opt\t:output option file\r\n%s\t:Data dir\r\n\t:ACCESS executable\r\n' \
  "$model" "$model/data" >"$work/config/qv-gui/qv-gui.ini"
export XDG_CONFIG_HOME=$work/config

# The configured model directory holds the reference database the check needs.
out=$("$work/usr/bin/qvopt" check "$model/demo.opt") || { echo "installed: exit $?: $out"; exit 1; }
[ -z "$out" ] || { echo "installed qvopt printed: $out"; exit 1; }

# The same file for the build-tree copy: the per-user file is not read, so a broken one there
# changes nothing.
printf '/nowhere\t:model directory\r\n' >"$work/config/qv-gui/qv-gui.ini"
out=$("$work/build/qvopt" --model-dir "$model" check "$model/demo.opt") ||
  { echo "build tree: exit $?: $out"; exit 1; }
[ -z "$out" ] || { echo "build-tree qvopt printed: $out"; exit 1; }
status=0
out=$("$work/usr/bin/qvopt" check "$model/demo.opt") || status=$?
expected="message (OK, US KQT QUARVEL MODEL): /nowhere/qv-demo-model does not exist. Correct qv-gui.ini and retry."
[ "$status" -eq 3 ] && [[ $out == *"does not exist. Correct qv-gui.ini and retry."* ]] ||
  { echo "installed qvopt with a broken per-user qv-gui.ini: exit $status: $out"; exit 1; }
echo "qvopt reads the per-user qv-gui.ini when installed, and only then"
