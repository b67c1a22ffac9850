#!/usr/bin/env bash
# A newcomer's first look: installs only what the Linux build needs, builds
# the library and the zanscript tool (no test suites), and shows the sample
# script with its line information, then its plain text.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh demo
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
# The build's own output (and the IDL compiler's warnings) goes to a log,
# shown only when the build fails.
mkdir -p build
log=build/demo-build.log
if ! { cmake --preset linux-sdk && cmake --build --preset linux-sdk --target zanscript; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "demo: the build failed (log: $log)" >&2
  exit 1
fi
tool=build/linux-sdk/bin/zanscript
echo "\$ zanscript show examples/greeting.script"
"$tool" show examples/greeting.script
echo
echo "\$ zanscript cat examples/greeting.script"
"$tool" cat examples/greeting.script
echo
echo "More: $tool --help"
