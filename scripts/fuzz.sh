#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time. Usage: fuzz.sh SECONDS
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
bash "$here/scripts/build.sh" "$here/build-fuzz" -DQV_BUILD_FUZZ=ON -DQV_BUILD_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$here"/tests/fixtures/*.opt "$here"/examples/demo/model/*.opt "$corpus"/ 2>/dev/null || true
"$here/build-fuzz/fuzz/fuzz_options_file" -max_total_time="$seconds" -max_len=65536 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
