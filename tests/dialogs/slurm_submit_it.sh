#!/usr/bin/env bash
# Integration: the Submit to Slurm dialog submits a campaign to a private single-node cluster
# (scripts/local-slurm.sh) and the task runs the scenario. Runs the one widget test that needs
# the cluster, and stops the cluster.
#
# Usage: slurm_submit_it.sh DIALOG_TESTS QV_DEMO_MODEL LOCAL_SLURM_SCRIPT
# Exit status 77 (skipped) when the Slurm packages are missing or the cluster cannot start.
set -euo pipefail

dialog_tests=$1 demo_model=$2 local_slurm=$3
source "$(dirname "$0")/../support/local_slurm.sh"

QV_TEST_SLURM_CONF=$conf QV_TEST_DEMO_MODEL=$demo_model QT_QPA_PLATFORM=offscreen \
  "$dialog_tests" --gtest_filter='SlurmSubmitTest.RealSlurm*' --gtest_brief=0
