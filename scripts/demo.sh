#!/usr/bin/env bash
# Sets up, builds, and checks the demo options file with qvopt against the demo workspace.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh build
build/qvopt check build/examples/demo/model/demo.opt --model-dir build/examples/demo/model \
  --data-dir build/examples/demo/model/data
