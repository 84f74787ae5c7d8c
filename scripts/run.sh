#!/usr/bin/env bash
# Builds Tintvale for Linux/X11 and starts it; arguments go to the program (e.g. -d, -c).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
exec build/linux/tintvale "$@"
