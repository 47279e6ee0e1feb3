#!/usr/bin/env bash
# The layering check on a made-up tree: it names every forbidden include, with its line, and
# passes the allowed ones. Usage: check_layering_test.sh CHECK_LAYERING_SH
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
put() {
  mkdir -p "$tree/$(dirname "$1")"
  printf '%s\n' "${@:2}" >"$tree/$1"
}
put src/scenario/a.cpp '#include "scenario/a.h"' '#include <string>' '#include <QString>' \
  '#  include "../shell/qv_gui.h"' '#include "runs/run_record.h"'
put src/scenario/a.h '#include <sqlite3.h>' '#include "platform/fs.h"'
put src/runs/b.cpp '#include <QtCore/QDir>' '#include "dialogs/x.h"' '#include "scenario/a.h"' \
  '#include <mdbtools.h>'
put src/platform/fs/c.cpp '#include "platform/fs.h"' '#include "cli/qvopt.h"' '#include <QDir>'
put src/dialogs/d.cpp '#include "shell/summary.h"' '#include "scenario/a.h"' '#include <QWidget>'
put src/cli/e.cpp '#include "runs/run_record.h"' '#include "dialogs/x.h"' '#include "shell/y.h"'
put src/shell/f.cpp '#include "dialogs/x.h"' '#include "cli/qvopt.h"' '#include <QWidget>'

status=0
out=$(bash "$check" "$tree") || status=$?
expected="src/scenario/a.cpp:3: #include <QString>  (a Qt, SQLite or libmdb header)
src/scenario/a.h:1: #include <sqlite3.h>  (a Qt, SQLite or libmdb header)
src/runs/b.cpp:1: #include <QtCore/QDir>  (a Qt, SQLite or libmdb header)
src/runs/b.cpp:4: #include <mdbtools.h>  (a Qt, SQLite or libmdb header)
src/scenario/a.cpp:4: #  include \"../shell/qv_gui.h\"  (a layer above scenario/)
src/scenario/a.cpp:5: #include \"runs/run_record.h\"  (a layer above scenario/)
src/platform/fs/c.cpp:2: #include \"cli/qvopt.h\"  (a layer above platform/)
src/dialogs/d.cpp:1: #include \"shell/summary.h\"  (shell/ from dialogs/)
src/cli/e.cpp:2: #include \"dialogs/x.h\"  (shell/ or dialogs/ from cli/)
src/cli/e.cpp:3: #include \"shell/y.h\"  (shell/ or dialogs/ from cli/)
src/runs/b.cpp:2: #include \"dialogs/x.h\"  (shell/ or dialogs/ from runs/)
layering: 11 forbidden includes"
if [ "$status" -ne 1 ] || [ "$(sort <<<"$out")" != "$(sort <<<"$expected")" ]; then
  echo "exit $status; printed:"
  echo "$out"
  echo "expected (in any order):"
  echo "$expected"
  exit 1
fi
# A tree without a forbidden include passes.
rm "$tree"/src/scenario/a.* "$tree"/src/runs/b.cpp "$tree"/src/platform/fs/c.cpp \
  "$tree"/src/dialogs/d.cpp "$tree"/src/cli/e.cpp
bash "$check" "$tree" >/dev/null || { echo "a clean tree was refused"; exit 1; }
echo "layering check: 11 forbidden includes named, a clean tree passes"
