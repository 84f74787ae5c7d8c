#!/usr/bin/env bash
# Builds the fuzzers with clang (the fuzz preset, build/fuzz) and runs each for a bounded time (default 30 s, or $1 seconds).
# Inputs that ever failed live in fuzz/regressions/<target>/ and are replayed first; a new failure is
# written there too, so it stays a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
status=0
for bin in build/fuzz/fuzz_*; do
  target=${bin##*/fuzz_}
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$target/." "$work/" 2>/dev/null || true
  mkdir -p "fuzz/regressions/$target"
  if compgen -G "fuzz/regressions/$target/*" >/dev/null; then
    "$bin" "fuzz/regressions/$target"/* >/dev/null 2>&1 || { echo "fuzz $target: a regression input fails"; status=1; }
  fi
  if "$bin" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
      -artifact_prefix="fuzz/regressions/$target/" "$work" >"$work.log" 2>&1; then
    echo "fuzz $target: $(grep -Eo 'Done [0-9]+ runs' "$work.log" | tail -1) in ${seconds}s, no failure"
  else
    echo "fuzz $target: FAILED"; tail -30 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
