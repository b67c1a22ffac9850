#!/usr/bin/env bash
# Builds and runs every test of both targets: Linux, Linux under
# AddressSanitizer/UndefinedBehaviorSanitizer, and the PE32 build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=("${@:-linux linux-asan windows}")
for preset in ${presets[*]}; do
  echo "=== ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  ctest --preset "${preset}"
done
