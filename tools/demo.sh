#!/usr/bin/env bash
# The main job: builds the library and the qzupdate host, then lets the host
# load the library and run actions, printing what comes back.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh demo

build=build/release
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF
cmake --build "$build" --target qzupdate QzAutoUpdate
qz="$build/bin/qzupdate"

run() {
  echo "\$ qzupdate $*"
  set +e; "$qz" "$@"; status=$?; set -e
  echo "(exit status $status)"
  echo
}
run action 0
run action 5
run check --service-url http://127.0.0.1:9/patch --program QzDemo --version 1.0.0.0
