#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for KRVS_FUZZ_SECONDS (30 by
# default) from its seed corpus. A crash or a failed check fails the run, and the
# input that caused it is printed (base64) so that it can be replayed:
#   build-fuzz/bin/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${KRVS_FUZZ_SECONDS:-30}"
targets=(fuzz_dialect fuzz_keywords fuzz_updatefile fuzz_checklist fuzz_settings)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKRVS_FUZZ=ON -DKRVS_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target krvs_fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
for t in "${targets[@]}"; do
  mkdir -p "$work/$t"
  # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
  if ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
     "build-fuzz/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$work/$t-" "$work/$t" "tests/fuzz/corpus/$t" >"$work/$t.log" 2>&1; then
    echo "$t: $(grep -E '^(#[0-9]+|Done)' "$work/$t.log" | tail -n 1)"
  else
    failed=1
    echo "$t: FAILED"
    tail -n 60 "$work/$t.log"
    for f in "$work/$t-"*; do
      [ -f "$f" ] || continue
      echo "reproducer $(basename "$f") (base64):"
      base64 "$f"
    done
  fi
done
exit "$failed"
