#!/usr/bin/env bash
# Fails when a C++ file of the program, its tools, tests or benchmark differs from
# .clang-format (Debian's clang-format 14); `clang-format -i FILE` puts it right.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' \
    'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h')
else
  mapfile -t files < <(find src tools tests bench -name '*.cpp' -o -name '*.h' | sort)
fi
clang-format --dry-run -Werror "${files[@]}"
echo "formatting: ${#files[@]} files as .clang-format has them"
