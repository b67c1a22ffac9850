#!/usr/bin/env bash
# Builds and runs every test of both targets: Linux, Linux under
# AddressSanitizer/UndefinedBehaviorSanitizer, and the PE32 build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Wine runs the PE32 tests as i386 Linux processes. Some virtual machines
# run 64-bit user code only (the kernel answers ENOEXEC to any i386
# program); there the Windows target is still built, warnings and all, and
# the run says loudly that its tests could not execute.
can_run_i386() {
  local loader=/usr/lib/wine/wine
  [ -x "$loader" ] && "$loader" --version >/dev/null 2>&1
}

presets=("${@:-linux linux-asan windows}")
for preset in ${presets[*]}; do
  echo "=== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  if [ "${preset}" = windows ] && ! can_run_i386; then
    echo "!!! windows: built, but its tests were NOT run: this machine cannot execute i386 programs, so Wine cannot start"
    continue
  fi
  ctest --preset "${preset}"
done
