#!/usr/bin/env bash
# Checks a built Debian package as a user would meet it, then removes it again. The package is
# unpacked into a scratch root (dpkg -x) with a fresh home folder, and:
#  - every run-time dependency it declares is installed on this machine;
#  - it holds the programs, desktop entry, icons, README, licence and demo workspace;
#  - qvopt --version and qv-gui --version print the package's version, without a display;
#  - qvopt check reads the installed demo without a message;
#  - the installed qv-gui, started by a user who never configured anything, offers the demo
#    workspace; Yes copies it and opens the main window on it (under Xvfb), with qv-gui.ini and
#    region.txt in the user's configuration folder, where qvopt finds them too; File > Exit
#    ends it.
# Usage: package-check.sh DEB
set -euo pipefail

if [ "${1:-}" = "--gui" ]; then
  shift
  gui=$1 log=$2
  "$gui" >"$log" 2>&1 &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
  # Waits up to 30 s for a window of qv-gui named exactly $1; prints its id.
  window_named() {
    local w name
    for _ in $(seq 1 150); do
      for w in $(xdotool search --pid "$pid" --name "QUARVEL MODEL" 2>/dev/null || true); do
        name=$(xdotool getwindowname "$w" 2>/dev/null || true)
        [ "$name" = "$1" ] && { echo "$w"; return 0; }
      done
      kill -0 "$pid" 2>/dev/null || { echo "qv-gui ended early" >&2; cat "$log" >&2; return 1; }
      sleep 0.2
    done
    echo "no window named \"$1\" within 30 s" >&2
    xwininfo -root -tree >&2 || true
    return 1
  }
  box=$(window_named "US KQT QUARVEL MODEL")
  xdotool windowfocus --sync "$box"
  sleep 0.3
  xdotool key --clearmodifiers Return
  main=$(window_named "US KQT QUARVEL MODEL (demo.opt)")
  echo "main window: US KQT QUARVEL MODEL (demo.opt)"
  xdotool windowfocus --sync "$main"
  sleep 0.3
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  xdotool key --clearmodifiers x
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; exit $?; }
    sleep 0.2
  done
  echo "qv-gui did not end after File > Exit" >&2
  exit 1
fi

deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}
version=$(dpkg-deb -f "$deb" Version)
root=$work/root
dpkg -x "$deb" "$root"

# Every alternative list of Depends needs one installed package of a fitting version.
IFS=',' read -ra deps <<<"$(dpkg-deb -f "$deb" Depends)"
[ ${#deps[@]} -gt 0 ] || fail "no run-time dependencies declared"
for dep in "${deps[@]}"; do
  ok=""
  IFS='|' read -ra alts <<<"$dep"
  for alt in "${alts[@]}"; do
    name=$(sed -E 's/\(.*\)//; s/[[:space:]]//g; s/:any$//' <<<"$alt")
    have=$(dpkg-query -W -f='${Status} ${Version}' "$name" 2>/dev/null | sed -n 's/^install ok installed //p')
    [ -n "$have" ] || continue
    if [[ $alt =~ \(([<>=]+)[[:space:]]*([^\)]+)\) ]]; then
      op=${BASH_REMATCH[1]}
      case $op in '>=') op=ge ;; '<=') op=le ;; '>>') op=gt ;; '<<') op=lt ;; '=') op=eq ;; esac
      dpkg --compare-versions "$have" "$op" "${BASH_REMATCH[2]// /}" || continue
    fi
    ok=1
  done
  [ -n "$ok" ] || fail "dependency not installed: $dep"
done
echo "dependencies: ${#deps[@]} installed"

for f in usr/bin/qv-gui usr/bin/qvopt usr/bin/qv-demo-model usr/share/applications/qv-gui.desktop \
  usr/share/icons/hicolor/scalable/apps/qv-gui.svg usr/share/icons/hicolor/128x128/apps/qv-gui.png \
  usr/share/doc/qv-gui/README.md usr/share/doc/qv-gui/copyright \
  usr/share/qv-gui/demo/model/demo.opt usr/share/qv-gui/demo/model/reports/reports.mdb; do
  [ -s "$root/$f" ] || fail "missing /$f"
done

# A user who never configured anything.
export HOME=$work/home
unset XDG_CONFIG_HOME XDG_DATA_HOME
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
bin=$root/usr/bin

got=$(env -u DISPLAY "$bin/qvopt" --version)
[ "$got" = "qvopt $version" ] || fail "qvopt --version printed \"$got\", not \"qvopt $version\""
got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/qv-gui" --version)
[ "$got" = "qv-gui $version" ] || fail "qv-gui --version printed \"$got\", not \"qv-gui $version\""
echo "version: $version"

demo=$root/usr/share/qv-gui/demo/model
got=$("$bin/qvopt" --model-dir "$demo" --data-dir "$demo/data" check "$demo/demo.opt") ||
  fail "qvopt check on the installed demo: exit $?: $got"
[ -z "$got" ] || fail "qvopt check on the installed demo printed: $got"
echo "qvopt check: the installed demo reads without a message"

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  fail "xvfb-run and xdotool are needed (bash scripts/setup.sh installs them)"
fi
QT_QPA_PLATFORM=xcb timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$0" --gui "$bin/qv-gui" "$work/qv-gui.log" || fail "qv-gui did not open on the demo"
config=$HOME/.config/qv-gui
workspace=$HOME/.local/share/qv-gui-demo/model
[ -x "$workspace/qv-demo-model" ] && [ -s "$workspace/demo.opt" ] || fail "no demo copy in $workspace"
grep -q "^$workspace	:model directory" "$config/qv-gui.ini" || fail "$config/qv-gui.ini does not name $workspace"
[ "$(tail -n 2 "$config/region.txt" | head -n 1 | tr -d '\r')" = "Ending run" ] ||
  fail "$config/region.txt does not end with the orderly exit"
# qvopt finds the same qv-gui.ini: the demo copy checks without a message and without options.
got=$("$bin/qvopt" check "$workspace/demo.opt") || fail "qvopt check with the user's qv-gui.ini: exit $?: $got"
[ -z "$got" ] || fail "qvopt check with the user's qv-gui.ini printed: $got"
leftover=$(ls "$bin" | grep -vxE 'qv-gui|qvopt|qv-demo-model' || true)
[ -z "$leftover" ] || fail "qv-gui wrote beside itself: $leftover"
echo "qv-gui: first start opened the demo workspace; settings in $config"
echo "package check: $(basename "$deb") passed"
