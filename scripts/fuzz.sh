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
# Seeds for every packet, with and without its "/END/": the demo file with a "/DAILY FILES/"
# packet added, and one copy of it per packet with that packet's "/END/" left out.
all="$corpus/all-packets.opt"
cat "$here/examples/demo/model/demo.opt" > "$all"
printf '/DAILY FILES/\r\nDAILY TEMPS/RVP    : data\\daily\\daily.dat\r\n/END/\r\n' >> "$all"
n=0
while IFS= read -r header; do
  n=$((n + 1))
  awk -v h="$header" '{ l = $0; sub(/\r$/, "", l) } l == h { open = 1 }
    open && l == "/END/" { open = 0; next } { print }' "$all" > "$corpus/no-end-$n.opt"
done < <(tr -d '\r' < "$all" | grep -a '^/[A-Z ]*/$' | grep -v '^/END/$' | sort -u)
# Inputs may grow past the seeds' size from the start.
"$dir/fuzz/fuzz_options_file" -max_total_time="$seconds" -max_len=65536 -len_control=0 -timeout=10 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
