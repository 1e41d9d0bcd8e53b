#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test, the short fuzzer runs included. The threaded parts (the
# updater's workers, the internet layer and the digest's hashing thread) run
# once more under ThreadSanitizer in a build of their own, and GCC builds and
# tests the tree once more, so both compilers users have are covered.
#
# Warnings stop the build under CI (CI=true) or with QZ_WERROR=ON only: a
# user's compiler may warn where ours does not.
set -euo pipefail
# A terminal starts programs with SIGPIPE at its default; so do the tests,
# whatever the caller ignored.
if [ -z "${QZ_SIGPIPE_DEFAULT:-}" ]; then
  QZ_SIGPIPE_DEFAULT=1 exec env --default-signal=PIPE bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
bash tools/deps.sh test
werror=${QZ_WERROR:-$([ "${CI:-}" = true ] && echo ON || echo OFF)}
started=$(date +%s)

tsan=build/tsan
CC=clang CXX=clang++ cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZ_TSAN=ON -DQZ_WERROR="$werror"
cmake --build "$tsan" --target qz_test_update qz_test_platform qz_test_patchservice
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp"
QT_QPA_PLATFORM=offscreen "$tsan/bin/qz_test_update" --gtest_brief=1
"$tsan/bin/qz_test_platform" --gtest_brief=1 --gtest_filter='Internet*:ImageDigestWorker*'
"$tsan/bin/qz_test_patchservice" --gtest_brief=1 --gtest_filter='*Digest*'
unset TSAN_OPTIONS

# The prefix is /usr so that the package test installs the Debian layout
# (lib/<multiarch>) into a scratch root.
build=build/test
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_INSTALL_PREFIX=/usr \
  -DQZ_SANITIZE=ON -DQZ_FUZZ=ON -DQZ_BUILD_BENCH=ON -DQZ_WERROR="$werror"
cmake --build "$build"
(cd "$build" && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2)

gcc=build/gcc
CC=gcc CXX=g++ cmake -S . -B "$gcc" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQZ_BUILD_BENCH=ON -DQZ_WERROR="$werror"
cmake --build "$gcc"
(cd "$gcc" && ctest --output-on-failure -j2)
echo "tools/test.sh: every build and test passed in $(( $(date +%s) - started )) s"
