#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
echo "Pindlewick: the text library is built; the window and the command line are not there yet."
