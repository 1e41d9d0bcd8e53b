#!/usr/bin/env bash
# Installs, with apt-get, whatever the build needs and this machine lacks.
# Usage: tools/deps.sh demo|test
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
          libcurl4-openssl-dev libssl-dev openssl libxml2-dev
          qt6-base-dev qt6-svg-dev fonts-dejavu-core fonts-wqy-microhei osslsigncode)
if [ "${1:-test}" = test ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev libinih-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The signing tests need osslsigncode's built-in timestamping (2.6 and
  # later); Debian 12 has it in its backports.
  if [[ " ${missing[*]} " == *" osslsigncode "* ]] && ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "deb http://deb.debian.org/debian bookworm-backports main" > /etc/apt/sources.list.d/qz-backports.list
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
  if [[ " ${missing[*]} " == *" osslsigncode "* ]]; then
    apt-get install -y -qq --no-install-recommends -t bookworm-backports osslsigncode
  fi
fi
