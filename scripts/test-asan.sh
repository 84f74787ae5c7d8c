#!/usr/bin/env bash
# Builds the linux-asan preset (AddressSanitizer + UndefinedBehaviorSanitizer, leak checks on) and runs the
# whole test suite under a private Xvfb + openbox: the fake-backend tier and the Qt tier. Passes only when
# every test passes and the output holds no sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib.sh
source scripts/lib.sh

build_with_preset linux-asan

# Reports go to files as well as to the test's output, so one swallowed by a test harness still counts.
reports=$(mktemp -d)
on_exit rm -rf "$reports"
supp=$PWD/scripts/lsan.supp
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"

status=0
scripts/with-x.sh ctest --preset linux-asan -j 1 --output-log "$reports/ctest.log" || status=$?

found=0
for f in "$reports"/asan.* "$reports"/ubsan.*; do
  [ -s "$f" ] || continue
  echo "== sanitizer report: ${f##*/}"; cat "$f"; found=1
done
if grep -Eq 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$reports/ctest.log"; then
  grep -E -B2 -A20 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$reports/ctest.log" | head -200
  found=1
fi
if [ $found -ne 0 ]; then echo "test-asan: sanitizer reports found"; exit 1; fi
[ $status -eq 0 ] || { echo "test-asan: tests failed"; exit $status; }
echo "test-asan: all tests passed, no sanitizer report"
