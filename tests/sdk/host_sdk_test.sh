#!/usr/bin/env bash
# The host SDK as a host developer meets it: install into a fresh prefix,
# check that only what hosts need is there, build the example hosts against
# the installed package (warnings are errors) and run them; on Linux also
# through pkg-config. The same script serves the Windows build, with the
# cross toolchain and a runner (the Wine wrapper and its prefix).
# usage: host_sdk_test.sh SOURCE_DIR BUILD_DIR WORK_DIR CXX_FLAGS [TOOLCHAIN [RUNNER...]]
set -uo pipefail
source_dir="$1" build="$2" work="$3" flags="$4" toolchain="${5:-}"
shift 4
[ $# -gt 0 ] && shift
runner=("$@")
expected="$source_dir/tests/sdk/expected"
target=linux
[ -n "$toolchain" ] && target=windows
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Windows programs end their lines with CR LF.
run() { "${runner[@]}" "$@" | tr -d '\r'; }
same_output() { diff -u "$2" - >&2 || fail "$1: output differs from $2"; }

rm -rf "$work" && mkdir -p "$work" || exit 1
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

# What is installed, and nothing of the internals.
# (The package's per-configuration file is named after the build type.)
(cd "$prefix" && find . -type f | sed -e 's|^\./||' -e 's|Targets-[a-z]*\.cmake|Targets-CONFIG.cmake|' | LC_ALL=C sort) \
  >"$work/manifest.txt"
# The manual page is built only where help2man is installed.
want="$expected/manifest-$target.txt"
if [ "$target" = linux ] && [ ! -f "$build/tools/zanscript/zanscript.1" ]; then
  grep -v '^share/man/' "$want" >"$work/manifest-expected.txt" && want="$work/manifest-expected.txt"
fi
diff -u "$want" "$work/manifest.txt" || fail "installed files"

# The example hosts, built as a host developer builds them.
configure=(cmake -S "$source_dir/examples/host" -B "$work/hosts" -DCMAKE_PREFIX_PATH="$prefix"
           -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror $flags")
[ -n "$toolchain" ] && configure+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
if "${configure[@]}" >"$work/configure.log" 2>&1 && cmake --build "$work/hosts" >"$work/build.log" 2>&1; then
  cd "$work/hosts" || exit 1
  if [ "$target" = windows ]; then
    run regsvr32 /s ZanScript.dll || fail "regsvr32 ZanScript.dll"
    exe=.exe
  fi
  run "./save_and_load${exe:-}" | same_output save_and_load "$expected/save_and_load.txt"
  run "./events${exe:-}" | same_output events "$expected/events.txt"
  [ "$target" = windows ] && { run regsvr32 /s /u ZanScript.dll || fail "regsvr32 /u ZanScript.dll"; }
else
  cat "$work/configure.log" "$work/build.log" 2>/dev/null | tail -40
  fail "building the example hosts against the installed package"
fi

if [ "$target" = linux ]; then
  # A host without CMake.
  mkdir -p "$work/pc" && cd "$work/pc" || exit 1
  export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
  # shellcheck disable=SC2046,SC2086
  if c++ -std=c++17 -Wall -Wextra -Werror $flags $(pkg-config --cflags zanscript) \
       "$source_dir/examples/host/save_and_load.cpp" -o save_and_load $(pkg-config --libs zanscript); then
    ./save_and_load | same_output "save_and_load (pkg-config)" "$expected/save_and_load.txt"
  else
    fail "building with pkg-config"
  fi
fi

# The installed tool finds the installed library.
cd "$work" && cp "$source_dir/examples/greeting.script" . || exit 1
run "$prefix/bin/zanscript${exe:-}" cat greeting.script |
  same_output "installed zanscript" "$source_dir/tests/tools/expected/cat.txt"

[ "$failures" = 0 ] && echo "host SDK: all checks passed"
exit $((failures != 0))
