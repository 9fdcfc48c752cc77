#!/usr/bin/env bash
# Builds the program and starts its window. Arguments go to the program
# (for example --service https://parse.example.net).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh programs
cmake --preset default >/dev/null
cmake --build --preset default --target pindlewick pindlewick-cli

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display to show the window on; the command line does the same job:" >&2
  exec ./build/default/app/cli/pindlewick-cli --help
fi
exec ./build/default/app/qt/pindlewick "$@"
