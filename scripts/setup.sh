#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when they are there.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config ccache clang-format dpkg-dev file
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libsqlite3-dev mdbtools-dev libssl-dev
  clang libclang-rt-14-dev
  qt6-base-dev libqt6test6 libxcb1-dev fonts-dejavu-core xvfb xauth xdotool x11-utils
  slurmctld slurmd slurm-client munge
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
