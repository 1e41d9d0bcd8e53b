#!/usr/bin/env bash
# Builds the image generator and redraws the default skin's images into
# skin/images/. BUILD_DIR names a configured build tree to use (default
# build/skinimages, configured here on first use).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/skinimages}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF
fi
cmake --build "$build" --target qz_skinimages
rm -rf skin/images
"$build/bin/qz_skinimages" skin/images
