#!/usr/bin/env bash
# For a machine with internet, never run by the tests: resolves one part of a
# real video with the built-in resolver and prints the chosen quality, the
# size and the link's host, so a user can confirm the resolver against
# today's site. Usage: bash scripts/live-check.sh URL [PART]
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# < 1 || $# > 2)); then
  echo "usage: bash scripts/live-check.sh URL [PART]" >&2
  exit 2
fi
bash scripts/install-deps.sh programs
cmake --preset default >/dev/null
cmake --build --preset default --target pindlewick-live-check >/dev/null
exec ./build/default/app/cli/pindlewick-live-check "$@"
