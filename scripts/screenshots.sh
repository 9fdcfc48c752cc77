#!/usr/bin/env bash
# Saves three pictures of the window, drawn offscreen, into FOLDER (default
# build/screenshots): before the click, half way through a download from
# nginx on 127.0.0.1, and after "任务完成。". Then three of the Windows
# window under Wine on an X display of its own (scripts/win32_screenshots.py):
# 4-win32-*.png to 6-win32-*.png.
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

# The Windows window, cross-built, in a Wine prefix of its own: the pictures
# put every window in one Wine desktop, which the test prefix does not want.
bash scripts/windows-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target win32_window_shots >/dev/null
cache_value() { sed -n "s/^$1:[A-Z]*=//p" build/windows/CMakeCache.txt; }
python3 -B scripts/win32_screenshots.py "$folder" build/windows/tests/win32_window_shots.exe \
  env WINEPREFIX="$PWD/build/windows/wine-shots" cmake/wine-run.sh \
  "$(cache_value PINDLEWICK_WINESERVER)" "$(cache_value PINDLEWICK_WINE)"
