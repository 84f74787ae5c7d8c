# shellcheck shell=bash
# A headless KDE Plasma desktop for the KDE tier, private to one folder: a session bus of its own whose
# only activatable services are the permission store and the accessibility bus, PipeWire and WirePlumber,
# KWin on virtual outputs with its XWayland on a display of 60..69, the KDE screen-cast portal backend and
# the real xdg-desktop-portal frontend, a fake-input client that drives KWin's pointer and keyboard, and
# a reader of what the program shows over AT-SPI.
# Source scripts/lib.sh first, then this; call kde_env FOLDER, then the start_* functions in order.
kde_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Everything the desktop keeps lives under FOLDER: the bus, the runtime folder, the configuration (a
# colour scheme whose window colour marks the chooser, so it can be found on the screen), the permission
# store and the token.
kde_env() {
  tmp=$1
  export XDG_RUNTIME_DIR=$tmp/run XDG_DATA_HOME=$tmp/data XDG_STATE_HOME=$tmp/state XDG_CONFIG_HOME=$tmp/config
  export XDG_CACHE_HOME=$tmp/cache XDG_CONFIG_DIRS=$tmp/config-dirs XDG_DATA_DIRS=/usr/share
  mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$tmp/services" "$tmp/portals" "$tmp/bin"
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
  export XDG_DESKTOP_PORTAL_DIR=$tmp/portals
  cp /usr/share/xdg-desktop-portal/portals/kde.portal "$tmp/portals/"
  # The tests' own GTK windows stay off the accessibility bus: only the program is read there. Settings
  # live in memory: there is no dconf here, and the accessibility bus launcher keeps "assistive technology
  # on" in GSettings (without a backend that takes it, it reads back off).
  export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
  # The chooser's window colour, found on the screen to place its cards and buttons; no animations, so
  # a window is where it will stay once it shows.
  cat >"$XDG_CONFIG_HOME/kdeglobals" <<EOF
[Colors:Window]
BackgroundNormal=$chooser_rgb

[Colors:Header]
BackgroundNormal=227,229,231

[WM]
activeBackground=227,229,231
inactiveBackground=239,240,241

[KDE]
AnimationDurationFactor=0
EOF
  # No screen-edge actions: the pointer is driven into the monitors' corners, where KWin would start its
  # overview.
  cat >"$XDG_CONFIG_HOME/kwinrc" <<EOF
[Compositing]
AnimationSpeed=0

[ElectricBorders]
Top=None
TopRight=None
Right=None
BottomRight=None
Bottom=None
BottomLeft=None
Left=None
TopLeft=None

[Effect-overview]
BorderActivate=9

[Effect-windowview]
BorderActivate=9
BorderActivateAll=9
BorderActivateClass=9

[TabBox]
BorderActivate=9
BorderAlternativeActivate=9

[Plugins]
slideEnabled=false
fadeEnabled=false
scaleEnabled=false
glideEnabled=false
kwin4_effect_fadeEnabled=false
kwin4_effect_scaleEnabled=false
EOF
  # shellcheck disable=SC2034  # for the caller
  token_file=$XDG_STATE_HOME/tintvale/restore-token
  unset WAYLAND_DISPLAY DISPLAY XAUTHORITY QT_QPA_PLATFORM TINTVALE_SCREEN
}
# The chooser's window colour: a colour nothing else on this desktop has.
chooser_rgb=201,17,163
# shellcheck disable=SC2034  # for the caller
chooser_hex=C911A3

# A session bus that activates only what is named here: nothing else installed can start on it.
start_bus() {
  cat >"$tmp/services/org.freedesktop.impl.portal.PermissionStore.service" <<EOF
[D-BUS Service]
Name=org.freedesktop.impl.portal.PermissionStore
Exec=/usr/libexec/xdg-permission-store
EOF
  cat >"$tmp/services/org.a11y.Bus.service" <<EOF
[D-BUS Service]
Name=org.a11y.Bus
Exec=/usr/libexec/at-spi-bus-launcher
EOF
  bus_config "$tmp/bus.conf" "unix:path=$XDG_RUNTIME_DIR/bus" "$tmp/services"
  # The daemon's note that it may not raise its file limit, and the accessibility bus's notes on the
  # services it starts, are noise here.
  dbus-daemon --config-file="$tmp/bus.conf" --nofork 2> >(grep -v -e 'Failed to set fd limit' \
    -e 'Activating service name=' -e 'Successfully activated service' -e 'SpiRegistry daemon is running' >&2) &
  stop_at_exit $!
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
  wait_for 10 bus_has org.freedesktop.DBus || die "the session bus did not start"
}
bus_has() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q 'boolean true'
}


# KWin on COUNT virtual outputs of WIDTHxHEIGHT, placed side by side, with XWayland. The installed
# kwin_wayland carries a file capability that a container may be unable to grant (its exec fails), so a
# copy without it runs; KWin only takes its virtual platform under a file name that ends in kwin_wayland.
kwin_display_known() { grep -q '^display :' "$tmp/kwin.log"; }
xwayland_up() { xdpyinfo >/dev/null 2>&1 && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
start_kwin() {
  local count=$1 size=$2
  cp /usr/bin/kwin_wayland "$tmp/bin/kwin_wayland"
  export WAYLAND_DISPLAY=tintvale-kde
  KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
    /usr/bin/python3 "$kde_dir/x_sockets.py" 60 69 "$tmp/bin/kwin_wayland" --virtual --output-count "$count" \
    --width "${size%x*}" --height "${size#*x}" --socket "$WAYLAND_DISPLAY" --no-lockscreen --no-kactivities \
    --xwayland '{fds}' --xwayland-display '{display}' >"$tmp/kwin.log" 2>&1 &
  stop_at_exit $!
  wait_for 20 kwin_display_known || die "no free X display in 60..69: $(cat "$tmp/kwin.log")"
  DISPLAY=$(awk '/^display :/ {print $2; exit}' "$tmp/kwin.log")
  export DISPLAY
  wait_for 30 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || die "KWin did not start: $(tail -n 20 "$tmp/kwin.log")"
  wait_for 30 xwayland_up || die "KWin's XWayland on $DISPLAY did not come up: $(tail -n 20 "$tmp/kwin.log")"
}

# The permission store, the KDE backend (a Wayland client of KWin) and the frontend.
start_portal() {
  /usr/libexec/xdg-permission-store >"$tmp/permission-store.log" 2>&1 &
  stop_at_exit $!
  wait_for 10 bus_has org.freedesktop.impl.portal.PermissionStore || die "the permission store did not start"
  QT_QPA_PLATFORM=wayland /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde >"$tmp/portal-kde.log" 2>&1 &
  stop_at_exit $!
  wait_for 20 bus_has org.freedesktop.impl.portal.desktop.kde || die "xdg-desktop-portal-kde did not start: $(cat "$tmp/portal-kde.log")"
  /usr/libexec/xdg-desktop-portal >"$tmp/frontend.log" 2>&1 &
  stop_at_exit $!
  wait_for 20 bus_has org.freedesktop.portal.Desktop || die "xdg-desktop-portal did not start: $(cat "$tmp/frontend.log")"
}

# The fake-input client ($fake_input, set by the caller), its commands on fd 8; each answer is a line in
# $tmp/input.out.
start_input() {
  rm -f "$tmp/input.in"
  mkfifo "$tmp/input.in"
  # shellcheck disable=SC2154
  "$fake_input" <"$tmp/input.in" >"$tmp/input.out" 2>"$tmp/input.err" &
  stop_at_exit $!
  exec 8>"$tmp/input.in"
  input_sent=0
}
input_answered() { [ "$(grep -c '^ok' "$tmp/input.out")" -ge "$input_sent" ]; }
# Sends one fake-input command and waits until KWin has handled it.
input() {
  echo "$*" >&8
  input_sent=$((input_sent + 1))
  wait_for 10 input_answered || die "KWin did not take '$*': $(cat "$tmp/input.err")"
}

# The AT-SPI reader (tests/kde/reader.py), its commands on fd 9, each answer a line in $tmp/reader.out. It
# turns assistive technology on for the session, as a screen reader does.
reader_answers() { grep -c -v '^ready' "$tmp/reader.out"; }
reader_ready() { grep -q '^ready' "$tmp/reader.out"; }
start_reader() {
  rm -f "$tmp/reader.in"
  mkfifo "$tmp/reader.in"
  : >"$tmp/reader.out"
  /usr/bin/python3 "$kde_dir/reader.py" <"$tmp/reader.in" >"$tmp/reader.out" 2>"$tmp/reader.err" &
  stop_at_exit $!
  exec 9>"$tmp/reader.in"
  wait_for 20 reader_ready || die "the AT-SPI reader did not start: $(cat "$tmp/reader.err")"
}
reader_answered() { [ "$(reader_answers)" -gt "$1" ]; }
# Waits up to SECONDS until the text box NAME of the program PID holds TEXT (tabs included); false if it
# does not, with what it held last in $shown_last. The answer is the line after those there before (so
# this works in a subshell too).
shown_text() {
  local before answer
  before=$(reader_answers)
  printf 'text %s %s %s %s\n' "$1" "$2" "$3" "$4" >&9
  wait_for $(($2 + 10)) reader_answered "$before" || die "the AT-SPI reader did not answer: $(cat "$tmp/reader.err")"
  answer=$(grep -v '^ready' "$tmp/reader.out" | sed -n "$((before + 1))p")
  # shellcheck disable=SC2034  # for the caller
  shown_last=${answer#no }
  [ "$answer" = ok ]
}
