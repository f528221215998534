#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each from its seed corpus.
# Without KRVS_FUZZ_SEED: a fixed number of inputs per target (about half a minute
# each here) from a fixed random seed, so that a run finds what the same run found
# before; KRVS_FUZZ_SECONDS (60 by default) caps each target's time.
# With KRVS_FUZZ_SEED: a longer hunt from that seed, each target running for
# KRVS_FUZZ_SECONDS (600 by default) whatever number of inputs that takes.
# Targets named as arguments run alone (scripts/fuzz.sh fuzz_dialect).
# A crash or a failed check fails the run, and the input that caused it is printed
# (base64) so that it can be replayed:
#   build-fuzz/bin/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${KRVS_FUZZ_SEED:-}" ]; then
  seed="$KRVS_FUZZ_SEED"
  seconds="${KRVS_FUZZ_SECONDS:-600}"
  hunt=1
else
  seed=1
  seconds="${KRVS_FUZZ_SECONDS:-60}"
  hunt=0
fi
case "$seed$seconds" in
  *[!0-9]*) echo "KRVS_FUZZ_SEED and KRVS_FUZZ_SECONDS take whole numbers" >&2; exit 2 ;;
esac
# target:inputs
targets=(fuzz_dialect:1000000 fuzz_keywords:80000 fuzz_updatefile:3000000 fuzz_checklist:300000
         fuzz_settings:36000)
if [ "$#" -gt 0 ]; then
  chosen=()
  for name in "$@"; do
    found=""
    for entry in "${targets[@]}"; do
      [ "${entry%%:*}" = "$name" ] && found="$entry"
    done
    [ -n "$found" ] || { echo "no fuzz target $name" >&2; exit 2; }
    chosen+=("$found")
  done
  targets=("${chosen[@]}")
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKRVS_FUZZ=ON -DKRVS_BUILD_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target krvs_fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
for entry in "${targets[@]}"; do
  t="${entry%%:*}"
  # A hunt runs for its time; the fixed run stops at its count of inputs.
  limit=(-runs="${entry##*:}")
  [ "$hunt" = 1 ] && limit=()
  mkdir -p "$work/$t"
  # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
  if ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
     "build-fuzz/bin/$t" -seed="$seed" "${limit[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
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
