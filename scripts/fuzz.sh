#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each
# for a bounded time, starting from its committed corpus (fuzz/corpus/NAME).
# Fails when any target crashes, leaks, hits undefined behaviour or breaks
# one of its checks; the input is kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(text read_line probe ping config lzw draw)

cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

mkdir -p build-fuzz/artifacts build-fuzz/logs
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failed=()
for t in "${targets[@]}"; do
  # New inputs go to a scratch folder; the committed corpus is only read.
  mkdir -p "$scratch/$t"
  log="build-fuzz/logs/$t.log"
  start=$SECONDS
  status=0
  "build-fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=8192 -print_final_stats=1 -artifact_prefix="$root/build-fuzz/artifacts/$t-" \
    "$scratch/$t" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  if [ "$status" -ne 0 ]; then
    echo "fuzz $t: FAILED after $((SECONDS - start)) s (status $status), log $log" >&2
    grep -E -m1 -A12 'ERROR|property failed|runtime error' "$log" >&2 || tail -20 "$log" >&2
    failed+=("$t")
  else
    echo "fuzz $t: ${runs:-?} inputs in $((SECONDS - start)) s, no fault"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
