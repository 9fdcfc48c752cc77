#!/bin/sh
# Runs a Windows program under Wine for CMake and CTest:
#   wine-run.sh WINESERVER WINE PROGRAM [ARGUMENTS...]
# quietly, in the prefix WINEPREFIX names, with a wine server that stays 30 s
# after its last program: each of many short test runs then starts in a
# fraction of a second instead of the seconds a cold start takes.
set -eu
server=$1
wine=$2
shift 2
export WINEDEBUG="${WINEDEBUG:--all}"
# Wine hands names to Linux in the locale's encoding: UTF-8 keeps every name
# whole, whatever locale the caller has (CI's may be plain POSIX).
export LC_ALL=C.UTF-8
# No offers to install .NET or the HTML engine.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
# A server started here boots the prefix (made on first use) at once, so the
# system programs it starts, which outlive this run by the server's 30 s, hold
# /dev/null rather than our caller's output pipes. Starting the server fails
# quietly when one already runs for this prefix.
if "$server" -p30 </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
