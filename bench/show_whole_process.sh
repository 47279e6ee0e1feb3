#!/usr/bin/env bash
# Whole-process timing of `qvopt show` on an options file whose region lists every county at
# level COUNTY and whose source packet lists 500 codes:
#   validated:     against the demo reference database (model directory of the build);
#   not validated: the same bytes with a model directory that holds no reference database, so
#                  the reader stops at the region packet's database open.
# Usage: bench/show_whole_process.sh [BUILD_DIR]   (needs hyperfine)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
qvopt="${QVOPT:-$build/qvopt}"
model="$build/examples/demo/model"
[ -x "$qvopt" ] || { echo "no $qvopt: build first" >&2; exit 2; }
[ -f "$model/reports/reports.mdb" ] || { echo "no demo reference database in $model" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/empty-model"

{
    printf '/RUNFILES/\r\nMESSAGE            : x.msg\r\nOUTPUT DATA        : x.out\r\n/END/\r\n'
    printf '/OPTIONS/\r\nTitle 1            : t\r\nTitle 2            :\r\n'
    printf 'Fuel RVP for gas   : 9\r\nOxygen Weight %%    : 0\r\n/END/\r\n'
    printf '/PERIOD/\r\nPeriod type        : Annual\r\nSummation type     : Typical day\r\n'
    printf 'Year of episode    : 2020\r\nSeason of year     :\r\nMonth of year      :\r\n'
    printf 'Weekday or weekend : Weekday\r\nYear of growth calc: 2020\r\n'
    printf 'Year of tech sel   : 2020\r\n/END/\r\n'
    printf '/ALLOC FILES/\r\n/END/\r\n/POP FILES/\r\n/END/\r\n/EMFAC FILES/\r\n/END/\r\n'
    printf '/REGION/\r\nRegion Level       : COUNTY\r\n'
    # Territories outside the state table would stop the validation at their first code.
    awk -F, 'NR > 1 && $2 != "60" && $2 != "66" && $2 != "69" && $2 != "74" {
        printf "County             : %s%s\r\n", $2, $3 }' "$src/examples/demo/reference/fips-counties.csv"
    printf '/END/\r\n/SOURCE CATEGORY/\r\n'
    awk -F, 'NR > 1 { scc[n++] = $1 } END {
        for (i = 0; i < 500; ++i) printf "                   :%s\r\n", scc[i % n] }' \
        "$src/examples/demo/reference/equipment-types.csv"
    printf '/END/\r\n'
} >"$work/big.opt"

cd "$work"
hyperfine --warmup 3 --min-runs 20 -N -i \
    -n validated "$qvopt --model-dir $model show big.opt" \
    -n "not validated" "$qvopt --model-dir $work/empty-model show big.opt"
