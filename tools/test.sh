#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test, the short fuzzer runs included. The threaded parts (the
# updater's workers and the internet layer) run once more under
# ThreadSanitizer in a build of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh test

tsan=build/tsan
CC=clang CXX=clang++ cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZ_TSAN=ON
cmake --build "$tsan" --target qz_test_update qz_test_platform
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp"
QT_QPA_PLATFORM=offscreen "$tsan/bin/qz_test_update" --gtest_brief=1
"$tsan/bin/qz_test_platform" --gtest_brief=1 --gtest_filter='Internet*'
unset TSAN_OPTIONS

build=build/test
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQZ_SANITIZE=ON -DQZ_FUZZ=ON -DQZ_BUILD_BENCH=ON
cmake --build "$build"
cd "$build"
UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2
