#!/usr/bin/env bash
# The 32-bit and the 64-bit library registered side by side on one 64-bit
# machine, as an installer of both widths does: each unregistration takes
# only its own width's entries, and a host of the other width still creates
# every class by ProgID. Needs a 64-bit prefix that runs 32-bit programs.
# usage: side_by_side_test.sh BIN32_DIR BIN64_DIR PREFIX
set -euo pipefail
bin32="$1" bin64="$2" prefix="$3"
here="$(cd "$(dirname "$0")" && pwd)"
run=(bash "$here/../../../cmake/wine-run.sh" win64 "$prefix")
cd "$(dirname "$bin64")"  # not a library's folder
dll32="Z:${bin32//\//\\}\\ZanScript.dll"
dll64="Z:${bin64//\//\\}\\ZanScript.dll"
class='HKCR\CLSID\{40A814F1-0BD8-4387-9605-8D531606E8FE}'
typelib='HKCR\TypeLib\{0B7C7621-56D6-4036-8988-C412E8132FF5}'
iscript='HKCR\Interface\{BA397A14-330B-4ED8-B5C2-7063561384F3}'

reg32() { "${run[@]}" 'C:\windows\syswow64\regsvr32.exe' /s "$@"; }
reg64() { "${run[@]}" regsvr32 /s "$@"; }
# query KEY VIEW [reg query options...]: the key as a host of that width sees it.
query() { local key="$1" view="$2"; shift 2; "${run[@]}" reg query "$key" "$@" "/reg:$view" 2>/dev/null | tr -d '\r' || true; }
count() {
  local v
  v="$(query "$1" "$2" /v RefCount | awk '/RefCount/ {print $3}')"
  if [ -n "$v" ]; then echo $((v)); else echo none; fi
}
present() { if query "$1" "$2" | grep -q "^HKEY_"; then echo yes; else echo no; fi; }
expect() {
  if [ "$2" != "$3" ]; then echo "FAIL: $1: got '$2', expected '$3'"; exit 1; fi
  echo "ok: $1 = $3"
}
# Every entry of both widths, as each width sees it.
state() {
  local view
  for view in 32 64; do
    echo "class$view=$(count "$class\\InprocServer32" "$view") iscript$view=$(present "$iscript" "$view")"
  done
  # Shared by both widths; the hosts below show each width finds them.
  echo "progid=$(present 'HKCR\Korvane.Script' 64) typelib32=$(count "$typelib\\1.0\\0\\win32" 64) typelib64=$(count "$typelib\\1.0\\0\\win64" 64)"
}

if [ ! -f "$prefix/drive_c/windows/syswow64/regsvr32.exe" ]; then
  "${run[@]}" cmd /c exit 0 >/dev/null 2>&1 || true
fi
if [ ! -f "$prefix/drive_c/windows/syswow64/regsvr32.exe" ]; then
  echo "FAIL: the prefix has no 32-bit side: this machine runs no 32-bit programs"; exit 1
fi
expect "the machine before" "$(present "$class" 64)$(present "$class" 32)$(present "$typelib" 64)" nonono

reg64 "$dll64"
reg32 "$dll32"
expect "both registered" "$(state | tr '\n' ' ')" \
  "class32=1 iscript32=yes class64=1 iscript64=yes progid=yes typelib32=1 typelib64=1 "

reg32 /u "$dll32"
expect "the 32-bit library unregistered" "$(state | tr '\n' ' ')" \
  "class32=none iscript32=yes class64=1 iscript64=yes progid=yes typelib32=none typelib64=1 "
"${run[@]}" "$bin64/zan_progid_host.exe"

reg32 "$dll32"
reg64 /u "$dll64"
expect "the 64-bit library unregistered" "$(state | tr '\n' ' ')" \
  "class32=1 iscript32=yes class64=none iscript64=yes progid=yes typelib32=1 typelib64=none "
"${run[@]}" "$bin32/zan_progid_host.exe"

reg32 /u "$dll32"
expect "both unregistered" "$(state | tr '\n' ' ')" \
  "class32=none iscript32=no class64=none iscript64=no progid=no typelib32=none typelib64=none "
expect "the type library key" "$(present "$typelib" 64)" no
echo "side by side: passed"
