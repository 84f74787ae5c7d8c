#!/usr/bin/env bash
# Builds every configuration and runs all of Tintvale's tests: the core tests on the fake backend, the Qt
# program under Xvfb + openbox with real X clients, the program on headless GNOME (mutter), the Windows
# build under Wine, the Debian package, the whole suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer with the Linux fault checks, the Wayland screen path under ThreadSanitizer,
# the fuzzers for a bounded time and a one-minute soak of the real program on Linux and under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

step() { printf '\n==== %s\n' "$*"; }

jobs=$(nproc)
step "Linux build and tests (fake backend, Qt under Xvfb)"
cmake --preset ci
cmake --build --preset ci -j "$jobs"
scripts/with-x.sh ctest --preset ci -j 1

step "GNOME: the program on headless mutter, its portal and PipeWire"
scripts/test-gnome.sh build/ci

step "Windows builds and tests under Wine"
scripts/test-windows.sh

step "Debian package and Windows zip"
scripts/test-package.sh

step "Sanitizers"
scripts/test-asan.sh

step "Fault checks (clipboard manager that stops answering, no file written), sanitizer build"
bench/faults.sh build/linux-asan

step "ThreadSanitizer: the Wayland screen path (portal and PipeWire thread)"
scripts/test-tsan.sh

step "Fuzzers"
scripts/fuzz.sh "${TINTVALE_FUZZ_SECONDS:-30}"

step "Soak, Linux and Windows"
TINTVALE_PROGRAM=build/ci/tintvale scripts/soak.sh "${TINTVALE_SOAK_SECONDS:-60}"
scripts/soak-wine.sh "${TINTVALE_SOAK_SECONDS:-60}"

echo
echo "tiers: 9 passed, 0 failed"
