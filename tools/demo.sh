#!/usr/bin/env bash
# The main job: builds the library, the qzupdate host and the demo patch
# service; starts the service on loopback, lets the host check for a patch
# and download it, and stops the service again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh demo

build=build/release
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF
cmake --build "$build" --target qzupdate qzdemoservice QzAutoUpdate
qz="$build/bin/qzupdate"

work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/qzdemoservice" demo/service --port-file "$work/port" >/dev/null &
service_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "demo service did not start" >&2; exit 1; }
service="http://127.0.0.1:$(cat "$work/port")/patch.xml"
mkdir -p "$work/downloads"

run() {
  echo "\$ qzupdate $*"
  "$qz" "$@"
  echo
}
common=(--service-url "$service" --program QzDemo --version 1.0.0.0 --language en-GB
        --download-folder "$work/downloads")
run check "${common[@]}"
run download "${common[@]}" --patch-file QzDemo-Setup.exe
ls -l "$work/downloads"
echo
echo "Unknown actions and a missing configuration get their result codes:"
set +e
"$qz" action 0; echo "(exit status $?)"
"$qz" action 5; echo "(exit status $?)"
