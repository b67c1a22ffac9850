#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for both targets; a no-op when
# everything is already present.
# usage: setup.sh [demo]   demo: only what the Linux library and the zanscript
#                          tool need (no test tools, no Wine, mingw or clang)
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# The zanscript tool parses its command line with CLI11 (header-only, for
# both targets) and gets its manual page from help2man.
native=(cmake make g++ pkg-config python3 libicu-dev googletest libgtest-dev libgmock-dev libbenchmark-dev clang-tidy
        libcli11-dev help2man)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
fuzz=(clang libclang-rt-14-dev)
# wine64-tools brings widl-stable; libwine-dev its IDL files; libwine:i386 and
# libwine the 32-bit and 64-bit stdole2.tlb. PE32 runs on wine32, PE32+ on
# wine64 (which needs no i386 support from the kernel).
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 wine64-tools libwine-dev
         libwine:i386 libwine:amd64)

# The Linux build alone: the compiler, ICU, CLI11, and the IDL compiler with
# the IDL files and the 32-bit stdole2.tlb the type library imports.
demo=(cmake make g++ pkg-config python3 libicu-dev libcli11-dev wine64-tools libwine-dev libwine:i386)

wanted=("${native[@]}" "${fuzz[@]}" "${windows[@]}")
if [ "${1:-}" = demo ]; then wanted=("${demo[@]}"); fi
missing=()
for p in "${wanted[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
