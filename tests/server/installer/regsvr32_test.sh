#!/usr/bin/env bash
# An installer's view of the Windows library under Wine: regsvr32 twice from
# a folder that is not the library's, a host that creates every class by
# ProgID, then regsvr32 /u twice, checking the registry after each step.
# usage: regsvr32_test.sh WINE_RUN PREFIX BIN_DIR LIBRARY
set -euo pipefail
run="$1" prefix="$2" bin="$3" library="$4"
cd "$(dirname "$bin")"  # not the library's folder
dll="Z:${bin//\//\\}\\$library"
script_server='HKCR\CLSID\{40A814F1-0BD8-4387-9605-8D531606E8FE}\InprocServer32'
typelib='HKCR\TypeLib\{0B7C7621-56D6-4036-8988-C412E8132FF5}\1.0\0\win32'

query() { "$run" "$prefix" reg query "$@" 2>/dev/null | tr -d '\r' || true; }
count() {
  local v
  v="$(query "$1" /v RefCount | awk '/RefCount/ {print $3}')"
  if [ -n "$v" ]; then echo $((v)); fi
}
expect() {
  if [ "$2" != "$3" ]; then echo "FAIL: $1: got '$2', expected '$3'"; exit 1; fi
  echo "ok: $1 = $3"
}

"$run" "$prefix" regsvr32 /s "$dll"
expect "class count after one registration" "$(count "$script_server")" 1
expect "registered server" "$(query "$script_server" /ve | awk '/REG_SZ/ {print $NF}')" "$library"
expect "type library path" "$(query "$typelib" /ve | awk '/REG_SZ/ {print $NF}')" "$library"
"$run" "$prefix" regsvr32 /s "$dll"
expect "class count after two" "$(count "$script_server")" 2
expect "type library count after two" "$(count "$typelib")" 2

"$run" "$prefix" "$bin/zan_progid_host.exe"

"$run" "$prefix" regsvr32 /s /u "$dll"
expect "class count after one unregistration" "$(count "$script_server")" 1
expect "AppID after one unregistration" "$(query 'HKCR\AppID\ZanScript.DLL' | grep -c AppID || true)" 0
"$run" "$prefix" regsvr32 /s /u "$dll"
expect "class key after the last" "$(query 'HKCR\CLSID\{40A814F1-0BD8-4387-9605-8D531606E8FE}' | grep -c InprocServer32 || true)" 0
expect "ProgID after the last" "$(query 'HKCR\Korvane.Script' | grep -c CLSID || true)" 0
echo "regsvr32: passed"
