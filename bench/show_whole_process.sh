#!/usr/bin/env bash
# Whole-process timing of `qvopt show` on an options file whose region lists every county at
# level COUNTY and whose source packet lists 500 codes:
#   validated:     against the demo reference database (model directory of the build);
#   not validated: the same bytes with a model directory that holds no reference database, so
#                  the reader stops at the region packet's database open.
# SCALE=k (default 1) makes the file k times as big: k x 500 source codes, and beside every county
# (k - 1) times as many codes of known states that the county table does not hold.
# Prints min/median/max of each and the ratios of the medians; a third figure runs validated with
# no loaded copy of the reference database kept from an earlier command.
# Usage: [SCALE=k] bench/show_whole_process.sh [BUILD_DIR]   (needs hyperfine and jq)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
qvopt="${QVOPT:-$build/qvopt}"
model="$build/examples/demo/model"
[ -x "$qvopt" ] || { echo "no $qvopt: build first" >&2; exit 2; }
[ -f "$model/reports/reports.mdb" ] || { echo "no demo reference database in $model" >&2; exit 2; }

scale="${SCALE:-1}"
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
    awk -F, -v scale="$scale" 'NR > 1 && $2 != "60" && $2 != "66" && $2 != "69" && $2 != "74" {
        printf "County             : %s%s\r\n", $2, $3; held[$2 $3] = 1; states[$2] = 1; ++n }
        END {
            extra = (scale - 1) * n
            for (s in states) for (c = 1; c <= 999 && extra > 0; ++c) {
                code = sprintf("%s%03d", s, c)
                if (!(code in held)) { printf "County             : %s\r\n", code; --extra }
            }
        }' "$src/examples/demo/reference/fips-counties.csv"
    printf '/END/\r\n/SOURCE CATEGORY/\r\n'
    awk -F, -v scale="$scale" 'NR > 1 { scc[n++] = $1 } END {
        for (i = 0; i < 500 * scale; ++i) printf "                   :%s\r\n", scc[i % n] }' \
        "$src/examples/demo/reference/equipment-types.csv"
    printf '/END/\r\n'
} >"$work/big.opt"

cd "$work"
# A command takes the reference database loaded by the one before it from the user's cache;
# "nothing kept" empties that cache before each run, so that it loads the file itself.
export XDG_CACHE_HOME="$work/cache"
hyperfine --warmup 3 --min-runs 20 -N -i --export-json "$work/times.json" \
    --prepare true --prepare true --prepare "rm -rf $work/cache" \
    -n validated "$qvopt --model-dir $model show big.opt" \
    -n "not validated" "$qvopt --model-dir $work/empty-model show big.opt" \
    -n "validated, nothing kept" "$qvopt --model-dir $model show big.opt"
jq -r '.results[] | "\(.command): min/median/max \(.min * 1000 | floor)/\(.median * 1000 | floor)/\(.max * 1000 | floor) ms"' "$work/times.json"
jq -r '"validated / not validated, medians: \(.results[0].median / .results[1].median * 100 | round / 100)x"' "$work/times.json"
jq -r '"validated with nothing kept / not validated, medians: \(.results[2].median / .results[1].median * 100 | round / 100)x"' "$work/times.json"
