#!/usr/bin/env bash
# Builds every configuration and runs all of Tintvale's tests: the core tests on the fake backend, the Qt
# program under Xvfb + openbox with real X clients, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

jobs=$(nproc)
cmake --preset linux -DTINTVALE_WERROR=ON
cmake --build --preset linux -j "$jobs"
scripts/with-x.sh ctest --preset linux -j 1

if [ -x scripts/test-windows.sh ]; then
  scripts/test-windows.sh
fi

if [ -x scripts/test-package.sh ]; then
  scripts/test-package.sh
fi
