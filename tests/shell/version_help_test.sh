#!/usr/bin/env bash
# qv-gui --version and --help print and end without a window, also with no display at all;
# qvopt --version prints the same version. Usage: version_help_test.sh QV_GUI QVOPT
set -uo pipefail
gui=$1 qvopt=$2
failed=0
check() {
  local want=$1 out status
  shift
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$@" 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || [ "${out%%$'\n'*}" != "$want" ]; then
    echo "$*: exit $status, first line \"${out%%$'\n'*}\", expected \"$want\""
    failed=1
  fi
}
check "qv-gui 2008.1.0" "$gui" --version
check "Usage: qv-gui [FILE] [--version | --help]" "$gui" --help
check "Usage: qv-gui [FILE] [--version | --help]" "$gui" -platform offscreen -h
check "qvopt 2008.1.0" "$qvopt" --version
exit $failed
