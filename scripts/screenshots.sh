#!/usr/bin/env bash
# Saves three pictures of the window, drawn offscreen, into FOLDER (default
# build/screenshots): before the click, half way through a download from
# nginx on 127.0.0.1, and after "任务完成。".
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build/screenshots}

bash scripts/install-deps.sh programs tests
cmake --preset dev >/dev/null
cmake --build --preset dev --target window_shots >/dev/null

# The program owns its servers and scratch folders. It runs in a session of
# its own with its scratch folders under $work, so a Ctrl-C takes all of it
# down even before its destructors run.
work=$(mktemp -d)
shots_pid=
cleanup() {
  if [[ -n $shots_pid ]]; then kill -- "-$shots_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
TMPDIR=$work setsid ./build/dev/bench/window_shots "$folder" &
shots_pid=$!
wait "$shots_pid"
shots_pid=
