# Sourced by the tests that need the private single-node Slurm cluster (scripts/local-slurm.sh).
# Given $local_slurm (that script) and the tools to check for, it skips the test (exit 77) when
# a tool is missing or the cluster cannot start; otherwise it leaves a temporary directory in
# $work (removed at the end, after the cluster was stopped) and the cluster's configuration in
# $conf.
#
# Usage: QV_SLURM_TOOLS="munged slurmctld ..."; source local_slurm.sh
PATH=$PATH:/usr/sbin:/sbin

for tool in ${QV_SLURM_TOOLS:-munged slurmctld slurmd sbatch}; do
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
# A test stopped by its time limit still stops its cluster.
trap 'exit 143' TERM
trap 'exit 130' INT

if ! started=$(bash "$local_slurm" start 2>&1); then
  echo "skipped: the local Slurm cluster cannot start on this machine:"
  echo "$started"
  exit 77
fi
conf=$(sed -n 's/^SLURM_CONF=//p' <<<"$started")
[ -f "$conf" ] || { echo "FAILED: start printed no SLURM_CONF line: $started"; exit 1; }
