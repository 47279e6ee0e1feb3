#!/usr/bin/env bash
# Integration: a campaign of six scenarios of the demo workspace as a Slurm job array on a private
# single-node cluster (scripts/local-slurm.sh). Submits with `qvopt batch slurm --submit`, waits
# (bounded) until `qvopt batch status` finds every scenario done, checks the status and the
# results, and stops the cluster. Everything lives in one temporary directory, removed at the end.
#
# Usage: slurm_batch_it.sh QVOPT QV_DEMO_MODEL DEMO_MODEL_DIR LOCAL_SLURM_SCRIPT
# Exit status 77 (skipped) when the Slurm packages are missing or the cluster cannot start.
set -euo pipefail

qvopt=$1 demo_model=$2 demo=$3 local_slurm=$4
QV_SLURM_TOOLS="munged slurmctld slurmd sbatch squeue"
source "$(dirname "$0")/../support/local_slurm.sh"

fail() {
  echo "FAILED: $*"
  for log in "$work"/campaign.txt.slurm-logs/*.log; do
    [ -f "$log" ] && { echo "--- $log"; cat "$log"; }
  done
  exit 1
}

export SLURM_CONF=$conf

again=$(bash "$local_slurm" start) || fail "a second start did not exit 0"
grep -q "already running" <<<"$again" || fail "a second start did not say so: $again"

# Six scenarios, each with its own result files and region, so their outputs differ.
model=$work/model
cp -r "$demo" "$model"
cp "$demo_model" "$model/qv-demo-model"
mkdir -p "$model/outputs"
states=(06000 32000 41000 04000 16000 49000)
{
  echo "# six variants of the demo scenario"
  for i in 0 1 2 3 4 5; do
    sed -e "s/outputs\\\\demo\\./outputs\\\\s$i./" \
      -e "s/^California  *: 06000/State              : ${states[$i]}/" \
      "$model/demo.opt" >"$model/s$i.opt"
    echo "model/s$i.opt"
    [ "$i" = 2 ] && echo
  done
} >"$work/campaign.txt"

cd "$work"
export QV_DEMO_MODEL_SECONDS=1
common=(--model-dir model --model-exe qv-demo-model)

job=$("$qvopt" "${common[@]}" batch slurm campaign.txt --max-parallel 2 --time 00:05:00 --submit) ||
  fail "batch slurm --submit failed"
[[ $job =~ ^[0-9]+$ ]] || fail "--submit printed \"$job\" instead of a job id alone"
grep -q "^#SBATCH --array=0-5%2$" campaign.txt.sbatch || fail "no array of six tasks in the script"
grep -q "'$work/model' " campaign.txt.sbatch || fail "the model directory is not absolute"
echo "submitted job $job"

if "$qvopt" "${common[@]}" batch status campaign.txt >/dev/null; then
  fail "batch status said all done right after the submission"
fi

# Task ids are "<job>_<index>", as sbatch printed the job and as the log files are named, also
# once a task runs (then Slurm gives it an id of its own).
seen_running=""
done_in=""
for second in $(seq 1 90); do
  "$qvopt" "${common[@]}" batch status campaign.txt --json >"$work/poll.json" || true
  ids=$(grep -o '"slurm_task": "[^"]*"' "$work/poll.json" | cut -d'"' -f4 || true)
  for id in $ids; do
    [[ $id =~ ^${job}_[0-5]$ ]] || fail "task id $id is not of job $job"
  done
  grep -q '"slurm_state": "RUNNING"' "$work/poll.json" && seen_running=yes
  if "$qvopt" "${common[@]}" batch status campaign.txt >"$work/status.txt"; then
    done_in=$second
    break
  fi
  sleep 1
done
cat "$work/status.txt"
[ -n "$done_in" ] || fail "the six scenarios were not done within 90 s"
echo "all done after about $done_in s"
[ -n "$seen_running" ] || echo "note: no poll saw a task running"

"$qvopt" "${common[@]}" batch status campaign.txt --json >"$work/status.json" ||
  fail "batch status --json did not exit 0"
[ "$(grep -c '"state": "done"' "$work/status.json")" = 6 ] || fail "not six done in the JSON"
grep -q '"all_done": true' "$work/status.json" || fail "all_done is not true"

for i in 0 1 2 3 4 5; do
  grep -q "^${states[$i]}," "$model/outputs/s$i.out" || fail "s$i.out has no row of ${states[$i]}"
done
[ "$(ls campaign.txt.slurm-logs | wc -l)" = 6 ] || fail "not one log per task"

again=$("$qvopt" "${common[@]}" batch slurm campaign.txt) || fail "a second batch slurm failed"
grep -q "up to date; no job script written" <<<"$again" || fail "up-to-date scenarios were sent again: $again"

pids=$(cat "$QV_LOCAL_SLURM_DIR"/*.pid)
bash "$local_slurm" stop
for pid in $pids; do
  ! kill -0 "$pid" 2>/dev/null || fail "daemon $pid still runs after stop"
done
if bash "$local_slurm" status >/dev/null; then
  fail "status says the cluster runs after stop"
fi
echo "passed"
