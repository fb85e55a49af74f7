#!/usr/bin/env bash
# Installs the Debian packages a make target needs, only those that are missing.
# Usage: scripts/deps.sh build|test|demo|bench|fuzz ...
set -euo pipefail

build=(cmake ninja-build g++ make pkg-config gettext qt6-base-dev qt6-serialport-dev libzxing-dev
       libgl-dev)
test=(libgtest-dev libgmock-dev fonts-dejavu-core)
demo=(xvfb xauth)
bench=(ser2net)
fuzz=(clang-14 libclang-rt-14-dev)

wanted=()
for set in "$@"; do
  declare -n list="$set"
  wanted+=("${list[@]}")
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# A package that apt does not know yet needs a fresh package list first.
for p in "${missing[@]}"; do
  if ! apt-cache show "$p" >/dev/null 2>&1; then
    "${sudo[@]}" apt-get update -qq
    break
  fi
done
echo "Installing: ${missing[*]}"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
