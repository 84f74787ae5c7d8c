#!/usr/bin/env bash
# The cost of accessibility: the tick benchmark (the pointer moving at 100 Hz) with no assistive
# technology running, then with a stand-in screen reader listening to every event, which also counts the
# accessibility events a second. Each round on its own session bus. Usage: bench/run-atspi.sh BUILD [ROUNDS] [SECONDS]
# (inside scripts/with-x.sh; BUILD has bench/tick_bench).
set -euo pipefail
build=$1 rounds=${2:-3} seconds=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
for ((r = 1; r <= rounds; r++)); do
  echo "round $r, no assistive technology:"
  "$here/../scripts/with-bus.sh" org.a11y.Bus -- "$build/bench/tick_bench" "$seconds" 2>/dev/null | grep -E 'tick|cpu_us_per_tick'
  echo "round $r, a screen reader listening:"
  # shellcheck disable=SC2016  # the inner shell expands its own arguments
  "$here/../scripts/with-bus.sh" org.a11y.Bus -- bash -c '
    /usr/bin/python3 "$1/atspi_listener.py" "$3" > "$4" 2>/dev/null &
    listener=$!
    until grep -q listening "$4" 2>/dev/null; do sleep 0.05; done
    "$2/bench/tick_bench" "$(( $3 + 2 ))" 2>/dev/null | grep -E "tick|cpu_us_per_tick"
    wait "$listener"; grep atspi "$4"' _ "$here" "$build" "$seconds" "$(mktemp)"
done
