#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for its share of a bounded time: the
# options-file reader and writer gets half, the query translator, the campaign list reader and
# the run-record reader a sixth each. Usage: fuzz.sh SECONDS
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
dir="$here/build-fuzz"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$here" -B "$dir" -G Ninja -DQV_BUILD_FUZZ=ON -DQV_BUILD_TESTS=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
targets=(fuzz_options_file fuzz_access_sql fuzz_campaign fuzz_run_record)
cmake --build "$dir" --target "${targets[@]}" -j "$(nproc)"
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
mkdir "$seeds"/{fuzz_options_file,fuzz_access_sql,fuzz_campaign,fuzz_run_record}

# Options files: seeds for every packet, with and without its "/END/": the demo file with a
# "/DAILY FILES/" packet added, and one copy of it per packet with that packet's "/END/" left out.
corpus="$seeds/fuzz_options_file"
cp "$here"/examples/demo/model/*.opt "$corpus"/
all="$corpus/all-packets.opt"
cat "$here/examples/demo/model/demo.opt" > "$all"
printf '/DAILY FILES/\r\nDAILY TEMPS/RVP    : data\\daily\\daily.dat\r\n/END/\r\n' >> "$all"
n=0
while IFS= read -r header; do
  n=$((n + 1))
  awk -v h="$header" '{ l = $0; sub(/\r$/, "", l) } l == h { open = 1 }
    open && l == "/END/" { open = 0; next } { print }' "$all" > "$corpus/no-end-$n.opt"
done < <(tr -d '\r' < "$all" | grep -a '^/[A-Z ]*/$' | grep -v '^/END/$' | sort -u)

# Query texts of the forms the program writes.
n=0
while IFS= read -r query; do
  n=$((n + 1))
  printf '%s' "$query" > "$seeds/fuzz_access_sql/query-$n.sql"
done <<'QUERIES'
SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS="32510");
SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS like "32###") AND (Counties.COUNTY not like "The State*"));
SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment Types].[Engine Type], [Equipment Types].Classification FROM [Equipment Types] WHERE (SCC="2270002003");
SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT TYPES] WHERE SCC LIKE "22[6-7]000[!0-1]0?0*" ORDER BY SCC;
SELECT COUNTY FROM Counties WHERE AREA > 1.5e2 OR FIPS = "3200""0";
QUERIES

# Campaign lists: names, comments, blank lines, every line end, a shared output.
printf '# scenarios\r\nNV2030.opt\r\n\r\n  /abs/OR2030.opt  \n#\tnote\rsub/../NV2030.OPT\n' \
  > "$seeds/fuzz_campaign/list.txt"
printf 'a.opt\nb.opt\n./a.opt\n' > "$seeds/fuzz_campaign/shared.txt"

# Run records: the documented example, one of a failed run and one of a stopped run.
record="$seeds/fuzz_run_record/example.json"
awk '/^```json$/ { on = 1; next } /^```$/ { on = 0 } on' "$here/docs/run-record.md" > "$record"
sed 's/"status": 0/"status": 3/' "$record" > "$seeds/fuzz_run_record/failed.json"
sed 's/"stopped": null/"stopped": "time limit"/; s/"status": 0/"signal": 9, "signal_name": "Killed"/' \
  "$record" > "$seeds/fuzz_run_record/stopped.json"

share() {
  case "$1" in
    fuzz_options_file) echo $(( seconds / 2 > 0 ? seconds / 2 : 1 )) ;;
    *) echo $(( seconds / 6 > 0 ? seconds / 6 : 1 )) ;;
  esac
}
for target in "${targets[@]}"; do
  echo "== $target: $(share "$target") s"
  # Inputs may grow past the seeds' size from the start; a crash ends the script (pipefail).
  "$dir/fuzz/$target" -max_total_time="$(share "$target")" -max_len=65536 -len_control=0 \
    -timeout=10 -print_final_stats=1 "$seeds/$target" 2>&1 | tail -n 25
done
