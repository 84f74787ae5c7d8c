#!/usr/bin/env bash
# Builds Tintvale with its benchmark programs (build/bench) and prints the performance table, measured in a
# private Xvfb + openbox. Usage: scripts/bench.sh [ROUNDS] [SECONDS]   (default 3 rounds of 10 s)
# gpick and gcolor3, when installed, are measured in the same run for comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 >/dev/null
scripts/with-x.sh bench/run-linux.sh build/bench "${1:-3}" "${2:-10}"
