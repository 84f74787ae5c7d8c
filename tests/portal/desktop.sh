# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154  # it sets $token_file and $calls for the sourcing test, which sets $test_source
# A desktop without a desktop, for the screen-cast portal tests and benchmark: PipeWire, WirePlumber, the
# test ScreenCast backend and the real xdg-desktop-portal frontend on the session bus the caller runs on
# (scripts/with-bus.sh), and the test PipeWire source. Needs scripts/lib.sh sourced first and
# $test_source set. Source it, then call desktop_env FOLDER.
portal_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Everything the desktop keeps, private to the caller's folder: PipeWire's socket, the permission store,
# the token.
desktop_env() {
  tmp=$1
  export XDG_RUNTIME_DIR=$tmp/run XDG_DATA_HOME=$tmp/data XDG_STATE_HOME=$tmp/state XDG_CONFIG_HOME=$tmp/config
  export XDG_CACHE_HOME=$tmp/cache XDG_CONFIG_DIRS=$tmp/config-dirs
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  export TINTVALE_PORTAL_DIR=$tmp/portal
  mkdir -p "$TINTVALE_PORTAL_DIR"
  cp "$portal_dir/test.portal" "$TINTVALE_PORTAL_DIR/"
  export XDG_DESKTOP_PORTAL_DIR=$TINTVALE_PORTAL_DIR XDG_CURRENT_DESKTOP=test
  export TINTVALE_SCREEN=portal
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  token_file=$XDG_STATE_HOME/tintvale/restore-token
  calls=$TINTVALE_PORTAL_DIR/calls.log
}

frontend_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.freedesktop.portal.Desktop 2>/dev/null | grep -q 'boolean true'
}
backend_up() { grep -q '^backend ready' "$tmp/backend.out"; }

# PipeWire and WirePlumber, then (unless "bare") the test backend and the portal frontend.
start_desktop() {
  start_pipewire "$tmp"
  [ "${1:-}" = bare ] && return
  /usr/bin/python3 "$portal_dir/test_backend.py" >"$tmp/backend.out" 2>"$tmp/backend.err" &
  stop_at_exit $!
  wait_for 10 backend_up || die "the test backend did not start: $(cat "$tmp/backend.err")"
  /usr/libexec/xdg-desktop-portal >"$tmp/frontend.log" 2>&1 &
  stop_at_exit $!
  wait_for 10 frontend_up || die "xdg-desktop-portal did not start"
}

# The test source with its command pipe on fd 7; "ready NODE..." gives the nodes, in $nodes.
source_pid=""
start_source() {
  # The last source's "ready" line must not be read for this one's (the new one's file is opened by its
  # own process, a moment later).
  rm -f "$tmp/source.in" "$tmp/source.out"
  mkfifo "$tmp/source.in"
  "$test_source" "$@" <"$tmp/source.in" >"$tmp/source.out" 2>>"$tmp/source.err" &
  source_pid=$!
  stop_at_exit "$source_pid"
  exec 7>"$tmp/source.in"
  wait_for 20 grep -qs '^ready' "$tmp/source.out" || die "the test source did not start"
  read -r _ nodes <"$tmp/source.out"
}
say() { echo "$*" >&7; }
# The monitors Start hands out: "X Y WIDTH HEIGHT" for each node in $nodes, in order ("- - WIDTH HEIGHT":
# no position, as KDE sends them). Written whole and renamed into place: a Start that reads it meanwhile
# sees the old list or the new one.
place() {
  local n i=0 placement
  : >"$TINTVALE_PORTAL_DIR/streams.new"
  for n in $nodes; do
    i=$((i + 1)); placement=${!i}
    echo "$n $placement" >>"$TINTVALE_PORTAL_DIR/streams.new"
  done
  mv "$TINTVALE_PORTAL_DIR/streams.new" "$TINTVALE_PORTAL_DIR/streams"
}

