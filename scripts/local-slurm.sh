#!/usr/bin/env bash
# A private single-node Slurm cluster for tests and demos: munge, slurmctld and slurmd from the
# Debian packages, with every file (configuration, munge key and socket, state, spool, pid files,
# logs) in one directory outside the checkout.
#
# Usage: local-slurm.sh start|stop|status
#   start   starts the three daemons and prints SLURM_CONF=<path> for the caller to export;
#           when they already run, says so, prints the same line and exits 0.
#   status  prints whether the cluster runs and, when it does, SLURM_CONF=<path> (exit 0);
#           exit 3 when it does not run.
#   stop    cancels the cluster's jobs and ends exactly the daemons that start started, by their
#           pid files.
#
# Environment:
#   QV_LOCAL_SLURM_DIR   the private directory (default ${XDG_RUNTIME_DIR:-/tmp}/qv-local-slurm)
#   QV_LOCAL_SLURM_PORT  slurmctld's port; slurmd listens on the next one (default: a free pair
#                        from 16817 up, so that the default 6817/6818 and other private clusters
#                        on this machine do not clash)
set -euo pipefail

dir=${QV_LOCAL_SLURM_DIR:-${XDG_RUNTIME_DIR:-/tmp}/qv-local-slurm}
conf=$dir/slurm.conf
daemons=(slurmd slurmctld munged)

usage() {
  echo "usage: $0 start|stop|status" >&2
  exit 2
}

# The pid in DAEMON's pid file, when that process still runs and is that daemon.
live_pid() {
  local name=$1 file=$dir/$1.pid pid
  [ -s "$file" ] || return 1
  pid=$(head -n 1 "$file" | tr -dc 0-9)
  [ -n "$pid" ] || return 1
  # A pid is reused once its process has gone: only a process of the daemon's own name counts.
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 1
  echo "$pid"
}

running() {
  local d
  for d in "${daemons[@]}"; do
    live_pid "$d" >/dev/null || return 1
  done
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# A free port pair from 16817 up, starting at a random step so that clusters started at the same
# moment on this machine seldom try the same pair; FROM skips the pairs below it.
pick_port() {
  local from=$1 p i
  for i in $(seq 0 99); do
    p=$((16817 + ((from + i) % 100) * 10))
    if port_free "$p" && port_free "$((p + 1))"; then
      echo "$p"
      return
    fi
  done
  echo "local-slurm: no free port pair between 16817 and 17808" >&2
  exit 1
}

# Waits up to SECONDS for COMMAND to succeed.
wait_for() {
  local seconds=$1
  shift
  local i
  for i in $(seq 1 $((seconds * 5))); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

fail_start() {
  echo "local-slurm: $1; log excerpt:" >&2
  tail -n 20 "$dir/$2.log" >&2 2>/dev/null || true
  stop_daemons
  exit 1
}

write_conf() {
  local port=$1 host user epilog
  host=$(hostname -s)
  user=$(id -un)
  epilog=$(type -P true)
  cat >"$conf" <<EOF
# Written by local-slurm.sh: a private single-node cluster.
ClusterName=qvlocal
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
# A task starts as soon as a slot is free: no batching delay of submissions, no throttle of the
# event-driven scheduler, and the periodic and back-fill passes every second instead of every
# minute and every half minute.
SchedulerType=sched/backfill
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0,sched_interval=1,bf_interval=1
# Without an epilog, slurmd answers the end of a job whose steps have gone with "already
# complete", and slurmctld only queues a scheduling pass for its next one-second tick: a task of
# 1 s then waits about a second for its slot. The epilog-complete message that an epilog brings
# runs the scheduler at once, so the next task starts within tens of milliseconds.
Epilog=$epilog
SlurmdParameters=config_overrides
ReturnToService=2
KillWait=5
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

start() {
  if running; then
    echo "local Slurm already running in $dir"
    echo "SLURM_CONF=$conf"
    return 0
  fi
  local cmd
  for cmd in munged slurmctld slurmd sinfo; do
    command -v "$cmd" >/dev/null || PATH=$PATH:/usr/sbin:/sbin
    command -v "$cmd" >/dev/null || {
      echo "local-slurm: $cmd is not installed (bash scripts/setup.sh installs it)" >&2
      exit 1
    }
  done
  # What is left of a half-started or crashed cluster goes first, so nothing runs twice.
  stop_daemons
  mkdir -p "$dir/state" "$dir/spool"
  chmod 0700 "$dir"
  if [ ! -s "$dir/munge.key" ]; then
    head -c 1024 /dev/urandom >"$dir/munge.key"
    chmod 0400 "$dir/munge.key"
  fi
  export SLURM_CONF=$conf

  munged -f --key-file="$dir/munge.key" --socket="$dir/munge.socket" \
    --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge.seed" ||
    fail_start "munged did not start" munged
  wait_for 10 test -S "$dir/munge.socket" || fail_start "munged made no socket" munged

  # Another cluster may take the ports between the check and the bind: then the next pair.
  local attempt step=$((RANDOM % 100)) port
  for attempt in 1 2 3 4 5; do
    if [ -n "${QV_LOCAL_SLURM_PORT:-}" ]; then
      port=$QV_LOCAL_SLURM_PORT
    else
      port=$(pick_port "$step")
      step=$(((port - 16817) / 10 + 1))
    fi
    write_conf "$port"
    : >"$dir/slurmctld.log"
    slurmctld -i || fail_start "slurmctld did not start" slurmctld
    wait_for 20 ctld_settled || true
    scontrol ping >/dev/null 2>&1 && break
    grep -q "Address already in use" "$dir/slurmctld.log" && [ -z "${QV_LOCAL_SLURM_PORT:-}" ] ||
      fail_start "slurmctld does not answer" slurmctld
  done
  scontrol ping >/dev/null 2>&1 || fail_start "slurmctld found no free port" slurmctld
  slurmd || fail_start "slurmd did not start" slurmd
  wait_for 30 node_ready || fail_start "the node did not come up" slurmd
  echo "local Slurm started in $dir"
  echo "SLURM_CONF=$conf"
}

# slurmctld answers, or has given up.
ctld_settled() {
  scontrol ping >/dev/null 2>&1 || grep -q "fatal:" "$dir/slurmctld.log"
}

node_ready() {
  local state
  state=$(sinfo -h -N -o %t 2>/dev/null | head -n 1)
  case $state in idle* | mix* | alloc*) return 0 ;; esac
  return 1
}

stop_daemons() {
  local d pid
  if [ -f "$conf" ] && running; then
    # Jobs still running would leave their step daemons behind once slurmd has gone.
    SLURM_CONF=$conf scancel --quiet --user="$(id -un)" 2>/dev/null || true
    SLURM_CONF=$conf wait_for 10 no_steps || true
  fi
  for d in "${daemons[@]}"; do
    pid=$(live_pid "$d") || {
      rm -f "$dir/$d.pid"
      continue
    }
    kill -TERM "$pid" 2>/dev/null || true
    wait_for 15 bash -c "! kill -0 $pid" || kill -KILL "$pid" 2>/dev/null || true
    rm -f "$dir/$d.pid"
  done
}

no_steps() {
  [ -z "$(squeue -h -t RUNNING,COMPLETING -o %i 2>/dev/null)" ]
}

status() {
  if running; then
    echo "local Slurm running in $dir"
    echo "SLURM_CONF=$conf"
    return 0
  fi
  echo "local Slurm not running ($dir)"
  return 3
}

[ $# -eq 1 ] || usage
case $1 in
  start) start ;;
  stop)
    stop_daemons
    echo "local Slurm stopped ($dir)"
    ;;
  status) status ;;
  *) usage ;;
esac
