#!/usr/bin/env bash
# An installer's view of the Windows library under Wine: regsvr32 twice from
# a folder that is not the library's, a host that creates every class by
# ProgID, then regsvr32 /u twice, checking the registry after each step.
# usage: regsvr32_test.sh BIN_DIR LIBRARY win32|win64 EMULATOR...
# (EMULATOR: the build's wine-run.sh with its architecture and prefix)
set -euo pipefail
bin="$1" library="$2" width="$3"
shift 3
run=("$@")
cd "$(dirname "$bin")"  # not the library's folder
dll="Z:${bin//\//\\}\\$library"
script_server='HKCR\CLSID\{40A814F1-0BD8-4387-9605-8D531606E8FE}\InprocServer32'
# The type library counts under the key the runtime writes for its width.
typelib="HKCR\\TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0\\0\\${width}"

# reg ends with 0 (found) or 1 (no such key or value); any other status is
# Wine failing to run it at all, which says nothing about the registry:
# asked again, and said.
query() {
  local out status attempt
  for attempt in 1 2 3; do
    status=0
    out="$("${run[@]}" reg query "$@" 2>/dev/null)" || status=$?
    if [ "$status" -le 1 ]; then break; fi
    echo "note: reg query $* ended with status $status (attempt $attempt)" >&2
  done
  printf '%s\n' "$out" | tr -d '\r'
}
count() {
  local v
  v="$(query "$1" /v RefCount | awk '/RefCount/ {print $3}')"
  if [ -n "$v" ]; then echo $((v)); fi
}
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: got '$2', expected '$3'"
    echo "the type library and the class as the registry holds them now:"
    query "HKCR\\TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}" /s
    query "${script_server%\\*}" /s
    exit 1
  fi
  echo "ok: $1 = $3"
}

"${run[@]}" regsvr32 /s "$dll"
expect "class count after one registration" "$(count "$script_server")" 1
expect "registered server" "$(query "$script_server" /ve | awk '/REG_SZ/ {print $NF}')" "$library"
expect "type library path" "$(query "$typelib" /ve | awk '/REG_SZ/ {print $NF}')" "$library"
"${run[@]}" regsvr32 /s "$dll"
expect "class count after two" "$(count "$script_server")" 2
expect "type library count after two" "$(count "$typelib")" 2

"${run[@]}" "$bin/zan_progid_host.exe"

"${run[@]}" regsvr32 /s /u "$dll"
expect "class count after one unregistration" "$(count "$script_server")" 1
expect "AppID after one unregistration" "$(query 'HKCR\AppID\ZanScript.DLL' | grep -c AppID || true)" 0
"${run[@]}" regsvr32 /s /u "$dll"
expect "class key after the last" "$(query 'HKCR\CLSID\{40A814F1-0BD8-4387-9605-8D531606E8FE}' | grep -c InprocServer32 || true)" 0
expect "ProgID after the last" "$(query 'HKCR\Korvane.Script' | grep -c CLSID || true)" 0
echo "regsvr32: passed"
