#!/usr/bin/env bash
# Builds the options-file fuzzer with clang and runs it for a bounded time. Usage: fuzz.sh SECONDS
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
dir="$here/build-fuzz"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DQV_BUILD_FUZZ=ON -DQV_BUILD_TESTS=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$dir" --target fuzz_options_file -j "$(nproc)"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$here"/examples/demo/model/*.opt "$corpus"/
"$dir/fuzz/fuzz_options_file" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
