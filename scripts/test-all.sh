#!/usr/bin/env bash
# Builds and runs every test of both targets: Linux, Linux under
# AddressSanitizer/UndefinedBehaviorSanitizer, the libFuzzer targets for a
# bounded time each (ZAN_FUZZ_SECONDS, 30 by default; ZAN_FUZZ_SEED, 1 by
# default, 0 for a random one), and the PE32 build
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Wine runs the PE32 tests as i386 Linux processes. Some virtual machines
# run 64-bit user code only (the kernel answers ENOEXEC to any i386
# program); there the Windows target is still built, warnings and all, and
# the run says loudly that its tests could not execute, unless
# ZAN_EMULATE_I386=1 asks for them under qemu-i386 (scripts/emulate-i386.sh).
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
  bash cmake/wine-run.sh "$PWD/build/windows/wineprefix" cmd /c exit 0 || true
  local skip="Interlocked.CountsAcrossThreads"
  echo "!!! windows tests run under qemu-i386; not run there: ${skip}"
  GTEST_FILTER="-${skip}" ctest --preset windows
}

presets=("${@:-linux linux-asan fuzz windows}")
for preset in ${presets[*]}; do
  echo "=== ${preset}"
  if [ "${preset}" = fuzz ]; then
    cmake --preset fuzz -DZAN_FUZZ_SECONDS="${ZAN_FUZZ_SECONDS:-30}" -DZAN_FUZZ_SEED="${ZAN_FUZZ_SEED:-1}" >/dev/null
  else
    cmake --preset "${preset}" >/dev/null
  fi
  cmake --build --preset "${preset}"
  if [ "${preset}" = windows ] && ! can_run_i386; then
    if [ "${ZAN_EMULATE_I386:-0}" = 1 ]; then
      run_windows_emulated
      continue
    fi
    echo "!!! windows: built, but its tests were NOT run: this machine cannot execute i386 programs, so Wine cannot start"
    echo "!!! (ZAN_EMULATE_I386=1 scripts/test-all.sh windows runs them under qemu-i386, slowly)"
    continue
  fi
  ctest --preset "${preset}"
  if [ "${preset}" = fuzz ]; then
    # What each target ran: the figure a reviewer asks for first.
    grep -E "^[0-9]+/[0-9]+ Test: |^Done [0-9]+ runs" build/fuzz/Testing/Temporary/LastTest.log | paste - - |
      sed -e 's/^[0-9]*\/[0-9]* Test: /fuzz: /' || true
  fi
done
