#!/usr/bin/env bash
# Sets up, builds and runs every test and check, each step followed by its time: the format and
# layering checks, the test suite with the benchmarks compiled (not run), the screenshot tests
# on Xvfb, the Debian package made from the same tree and checked, the suite under ASan +
# UBSan, and a bounded fuzzing run of the options-file reader and writer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
step() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "== $name: $((SECONDS - start)) s"
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

bash scripts/setup.sh
step format bash scripts/check-format.sh
step layering bash scripts/check-layering.sh
step build bash scripts/build.sh build -DQV_BUILD_BENCH=ON
step tests bash -c 'cd build && ctest --output-on-failure -j 2'
step screenshots bash scripts/screenshots.sh "$scratch/screenshots" build
step package bash -c "bash scripts/package.sh build >'$scratch/package.out'"
step package-check bash scripts/package-check.sh "$(tail -n 1 "$scratch/package.out")"
# The test programs run at build time too (test discovery): the options hold for both.
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
step asan-build bash scripts/build.sh build-asan -DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
step asan-tests bash -c 'cd build-asan && ctest --output-on-failure -j 2'
step fuzz bash scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}"
