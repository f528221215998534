#!/usr/bin/env bash
# Builds KRVS, makes a demo catalogue beside it when none is there, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target KRVS krvs-makedb
[ -f build/bin/KRVS.krv ] || build/bin/krvs-makedb --cards 500 build/bin/KRVS.krv
exec build/bin/KRVS
