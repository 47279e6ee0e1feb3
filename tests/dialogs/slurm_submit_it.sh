#!/usr/bin/env bash
# Integration: the Submit to Slurm dialog submits a campaign to a private single-node cluster
# (scripts/local-slurm.sh) and the task runs the scenario. Runs the one widget test that needs
# the cluster, and stops the cluster.
#
# Usage: slurm_submit_it.sh DIALOG_TESTS QV_DEMO_MODEL LOCAL_SLURM_SCRIPT
# Exit status 77 (skipped) when the Slurm packages are missing or the cluster cannot start.
set -euo pipefail

dialog_tests=$1 demo_model=$2 local_slurm=$3
PATH=$PATH:/usr/sbin:/sbin

for tool in munged slurmctld slurmd sbatch; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (bash scripts/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
export QV_LOCAL_SLURM_DIR=$work/slurm
cleanup() {
  bash "$local_slurm" stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

if ! started=$(bash "$local_slurm" start 2>&1); then
  echo "skipped: the local Slurm cluster cannot start on this machine:"
  echo "$started"
  exit 77
fi
conf=$(sed -n 's/^SLURM_CONF=//p' <<<"$started")
[ -f "$conf" ] || { echo "FAILED: start printed no SLURM_CONF line: $started"; exit 1; }

QV_TEST_SLURM_CONF=$conf QV_TEST_DEMO_MODEL=$demo_model QT_QPA_PLATFORM=offscreen \
  "$dialog_tests" --gtest_filter='SlurmSubmitTest.RealSlurm*' --gtest_brief=0
