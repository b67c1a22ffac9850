#!/usr/bin/env bash
# A newcomer's first look: installs what is missing, builds the library and
# the zanscript tool, and shows the sample script with its line information,
# then its plain text.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target zanscript -j"$(nproc)" >/dev/null
tool=build/linux/bin/zanscript
echo "\$ zanscript show examples/greeting.script"
"$tool" show examples/greeting.script
echo
echo "\$ zanscript cat examples/greeting.script"
"$tool" cat examples/greeting.script
echo
echo "More: $tool --help"
