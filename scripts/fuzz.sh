#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for the given seconds on a copy of
# its seed corpus: the corpus in the tree stays as it is. Fails when any
# harness finds a crash, a leak or undefined behaviour; what it found is kept
# in the build folder (fuzz-findings/).
# Usage: scripts/fuzz.sh [seconds-per-harness (300)] [build-dir (build-fuzz)]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
build=${2:-$root/build-fuzz}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "seconds must be a whole number above 0" >&2; exit 2; }

CC=clang CXX=clang++ "$root/scripts/build.sh" "$build" -DDRAVIK_FUZZ=ON

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
findings=$build/fuzz-findings
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"

failed=()
summary=()
for seeds in "$root"/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  harness=$build/bin/$name
  [[ -x "$harness" ]] || { echo "no harness $name" >&2; failed+=("$name"); continue; }
  corpus=$work/$name
  cp -r "$seeds" "$corpus"
  log=$build/$name.log
  echo "== $name: $seconds s"
  status=0
  "$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$name-" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -1)
  if [[ $status -ne 0 ]]; then
    failed+=("$name")
    summary+=("$name: FAILED (exit $status), see $log")
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -5 >&2 || true
  else
    summary+=("$name: ${runs:-no run count}")
  fi
done

echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "findings in: ${failed[*]} (inputs in $findings)" >&2
  exit 1
fi
