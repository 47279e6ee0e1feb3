#!/usr/bin/env bash
# Sets up, builds and runs every test: the test suite, the same suite under ASan + UBSan, and a
# bounded fuzzing run of the options-file reader and writer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j 2)
# The test programs run at build time too (test discovery): the options hold for both.
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
bash scripts/build.sh build-asan -DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ctest --output-on-failure -j 2)
bash scripts/fuzz.sh "${QV_FUZZ_SECONDS:-60}"
