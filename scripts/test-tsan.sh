#!/usr/bin/env bash
# Builds the linux-tsan preset (ThreadSanitizer) with only what the screen-cast portal tests need and runs
# them (ctest -R ^Portal) under a private Xvfb + openbox: the program's PipeWire thread and its
# user-interface thread share the newest frame and the pointer. Passes only when every test passes and
# no ThreadSanitizer report was written. Reports from inside libraries that are not instrumented (Qt,
# GLib, PipeWire) are named one by one, with the reason, in scripts/tsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh

build_with_preset linux-tsan

reports=$(mktemp -d)
on_exit rm -rf "$reports"
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp:second_deadlock_stack=1:log_path=$reports/tsan"

status=0
scripts/with-x.sh ctest --preset linux-tsan -j 1 --output-log "$reports/ctest.log" || status=$?

found=0
for f in "$reports"/tsan.*; do
  [ -s "$f" ] || continue
  echo "== ThreadSanitizer report: ${f##*/}"; cat "$f"; found=1
done
if grep -q 'WARNING: ThreadSanitizer' "$reports/ctest.log"; then
  grep -B2 -A30 'WARNING: ThreadSanitizer' "$reports/ctest.log" | head -200
  found=1
fi
if [ $found -ne 0 ]; then echo "test-tsan: ThreadSanitizer reports found"; exit 1; fi
[ $status -eq 0 ] || { echo "test-tsan: tests failed"; exit $status; }
echo "test-tsan: the portal tests passed, no ThreadSanitizer report"
