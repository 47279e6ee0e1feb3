#!/usr/bin/env bash
# Whole-process costs of campaigns, each beside the reference it is judged against, at one size
# and at ten times that size, so that a cost growing faster than the work shows.
# Usage: bench/campaign_costs.sh [BUILD_DIR] [ROW...]
#   rows: run-folder make run status save flood (all when none is named)
#   QVOPT=path   the qvopt to measure (default BUILD_DIR/qvopt), so that two builds compare
#   REPEAT=n     repetitions of the short measurements (default 7)
#   SMALL=n      scenarios of the 1x batch run (default 100; 10x runs ten times as many)
#   RUNS=n       repetitions of each batch run and of its reference (default 3)
#   MAKE_YEARS=y,y,...  a further make row: every county in each of these years, so that a
#                make of several times 3,221 files shows how its cost grows (default none)
#   NULL_MODEL=sh|c  the model that does nothing: a shell script, or BUILD_DIR/bench/null_model
#                (default c where it is built), whose own cost hides less of qvopt's
# Every figure is min/median/max in milliseconds over the repetitions.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
shift || true
rows=${*:-run-folder make run status save flood}
qvopt=${QVOPT:-$build/qvopt}
repeat=${REPEAT:-7}
small=${SMALL:-100}
runs=${RUNS:-3}
null_c=$build/bench/null_model
null_model=${NULL_MODEL:-$([ -x "$null_c" ] && echo c || echo sh)}
demo=$build/examples/demo/model
[ -x "$qvopt" ] || { echo "no $qvopt: build first" >&2; exit 2; }
[ -f "$demo/reports/reports.mdb" ] || { echo "no demo workspace in $build" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now_ns() { date +%s%N; }

# Times one command line (given as arguments) REPEAT times; prints "min/median/max".
times_of() {
  local n=$1; shift
  local -a t=()
  local i a b
  for ((i = 0; i < n; ++i)); do
    a=$(now_ns)
    "$@" >/dev/null 2>&1 || true
    b=$(now_ns)
    t+=($(((b - a) / 1000000)))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    printf "%d/%d/%d", v[1], v[int((NR + 1) / 2)], v[NR] }'
}

# The median of a "min/median/max" triple.
median() { echo "$1" | cut -d/ -f2; }

row() {  # name, figure, reference name, reference figure
  local r
  r=$(awk -v a="$(median "$2")" -v b="$(median "$4")" 'BEGIN {
    if (b > 0) printf "%.2fx", a / b; else print "-" }')
  printf '%-34s %-18s %-22s %-18s %s\n' "$1" "$2" "$3" "$4" "$r"
}

workspace() {  # folder: a copy of the demo workspace with a model that does nothing but its files
  mkdir -p "$1"
  cp -r "$demo/." "$1/"
  cat >"$1/null-model" <<'EOF'
#!/bin/sh
# Writes the two result files the options file names and nothing else.
m=$(sed -n 's/^MESSAGE *: *//p' "$1" | tr -d '\r')
o=$(sed -n 's/^OUTPUT DATA *: *//p' "$1" | tr -d '\r')
: >"$m"; : >"$o"
EOF
  chmod +x "$1/null-model"
  if [ "$null_model" = c ]; then cp "$null_c" "$1/null-model"; fi
}

printf '%-34s %-18s %-22s %-18s %s\n' measure "ms min/med/max" reference "ms min/med/max" ratio

for r in $rows; do
  case $r in
  run-folder)
    # One qvopt run in a folder of many files against the same in a folder of a hundred.
    for files in 103 1612 16121; do
      ws=$work/rf$files
      workspace "$ws"
      for ((i = 0; i < files; ++i)); do : >"$ws/f$i.dat"; done
      t=$(times_of "$repeat" "$qvopt" --model-dir "$ws" --model-exe null-model run "$ws/demo.opt")
      [ "$files" = 103 ] && base=$t
      row "qvopt run, folder of $files" "$t" "folder of 103" "$base"
      rm -rf "$ws"
    done
    ;;
  make)
    # batch make of one file per county against cp -r of what it wrote.
    ws=$work/mk
    workspace "$ws"
    every=$(awk -F, 'NR > 1 && $1 !~ /^(AS|GU|MP|UM|VI)$/ { print $1 }' \
      "$src/examples/demo/reference/fips-counties.csv" | sort -u | tr '\n' ' ')
    for states in "TX OK" "$every" ${MAKE_YEARS:+"$every --years $MAKE_YEARS"}; do
      t=$(times_of 3 bash -c "rm -rf '$ws/out'; '$qvopt' --model-dir '$ws' batch make '$ws/demo.opt' --out '$ws/out' --each-county $states")
      n=$(find "$ws/out" -name '*.opt' | wc -l)
      c=$(times_of 3 bash -c "rm -rf '$ws/copy'; cp -r '$ws/out' '$ws/copy'")
      row "batch make, $n files" "$t" "cp -r of them" "$c"
    done
    rm -rf "$ws"
    ;;
  run | status)
    # batch run -j 2 against the model started directly, two at a time; then batch status.
    for n in "$small" $((small * 10)); do
      ws=$work/br$n
      workspace "$ws"
      for ((i = 0; i < n; ++i)); do
        sed "s|outputs\\\\demo|S$i|" "$ws/demo.opt" >"$ws/S$i.opt"
        echo "S$i.opt" >>"$ws/campaign.txt"
      done
      if [ "$r" = run ]; then
        t=$(times_of "$runs" "$qvopt" --model-dir "$ws" --model-exe null-model batch run "$ws/campaign.txt" -j 2 --force)
        d=$(times_of "$runs" bash -c "cd '$ws' && ls S*.opt | xargs -P 2 -n 1 ./null-model")
        row "batch run -j 2, $n scenarios ($null_model)" "$t" "model alone, 2 at a time" "$d"
        per=$(awk -v a="$(median "$t")" -v b="$(median "$d")" -v n="$n" 'BEGIN {
          printf "%.1f", (a - b) * 2 / n }')
        echo "  overhead per run: $per ms"
      else
        "$qvopt" --model-dir "$ws" --model-exe null-model batch run "$ws/campaign.txt" -j 2 \
          >/dev/null 2>&1 || true
        t=$(times_of "$repeat" "$qvopt" --model-dir "$ws" batch status "$ws/campaign.txt")
        row "batch status, $n scenarios" "$t" "target 300 ms at 3,224" "300/300/300"
      fi
      rm -rf "$ws"
    done
    ;;
  save)
    # Merge-save of a file of many allocation lines against cp of that file.
    for lines in 6000 60000; do
      ws=$work/sv$lines
      workspace "$ws"
      {
        sed -n '/\/ALLOC FILES\//q;p' "$ws/demo.opt"
        printf '/ALLOC FILES/\r\n'
        for ((i = 0; i < lines; ++i)); do printf 'Allocation File    : data\\allocate\\f%d.alo\r\n' "$i"; done
        printf '/END/\r\n'
        sed -n '/\/POP FILES\//,$p' "$ws/demo.opt"
      } >"$ws/big.opt"
      t=$(times_of "$repeat" "$qvopt" --model-dir "$ws" save "$ws/big.opt" --changed alloc_files_changed)
      c=$(times_of "$repeat" cp "$ws/big.opt" "$ws/copy.opt")
      row "merge-save, $lines lines" "$t" "cp" "$c"
      rm -rf "$ws"
    done
    ;;
  flood)
    # A model printing 100 MB in 4 KiB pieces under qvopt run against the same alone to a file.
    ws=$work/fl
    workspace "$ws"
    cat >"$ws/flood-model" <<'EOF'
#!/bin/sh
dd if=/dev/zero bs=4096 count=24414 status=none | tr '\0' 'x'
m=$(sed -n 's/^MESSAGE *: *//p' "$1" | tr -d '\r')
o=$(sed -n 's/^OUTPUT DATA *: *//p' "$1" | tr -d '\r')
: >"$m"; : >"$o"
EOF
    chmod +x "$ws/flood-model"
    t=$(times_of "$repeat" "$qvopt" --model-dir "$ws" --model-exe flood-model run "$ws/demo.opt")
    a=$(times_of "$repeat" bash -c "cd '$ws' && ./flood-model demo.opt >'$ws/alone.log'")
    row "model printing 100 MB, qvopt run" "$t" "alone to a file" "$a"
    rm -rf "$ws"
    ;;
  *) echo "unknown row $r" >&2; exit 2 ;;
  esac
done
