#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test, the short fuzzer runs included.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh test

build=build/test
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQZ_SANITIZE=ON -DQZ_FUZZ=ON -DQZ_BUILD_BENCH=ON
cmake --build "$build"
cd "$build"
UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2
