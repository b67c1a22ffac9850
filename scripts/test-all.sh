#!/usr/bin/env bash
# Builds and runs every test of both targets: Linux, Linux under
# AddressSanitizer/UndefinedBehaviorSanitizer, under ThreadSanitizer (with a
# bounded stress run of many threads), the libFuzzer targets for a
# bounded time each (ZAN_FUZZ_SECONDS, 30 by default; ZAN_FUZZ_SEED, 1 by
# default, 0 for a random one), the PE32+ build under 64-bit Wine (on every
# machine) and the PE32 build under 32-bit Wine (where i386 programs run).
# usage: test-all.sh [preset...]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The build presets fix no job count: every core of this machine, unless the
# caller says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# 32-bit Wine runs the PE32 tests as i386 Linux processes. Some virtual
# machines run 64-bit user code only (the kernel answers ENOEXEC to any i386
# program); there the PE32 target is still built, warnings and all, and the
# run says so, unless ZAN_EMULATE_I386=1 asks for its tests under qemu-i386
# (scripts/emulate-i386.sh). 64-bit Wine needs nothing of i386, so the PE32+
# tests run everywhere and a run that could not start them is red.
i386_emulated() {
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}
can_run_i386() {
  local loader=/usr/lib/wine/wine
  ! i386_emulated && [ -x "$loader" ] && "$loader" --version >/dev/null 2>&1
}

# Under qemu-i386: the prefix boots once, outside the per-test timeout, and
# the one test whose four busy threads crash the emulator (not the system)
# is left out, loudly.
run_windows_emulated() {
  bash scripts/emulate-i386.sh
  bash cmake/wine-run.sh win32 "$PWD/build/windows/wineprefix" cmd /c exit 0 || true
  local skip="Interlocked.CountsAcrossThreads"
  echo "!!! windows tests run under qemu-i386; not run there: ${skip}"
  GTEST_FILTER="-${skip}" ctest --preset windows
}

# The Windows registry outlives each process, so the registration suites
# and the installer's run go once more in the same prefix: anything a run
# left behind would change the second run's counts.
run_windows() {
  ctest --preset "$1"
  echo "=== $1: registration again, in the same prefix"
  ctest --preset "$1" -R '^zan_(registration_tests|registration_legacy_tests|regsvr32)$'
}

# Both widths registered on one machine, where the PE32 suites ran and the
# PE32+ build is there: a 64-bit prefix whose 32-bit side runs.
run_side_by_side() {
  if [ ! -f build/windows64/bin/ZanScript.dll ]; then
    echo "!!! side by side: not run, the windows64 preset was not built"
    return
  fi
  cmake --build build/windows --target zan_progid_host
  cmake --build build/windows64 --target zan_progid_host
  bash tests/server/installer/side_by_side_test.sh "$PWD/build/windows/bin" "$PWD/build/windows64/bin" \
    "$PWD/build/windows/wineprefix-sidebyside"
  ran_windows+=("both widths side by side")
}

ran_windows=()
not_run_windows=()
presets=("${@:-linux linux-asan linux-tsan fuzz windows64 windows}")
for preset in ${presets[*]}; do
  echo "=== ${preset}"
  if [ "${preset}" = fuzz ]; then
    cmake --preset fuzz -DZAN_FUZZ_SECONDS="${ZAN_FUZZ_SECONDS:-30}" -DZAN_FUZZ_SEED="${ZAN_FUZZ_SEED:-1}" >/dev/null
  else
    cmake --preset "${preset}" >/dev/null
  fi
  cmake --build --preset "${preset}"
  case "${preset}" in
    windows64)
      run_windows windows64
      ran_windows+=("PE32+ (windows64, 64-bit Wine)")
      ;;
    windows)
      if can_run_i386; then
        run_windows windows
        ran_windows+=("PE32 (windows, 32-bit Wine)")
        run_side_by_side
      elif [ "${ZAN_EMULATE_I386:-0}" = 1 ]; then
        run_windows_emulated
        ran_windows+=("PE32 (windows, under qemu-i386)")
        run_side_by_side
      else
        echo "!!! windows: built, but its tests were NOT run: this machine cannot execute i386 programs"
        echo "!!! (ZAN_EMULATE_I386=1 scripts/test-all.sh windows runs them under qemu-i386, slowly)"
        not_run_windows+=("PE32 (built only: this machine runs no i386 programs)")
      fi
      ;;
    *)
      ctest --preset "${preset}"
      ;;
  esac
  if [ "${preset}" = fuzz ]; then
    # What each target ran: the figure a reviewer asks for first.
    grep -E "^[0-9]+/[0-9]+ Test: |^Done [0-9]+ runs" build/fuzz/Testing/Temporary/LastTest.log | paste - - |
      sed -e 's/^[0-9]*\/[0-9]* Test: /fuzz: /' || true
  fi
done

summary="none"
if [ ${#ran_windows[@]} -gt 0 ]; then summary="$(printf '%s; ' "${ran_windows[@]}")" && summary="${summary%; }"; fi
notrun=""
if [ ${#not_run_windows[@]} -gt 0 ]; then notrun=" | not run: ${not_run_windows[*]}"; fi
echo "windows suites run: ${summary}${notrun}"
