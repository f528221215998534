#!/usr/bin/env bash
# Builds everything from nothing and runs every test: once in a normal build (and its
# window-placement tests under a real window manager), once with AddressSanitizer and
# UndefinedBehaviorSanitizer, then builds, installs and tries the Debian package, and
# last runs each fuzz target for about half a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

rm -rf build-test build-asan
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure -j"$jobs")
# The window-placement tests again, on a display with a real window manager.
bash scripts/test-wm.sh build-test

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKRVS_SANITIZE=ON
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

# The Debian package: built, installed, started as an ordinary user, removed.
bash scripts/make-deb.sh
bash scripts/test-package.sh

# The fuzz targets, each for a fixed number of inputs from a fixed seed.
bash scripts/fuzz.sh
