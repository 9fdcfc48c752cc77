#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the whole suite again
# under AddressSanitizer with UndefinedBehaviorSanitizer, and under
# ThreadSanitizer (without the Qt window, which it cannot see into), then a
# bounded run of every fuzzer, then the Windows build with its tests under
# Wine (the first run cross-builds libcurl and PCRE2, a few minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh programs tests windows

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

for preset in dev asan tsan; do
  echo "== tests: $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset" | tee -a "$summary"
done

bash scripts/fuzz.sh | tee -a "$summary"

echo "== tests: windows"
bash scripts/windows-deps.sh
cmake --preset windows
cmake --build --preset windows
ctest --preset windows | tee -a "$summary"

# One closing line for every preset's tests and every fuzzer together. A
# failure above has already ended the script. CTest counts a skipped test
# among those that did not fail; the closing line tells them apart.
run=$(sed -nE 's/.*tests passed, 0 tests failed out of ([0-9]+)$/\1/p; s/^fuzzing: ([0-9]+) passed.*/\1/p' "$summary" |
  awk '{ total += $1 } END { print total }')
skipped=$(grep -cE '^\s+[0-9]+ - .* \(Skipped\)$' "$summary" || true)
echo "all: $((run - skipped)) passed, $skipped skipped, 0 failed"
