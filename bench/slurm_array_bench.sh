#!/usr/bin/env bash
# The private Slurm cluster running a job array of 20 tasks of 1 s, at most 2 at a time, from
# submission until the last task has ended, against the 10 s that two slots allow; then 200 tasks
# of 0.1 s the same way, against their 10 s.
# Usage: bench/slurm_array_bench.sh   (LOCAL_SLURM=path picks another start script)
# Starts its own cluster in a private folder and stops it at the end.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
script=${LOCAL_SLURM:-$src/scripts/local-slurm.sh}
export QV_LOCAL_SLURM_DIR=${QV_LOCAL_SLURM_DIR:-/tmp/qv-slurm-bench-$$}
trap 'bash "$script" stop >/dev/null 2>&1 || true; rm -rf "$QV_LOCAL_SLURM_DIR"' EXIT
eval "export $(bash "$script" start | grep '^SLURM_CONF=')"
work=$(mktemp -d)

for shape in "20 1" "200 0.1"; do
  read -r tasks seconds <<<"$shape"
  for attempt in 1 2 3; do
    a=$(date +%s%N)
    job=$(sbatch --parsable --array=0-$((tasks - 1))%2 -o "$work/%a.log" --wrap "sleep $seconds")
    while squeue -h -j "$job" 2>/dev/null | grep -q .; do sleep 0.1; done
    b=$(date +%s%N)
    echo "$tasks tasks of $seconds s, --max-parallel 2: $(((b - a) / 1000000)) ms" \
      "(two slots: $(awk -v t="$tasks" -v s="$seconds" 'BEGIN { print t * s / 2 * 1000 }') ms)"
  done
done
rm -rf "$work"
