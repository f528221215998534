#!/usr/bin/env bash
# Builds everything from nothing and runs every check, stage by stage: the formatting of
# every C++ file; a normal build with warnings as errors, its tests (and its
# window-placement tests under a real window manager) and clang-tidy over its compile
# commands; the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer;
# the Debian package built, checked by Debian's tools, installed and tried; last each
# fuzz target for a fixed run.
# Each stage says how long it took; the first that fails stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

stage() {
  local name="$1" start=$SECONDS
  shift
  echo "=== $name"
  "$@"
  echo "=== $name: done in $((SECONDS - start)) s"
}

normal_build() {
  rm -rf build-test
  cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  cmake --build build-test -j"$jobs"
}
normal_tests() {
  (cd build-test && ctest --output-on-failure -j"$jobs")
  # The window-placement tests again, on a display with a real window manager.
  bash scripts/test-wm.sh build-test
}
sanitizer_build_and_tests() {
  rm -rf build-asan
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKRVS_SANITIZE=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  cmake --build build-asan -j"$jobs"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs")
}
# The Debian package: built, judged by Debian's tools (lintian, desktop-file-validate,
# appstreamcli, man), installed, started as an ordinary user, removed.
package() {
  bash scripts/make-deb.sh
  bash scripts/lint-package.sh
  bash scripts/test-package.sh
}

stage formatting bash scripts/check-format.sh
stage "normal build" normal_build
stage "normal tests" normal_tests
stage "static analysis" bash scripts/static-analysis.sh build-test
stage "sanitizer build and tests" sanitizer_build_and_tests
stage package package
# The fuzz targets, each for a fixed number of inputs from a fixed seed.
stage fuzzing bash scripts/fuzz.sh
