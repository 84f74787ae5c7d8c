# shellcheck shell=bash
# A GNOME desktop without a screen, for the program's tests and benchmark on the real compositor: mutter 43
# headless (Wayland, two virtual monitors Meta-0 1600x960 and Meta-1 1024x768 to its right, its XWayland),
# PipeWire, WirePlumber, the accessibility bus, the permission store, xdg-desktop-portal-gnome and the real
# xdg-desktop-portal, all on a private session bus that can start nothing by itself (its only service
# folder is empty), in private XDG folders. On it: a person who moves mutter's pointer and types
# (control.py, fd 8) and the pattern windows (patterns.py, fd 9).
# Needs scripts/lib.sh sourced first. Source it, call gnome_env FOLDER, then start_gnome [logical].
gnome_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
gnome_python=/usr/bin/python3   # the system's, with its python3-dbus and python3-gi
gnome_monitors=(--virtual-monitor 1600x960 --virtual-monitor 1024x768)

# Everything the desktop keeps, private to FOLDER. Nothing of the caller's session is used.
gnome_env() {
  tmp=$1
  unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM GDK_BACKEND TINTVALE_SCREEN \
    TINTVALE_PORTAL_DIR XDG_DESKTOP_PORTAL_DIR SESSION_MANAGER
  export XDG_RUNTIME_DIR=$tmp/run XDG_DATA_HOME=$tmp/data XDG_STATE_HOME=$tmp/state XDG_CONFIG_HOME=$tmp/config
  export XDG_CACHE_HOME=$tmp/cache XDG_CONFIG_DIRS=$tmp/config-dirs
  mkdir -p "$XDG_RUNTIME_DIR" "$tmp/services" "$tmp/portals" "$XDG_CONFIG_HOME/glib-2.0/settings"
  chmod 700 "$XDG_RUNTIME_DIR"
  # A GNOME session as its programs see it; settings in a key file of our own, not dconf.
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile
  export MUTTER_DEBUG_DISABLE_ANIMATIONS=1
  # shellcheck disable=SC2034  # for the scripts that source this
  token_file=$XDG_STATE_HOME/tintvale/restore-token
  # The GNOME backend only: another installed backend (gtk, kde) is neither listed nor startable.
  cp /usr/share/xdg-desktop-portal/portals/gnome.portal "$tmp/portals/"
  bus_config "$tmp/bus.conf" "unix:path=$XDG_RUNTIME_DIR/bus" "$tmp/services"
}

bus_has() { gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true; }
# Starts a service with its output in $tmp/NAME.log and waits for its bus name.
start_service() {
  local label=$1 name=$2
  shift 2
  "$@" </dev/null >"$tmp/$label.log" 2>&1 &
  stop_at_exit $!
  wait_for 20 bus_has "$name" || die "$label did not take $name on the bus: $(tail -n 5 "$tmp/$label.log")"
}

# mutter makes /tmp/.X11-unix itself when it is missing, under its umask, and then refuses the folder it
# made for its second display ("not writable"): it must be there, sticky and writable by all, as a
# booted system's tmpfiles make it.
x11_socket_folder() {
  mkdir -m 1777 /tmp/.X11-unix 2>/dev/null && return
  [ "$(stat -c %a /tmp/.X11-unix)" = 1777 ] && return
  [ "$(stat -c %u /tmp/.X11-unix)" = "$(id -u)" ] || die "/tmp/.X11-unix is not sticky and writable by all"
  chmod 1777 /tmp/.X11-unix
}

# The whole desktop. "logical": mutter's logical layout mode (the experimental scale-monitor-framebuffer,
# which fractional scales need); "physical" or nothing: the default physical one.
start_gnome() {
  if [ "${1:-}" = logical ]; then
    printf "[org/gnome/mutter]\nexperimental-features=['scale-monitor-framebuffer']\n" \
      >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
  fi
  dbus-daemon --config-file="$tmp/bus.conf" --nofork --nosyslog </dev/null >"$tmp/bus.log" 2>&1 &
  stop_at_exit $!
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
  wait_for 10 bus_has org.freedesktop.DBus || die "the session bus did not start: $(cat "$tmp/bus.log")"
  start_pipewire "$tmp"
  start_service at-spi org.a11y.Bus /usr/libexec/at-spi-bus-launcher --launch-immediately

  x11_socket_folder
  # mutter 43 has no option for XWayland's display number. It starts looking at :0, or at :1024 when
  # RUNNING_UNDER_GDM is set (mutter's only use of it), and takes the first free pair from there (the lock
  # file made exclusively, both sockets bound), far from the Xvfb numbers the other tests use. It hands
  # the command after "--" its DISPLAY, XAUTHORITY and WAYLAND_DISPLAY; that command waits for this shell,
  # so mutter also ends if this shell is killed before it can stop mutter.
  rm -f "$tmp/mutter.env"
  # shellcheck disable=SC2016  # expanded by that command's shell
  RUNNING_UNDER_GDM=1 mutter --headless --wayland "${gnome_monitors[@]}" -- \
    /bin/sh -c 'env >"$0.part" && mv "$0.part" "$0" && exec tail --pid="$1" -f /dev/null' "$tmp/mutter.env" "$BASHPID" \
    </dev/null >"$tmp/mutter.log" 2>&1 &
  mutter_pid=$!
  stop_at_exit "$mutter_pid"
  wait_for 30 test -s "$tmp/mutter.env" || die "mutter did not start: $(tail -n 5 "$tmp/mutter.log")"
  local v
  for v in DISPLAY XAUTHORITY WAYLAND_DISPLAY; do
    export "$(grep -m1 "^$v=" "$tmp/mutter.env")" || die "mutter gave no $v"
  done
  wait_for 10 bus_has org.gnome.Mutter.DisplayConfig || die "mutter has no DisplayConfig on the bus"

  start_service permission-store org.freedesktop.impl.portal.PermissionStore /usr/libexec/xdg-permission-store
  start_service portal-gnome org.freedesktop.impl.portal.desktop.gnome /usr/libexec/xdg-desktop-portal-gnome -r
  XDG_DESKTOP_PORTAL_DIR=$tmp/portals start_service portal org.freedesktop.portal.Desktop \
    /usr/libexec/xdg-desktop-portal -r

  start_helper person 8 "$gnome_dir/control.py"
  wait_for 20 grep -qs '^ready' "$tmp/person.out" || die "the pointer driver did not start: $(cat "$tmp/person.err")"
  GDK_BACKEND=wayland start_helper patterns 9 "$gnome_dir/patterns.py"
  wait_for 30 patterns_shown 0 || die "the pattern windows did not show: $(cat "$tmp/patterns.err")"
}

# A helper with its commands on file descriptor FD; its answers in $tmp/NAME.out.
start_helper() {
  local name=$1 fd=$2 script=$3
  rm -f "$tmp/$name.in"
  mkfifo "$tmp/$name.in"
  "$gnome_python" "$script" <"$tmp/$name.in" >"$tmp/$name.out" 2>"$tmp/$name.err" &
  stop_at_exit $!
  eval "exec $fd>\"\$tmp/$name.in\""
}
lines_of() { local n; n=$(grep -c . "$1" 2>/dev/null); echo "${n:-0}"; }
more_lines() { [ "$(lines_of "$1")" -gt "$2" ]; }

# One command to the person; waits for its answer. Dies on an error.
person() {
  local before answer
  before=$(lines_of "$tmp/person.out")
  echo "$*" >&8
  wait_for 30 more_lines "$tmp/person.out" "$before" || die "the pointer driver did not answer '$*'"
  answer=$(tail -n1 "$tmp/person.out")
  [[ $answer == ok* ]] || die "the pointer driver: '$*': $answer"
}

# Both monitors' pattern windows have drawn since the count of "shown" lines was SINCE.
shown_count() { local n; n=$(grep -c '^shown' "$tmp/patterns.out" 2>/dev/null); echo "${n:-0}"; }
patterns_shown() { [ "$(shown_count)" -ge $(($1 + 2)) ]; }

# A new monitor layout (control.py layout), and the pattern windows drawn in it.
relayout() {
  local shown
  shown=$(shown_count)
  person layout "$@"
  wait_for 30 patterns_shown "$shown" || die "the pattern windows did not show after the layout change"
}

# The colour of the pattern at X Y of monitor Meta-N, as the program writes it: #RRGGBB.
pattern_colour() {
  local m=${1#Meta-} x=$2 y=$3
  printf '#%02X%02X%02X' $((x & 255)) $((y & 255)) $((m << 7 | (y >> 8 & 7) << 4 | (x >> 8 & 15)))
}

# The coordinates Tintvale must show for X Y of monitor CONNECTOR, as "x<Tab>y": that monitor's place
# relative to the primary one's, in layout units, times that monitor's device pixels per layout unit
# (its scale in the logical layout mode, 1 in the physical one), plus X Y.
expected_coordinates() {
  "$gnome_python" "$gnome_dir/control.py" state | awk -v c="$1" -v x="$2" -v y="$3" '
    $1 == "mode" { logical = ($2 == "logical"); next }
    $7 == "primary" { px = $2; py = $3 }
    $1 == c { mx = $2; my = $3; s = $6 }
    END { f = logical ? s : 1; printf "%d\t%d\n", (mx - px) * f + x, (my - py) * f + y }'
}
