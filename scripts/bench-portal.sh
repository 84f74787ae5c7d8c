#!/usr/bin/env bash
# Builds what the Wayland screen path's benchmark needs (build/bench-portal: the program, the tick
# benchmark and the test PipeWire source) and prints its figures next to the X11 path's, measured in a
# private Xvfb + openbox and a private session bus. Usage: scripts/bench-portal.sh [ROUNDS] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench-portal >/dev/null
cmake --build --preset bench-portal -j 2 >/dev/null
scripts/with-x.sh scripts/with-bus.sh org.freedesktop.impl.portal.PermissionStore=/usr/libexec/xdg-permission-store -- bench/run-portal.sh build/bench-portal "${1:-3}" "${2:-10}" \
  2> >(grep -v 'Failed to set fd limit' >&2)
