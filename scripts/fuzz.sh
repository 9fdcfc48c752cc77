#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzzer for a bounded time, two at a
# time, each from a scratch copy of its seed corpus (the committed corpus never
# grows by itself). Prints one line per fuzzer; exits non-zero when any of them
# finds a crash, a leak, a sanitizer report or an input that runs too long.
#
#   PINDLEWICK_FUZZ_SECONDS   run time of each fuzzer (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${PINDLEWICK_FUZZ_SECONDS:-30}
per_input_timeout=10  # seconds one input may take before it counts as a hang
parallel_runs=2

# Target and the longest input worth trying on it.
targets=(
  "text_ops_fuzz 1024"
  "codepage_fuzz 1024"
  "media_info_fuzz 4096"
  "cookies_fuzz 4096"
  "regex_fuzz 1024"
  "charset_fuzz 4096"
)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

runs=build/fuzz/runs
rm -rf "$runs"
mkdir -p "$runs"

# Runs one fuzzer in its scratch folder and writes its one-line result there.
run_fuzzer() {
  local target=$1 max_len=$2
  local scratch=$runs/$target
  mkdir -p "$scratch"
  cp -r "fuzz/corpus/$target" "$scratch/corpus"
  local status=0
  build/fuzz/fuzz/"$target" "$scratch/corpus" -max_total_time="$seconds" \
    -max_len="$max_len" -timeout="$per_input_timeout" -artifact_prefix="$scratch/" \
    -print_final_stats=1 >"$scratch/log" 2>&1 || status=$?
  local stats
  stats=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$scratch/log" | tail -n 1 |
    sed -E 's/^#([0-9]+).*cov: ([0-9]+).*exec\/s: ([0-9]+).*/\1 runs, cov \2, \3 exec\/s/')
  if ((status == 0)); then
    echo "ok      $target: $stats" >"$scratch/result"
  else
    echo "FAILED  $target (exit $status): $(grep -m1 -E 'ERROR|invariant broken' "$scratch/log" || true)" \
      "- log and input in $scratch" >"$scratch/result"
  fi
}

echo "== fuzzing: ${seconds}s per fuzzer, $parallel_runs at a time"
for entry in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= parallel_runs)); do wait -n || true; done
  # shellcheck disable=SC2086  # the entry is "target max_len"
  run_fuzzer $entry &
done
wait

passed=0 failed=0
for entry in "${targets[@]}"; do
  target=${entry%% *}
  cat "$runs/$target/result"
  if grep -q '^ok' "$runs/$target/result"; then ((++passed)); else ((++failed)); fi
done
echo "fuzzing: $passed passed, $failed failed"
((failed == 0))
