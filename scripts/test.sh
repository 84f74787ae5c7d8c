#!/usr/bin/env bash
# Builds every configuration and runs all of Tintvale's tests, in the tiers the README lists: the core
# tests on the fake backend with the Qt program under Xvfb + openbox and the Wayland screen path on a test
# portal; the program on headless KDE Plasma (KWin and its portal) and on headless GNOME (mutter and its
# portal); the Windows build under Wine; the Debian package; the sanitizers with the fault checks; the
# fuzzers for a bounded time; a one-minute soak of the real program on Linux and under Wine; and the style
# checks. Every tier runs, also after one has failed; the last line counts them.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

scripts/deps.sh test || exit 1

passed=0 failed=0 failed_names=()
# tier NUMBER NAME COMMAND...: one tier, as the README numbers it; a tier is a sequence of steps.
tier() {
  local number=$1 name=$2 start=$SECONDS
  shift 2
  printf '\n==== %s. %s\n' "$number" "$name"
  if "$@"; then
    passed=$((passed + 1))
    printf '==== %s. %s: passed in %d s\n' "$number" "$name" $((SECONDS - start))
  else
    failed=$((failed + 1))
    failed_names+=("$number. $name")
    printf '==== %s. %s: FAILED after %d s\n' "$number" "$name" $((SECONDS - start))
  fi
}

linux() {
  cmake --preset ci &&
    cmake --build --preset ci -j "$(nproc)" &&
    scripts/with-x.sh ctest --preset ci -j 1
}
sanitizers() {
  local status=0
  scripts/test-asan.sh || status=1
  echo "---- fault checks (a clipboard manager that stops answering, no file written), sanitizer build"
  tests/qt/faults.sh build/linux-asan || status=1
  echo "---- ThreadSanitizer: the Wayland screen path (portal and PipeWire thread)"
  scripts/test-tsan.sh || status=1
  return $status
}
soaks() {
  local status=0
  TINTVALE_PROGRAM=build/ci/tintvale scripts/soak.sh "${TINTVALE_SOAK_SECONDS:-60}" || status=1
  scripts/soak-wine.sh "${TINTVALE_SOAK_SECONDS:-60}" || status=1
  return $status
}

tier 1 "Linux: core tests on the fake backend, the Qt program under Xvfb, the Wayland screen path on a test portal" linux
tier 2 "KDE Plasma: the program on headless KWin, its portal and PipeWire" tests/kde/kde_test.sh build/ci
tier 3 "GNOME: the program on headless mutter 43, its portal and PipeWire" scripts/test-gnome.sh build/ci
tier 4 "Windows builds and tests under Wine" scripts/test-windows.sh
tier 5 "Debian package and Windows zip" scripts/test-package.sh
tier 6 "Sanitizers and fault checks" sanitizers
tier 7 "Fuzzers" scripts/fuzz.sh "${TINTVALE_FUZZ_SECONDS:-30}"
tier 8 "Soaks, Linux and Windows" soaks
tier 9 "Style: clang-format over the C++ sources, shellcheck over every shell script" scripts/check-style.sh

echo
for name in "${failed_names[@]}"; do echo "failed tier: $name"; done
echo "tiers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
