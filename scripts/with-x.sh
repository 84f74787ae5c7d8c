#!/usr/bin/env bash
# Runs a command inside a private X server (Xvfb, 1280x800x24, no reset) with the openbox window manager,
# then stops both. Usage: scripts/with-x.sh COMMAND [ARGS...]
set -euo pipefail

display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "with-x: no free display number" >&2; exit 1; }

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
openbox_pid=""
cleanup() {
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

export DISPLAY=$display
deadline=$((SECONDS + 20))
until xdpyinfo >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || { echo "with-x: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
openbox --sm-disable >/dev/null 2>&1 &
openbox_pid=$!
deadline=$((SECONDS + 20))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  [ $SECONDS -lt $deadline ] || { echo "with-x: openbox did not start" >&2; exit 1; }
  sleep 0.05
done

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tintvale-xdg.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
"$@"
