#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the whole suite again
# under AddressSanitizer with UndefinedBehaviorSanitizer, and under
# ThreadSanitizer (without the Qt window, which it cannot see into), then a
# bounded run of every fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in default asan tsan; do
  echo "== tests: $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

bash scripts/fuzz.sh
