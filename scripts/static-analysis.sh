#!/usr/bin/env bash
# Runs clang-tidy (Debian's clang-tidy 14) with the checks of .clang-tidy over every
# source file of the program, its tools and the benchmark, with the compile commands of
# a configured build (the folder given, build-test by default); any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-test}"
[ -f "$build/compile_commands.json" ] || {
  echo "$build/compile_commands.json is missing: configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON" >&2
  exit 2
}
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'tools/*.cpp' 'bench/*.cpp')
else
  mapfile -t files < <(find src tools bench -name '*.cpp' | sort)
fi
# Each file once; a file with a finding makes its clang-tidy, and so xargs, fail.
# The compile commands are GCC's: clang does not know GCC's -Wrestrict, and with
# warnings as errors that unknown option alone would fail every file.
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 2 clang-tidy -p "$build" --quiet \
  --extra-arg=-Wno-unknown-warning-option
echo "static analysis: ${#files[@]} files, no finding"
