#!/usr/bin/env bash
# Runs a Windows program under Wine in the given private prefix, creating the
# prefix on first use (serialised, since ctest may start several at once).
# usage: wine-run.sh win32|win64 PREFIX PROGRAM [ARGS...]
# A win64 prefix runs on the 64-bit loader alone, so it boots and runs on a
# kernel that starts no i386 programs (its 32-bit side is simply not started).
set -euo pipefail
arch="$1" prefix="$2"
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
export WINEARCH="$arch" WINELOADER="$loader"
mkdir -p "$prefix"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
) 9>"$prefix.lock"
exec "$loader" "$@"
