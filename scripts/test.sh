#!/usr/bin/env bash
# Builds every configuration and runs all of Tintvale's tests, in the tiers the README lists: the core
# tests on the fake backend with the Qt program under Xvfb + openbox and the Wayland screen path on a test
# portal; the Windows build under Wine; the Debian package; the sanitizers with the fault checks; the
# fuzzers for a bounded time; a one-minute soak of the real program on Linux and under Wine; and the
# program on headless GNOME (mutter), its portal and PipeWire. Every tier runs, also after one has failed;
# the last line counts them.
set -uo pipefail
cd "$(dirname "$0")/.."

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
  bench/faults.sh build/linux-asan || status=1
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
tier 2 "Windows builds and tests under Wine" scripts/test-windows.sh
tier 3 "Debian package and Windows zip" scripts/test-package.sh
tier 4 "Sanitizers and fault checks" sanitizers
tier 5 "Fuzzers" scripts/fuzz.sh "${TINTVALE_FUZZ_SECONDS:-30}"
tier 6 "Soaks, Linux and Windows" soaks
tier 7 "GNOME: the program on headless mutter 43, its portal and PipeWire" scripts/test-gnome.sh build/ci

echo
for name in "${failed_names[@]}"; do echo "failed tier: $name"; done
echo "tiers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
