#!/usr/bin/env bash
# Runs ZanScript side by side with the two baselines (CPython and plain
# C++) on generated scripts of 250k, 1M and 4M lines, checks every result,
# prints the medians and ratios, and draws docs/bench-scaling.svg.
# Extra arguments go to bench/sidebyside/run.py (--sizes, --rounds).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if ! command -v gnuplot >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -qq --no-install-recommends gnuplot-nox >/dev/null
fi
cmake --preset linux >/dev/null
cmake --build --preset linux --target ZanScript zan_sidebyside zan_baseline_cpp -j"$(nproc)" >/dev/null
python3 bench/sidebyside/run.py build/linux/bin build/bench-data docs/bench-scaling.svg "$@"
