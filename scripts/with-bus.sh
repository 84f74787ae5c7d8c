#!/usr/bin/env bash
# Runs a command on a private session bus that can start only the services named here, whatever else the
# machine has installed (dbus-run-session alone would also start every desktop's portal backend from the
# system's service files).
# Usage: scripts/with-bus.sh [NAME=EXECUTABLE | NAME]... -- COMMAND [ARGS...]
#   NAME alone takes the program that the system's own service file for NAME names.
set -euo pipefail
# shellcheck source=scripts/bus-config.sh
source "$(dirname "$0")/bus-config.sh"
folder=$(mktemp -d /tmp/tintvale-bus.XXXXXX)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/services"
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  name=${1%%=*} exec_path=${1#*=}
  if [ "$name" = "$1" ]; then
    exec_path=$(sed -n 's/^Exec=//p' "/usr/share/dbus-1/services/$name.service" 2>/dev/null | head -n1)
  fi
  [ -n "$exec_path" ] && [ -x "${exec_path%% *}" ] ||
    { echo "with-bus: no program for '$1' (NAME=EXECUTABLE, or NAME with a service file)" >&2; exit 2; }
  printf '[D-BUS Service]\nName=%s\nExec=%s\n' "$name" "$exec_path" >"$folder/services/$name.service"
  shift
done
[ "${1:-}" = -- ] && shift
[ $# -gt 0 ] || { echo "usage: with-bus.sh [NAME=EXECUTABLE]... -- COMMAND [ARGS...]" >&2; exit 2; }
bus_config "$folder/bus.conf" unix:tmpdir=/tmp "$folder/services" keep_umask
# The bus daemon's note that it may not raise its file limit is noise here. Not exec: the trap removes
# the folder after the session ends.
status=0
dbus-run-session --config-file="$folder/bus.conf" -- "$@" 2> >(grep -v 'Failed to set fd limit' >&2) || status=$?
exit "$status"
