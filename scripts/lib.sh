# shellcheck shell=bash
# Shell helpers shared by Tintvale's scripts, benchmarks and shell tests. Source it (bash only):
#   source "$(dirname "$0")/../scripts/lib.sh"
# It takes over the EXIT trap (use on_exit instead of trap) and does not change set -e/-u/-o pipefail.
#
#   now_ms                         prints the wall-clock time in milliseconds
#   wait_for SECONDS COMMAND...    polls COMMAND every 20 ms until it succeeds (0) or SECONDS pass (1)
#   gone PID                       succeeds when process PID no longer runs
#   fail MESSAGE...                records a failed check ($failures + 1), prints "$fail_prefix: MESSAGE", goes on
#   pass MESSAGE...                prints "ok: MESSAGE"
#   die MESSAGE...                 prints "$fail_prefix: MESSAGE" on stderr, runs the on_die commands, exits 1
#   on_die COMMAND...              runs COMMAND when die is called (to show a log, save a screenshot)
#   on_exit COMMAND...             runs COMMAND when the script exits; the last registered runs first
#   stop PID...                    ends those PIDs that are children of this shell: SIGCONT, SIGTERM, SIGKILL after 5 s
#   stop_at_exit PID...            stops PIDs (as stop does) when the script exits
#   start_x [SCREEN [FIRST LAST]]  Xvfb (SCREEN 1280x800x24) on a free display FIRST..LAST (91..140) and openbox
#                                  (xfwm4 with TINTVALE_WM=xfwm4), DISPLAY and XDG_RUNTIME_DIR exported; both stop
#                                  when the script exits
#   wine_start                     the Wine prefix ($WINEPREFIX, default build/wineprefix) and a persistent
#                                  wineserver; TINTVALE_WINE names the loader; stops the server at exit unless
#                                  TINTVALE_WINE_KEEP is set (a parent script owns it)
#   wine_stop                      ends the wineserver of $WINEPREFIX and waits for it
#   soak_user SECONDS              a user for SECONDS: each second 100 pointer moves 10 ms apart along a row, then Enter
#   record_while PID SECONDS CMD... runs CMD ELAPSED_S at once, every 5 s and at the end; dies if PID ends before
#   rss_kib PID                    prints the resident set size of PID in KiB
#   soak_verdict NAME RECORD SECONDS SIZES LABEL  the soaks' pass rule over RECORD (see the function); status 1 on FAIL
#   start_pipewire FOLDER          pipewire and wireplumber on $XDG_RUNTIME_DIR, logs in FOLDER; waits until
#                                  wireplumber is a client; both stop when the script exits
#   build_with_preset PRESET       installs the test packages, configures and builds PRESET ($JOBS jobs, default 2)
#   bus_config FILE LISTEN SERVICE_FOLDER [keep_umask]  a private session bus that starts only that folder\'s
#                                  services (scripts/bus-config.sh)
#
# Variables: fail_prefix (default "FAIL") starts every fail and die message; failures counts fail calls.

tintvale_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=scripts/bus-config.sh
source "$tintvale_root/scripts/bus-config.sh"
fail_prefix=${fail_prefix:-FAIL}
failures=0
_lib_exit_actions=()
_lib_die_actions=()

now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }

wait_for() {
  local seconds=$1 whole fraction deadline now
  shift
  whole=${seconds%%.*}
  fraction=000
  [[ $seconds == *.* ]] && fraction=${seconds#*.}000
  now=${EPOCHREALTIME/[.,]/}
  deadline=$((now + ${whole:-0} * 1000000 + 10#${fraction:0:3} * 1000))
  until "$@"; do
    now=${EPOCHREALTIME/[.,]/}
    [ "$now" -lt "$deadline" ] || return 1
    sleep 0.02  # the poll interval, inside the deadline
  done
}

gone() { ! kill -0 "$1" 2>/dev/null; }

fail() { echo "$fail_prefix: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

on_die() { _lib_die_actions+=("$(printf '%q ' "$@")"); }
die() {
  echo "$fail_prefix: $*" >&2
  local action
  for action in "${_lib_die_actions[@]}"; do eval "$action" || true; done
  exit 1
}

on_exit() { _lib_exit_actions+=("$(printf '%q ' "$@")"); }
stop_at_exit() { on_exit stop "$@"; }

# PID is a child of this shell: an ended child's number, once reaped, may belong to someone else's process.
_lib_child() {
  local stat
  stat=$({ cat "/proc/$1/stat"; } 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "$(cut -d' ' -f2 <<<"$stat")" = "$BASHPID" ]
}

stop() {
  local pid mine=()
  for pid in "$@"; do
    [ -n "$pid" ] && _lib_child "$pid" || continue
    mine+=("$pid")
    kill -CONT "$pid" 2>/dev/null || true   # a stopped process acts on SIGTERM only once it runs again
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${mine[@]}"; do
    wait_for 5 gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

_lib_on_exit() {
  local status=$? i
  set +e
  trap - EXIT
  for ((i = ${#_lib_exit_actions[@]} - 1; i >= 0; i--)); do eval "${_lib_exit_actions[i]}"; done
  exit "$status"
}
trap _lib_on_exit EXIT   # bash runs it on SIGTERM and SIGHUP too

# Our server on display N is up: the display's lock file names our Xvfb (another server may have taken the
# number between the free-check and the start) and it answers. Also true once our Xvfb has ended.
_lib_x_up() {
  gone "$2" && return 0
  [ "$({ tr -d ' \n' <"/tmp/.X$1-lock"; } 2>/dev/null)" = "$2" ] && DISPLAY=":$1" xdpyinfo >/dev/null 2>&1
}
_lib_wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

start_x() {
  local screen=${1:-1280x800x24} first=${2:-91} last=${3:-140} n xvfb=""
  for ((n = first; n <= last; n++)); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb=$!
    stop_at_exit "$xvfb"
    wait_for 20 _lib_x_up "$n" "$xvfb" || die "Xvfb did not start on :$n"
    gone "$xvfb" || break
    xvfb=""   # the number was taken meanwhile: try the next one
  done
  [ -n "$xvfb" ] || die "no free display number in $first..$last"
  export DISPLAY=:$n
  # TINTVALE_WM=xfwm4 starts xfwm4 instead, which needs a session bus (its settings come through xfconf).
  case ${TINTVALE_WM:-openbox} in
    xfwm4) xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 & ;;
    *) openbox --sm-disable >/dev/null 2>&1 & ;;
  esac
  stop_at_exit $!
  wait_for 20 _lib_wm_up || die "${TINTVALE_WM:-openbox} did not start"
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d /tmp/tintvale-xdg.XXXXXX)
    export XDG_RUNTIME_DIR
    on_exit rm -rf "$XDG_RUNTIME_DIR"
  fi
  chmod 700 "$XDG_RUNTIME_DIR"
}

# One Wine prefix per run under build/, a persistent wineserver so each program starts in about a quarter
# of a second, and errors (crashes included) on stderr.
wine_start() {
  export WINEPREFIX=${WINEPREFIX:-$tintvale_root/build/wineprefix}
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:-err+all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -x /usr/lib/wine/wine64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    TINTVALE_WINE=/usr/lib/wine/wine64
  else
    TINTVALE_WINE=$(command -v wine64 || command -v wine)
  fi
  export TINTVALE_WINE
  TINTVALE_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  [ -n "${TINTVALE_WINE_KEEP:-}" ] || on_exit wine_stop
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$TINTVALE_WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$TINTVALE_WINESERVER" -w
  fi
  # The server and the services it starts outlive this call: they must not hold the caller's pipes.
  "$TINTVALE_WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  # The first program in a new X server also starts Wine's desktop and services: pay that once here.
  "$TINTVALE_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  "$TINTVALE_WINESERVER" -k 2>/dev/null || true
  "$TINTVALE_WINESERVER" -w 2>/dev/null || true
}

# The soaks' user: one xdotool per second moves the pointer 100 times along a row below the window, 10 ms
# apart, then presses Enter in the focused entry box (a capture, with "-c" onto the clipboard).
soak_user() {
  local end=$((SECONDS + $1)) row=700 i moves
  while [ $SECONDS -lt $end ]; do
    moves=()
    for i in $(seq 0 99); do moves+=(mousemove $((40 + i * 12)) "$row" sleep 0.01); done
    xdotool "${moves[@]}" key Return >/dev/null 2>&1 || true
    row=$((row == 700 ? 720 : 700))
  done
}

record_while() {
  local pid=$1 seconds=$2 start=$SECONDS next=0
  shift 2
  while [ $((SECONDS - start)) -lt "$seconds" ]; do
    gone "$pid" && die "the program ended early"
    if [ $((SECONDS - start)) -ge $next ]; then
      "$@" $((SECONDS - start))
      next=$((next + 5))
    fi
    sleep 0.5  # the recording period's resolution, not a wait for anything
  done
  "$@" $((SECONDS - start))
}

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }

# RECORD: a header line of column names, then "elapsed_s size... count..." every few seconds of a SECONDS
# run; the SIZES columns after the first are KiB, the rest are counts (LABEL names them). Passes when, after
# a warm-up of the first sixth of the run (at least 10 s), no size grows by more than 100 KiB per minute
# (never less than 100 KiB allowed) and no count ends higher than at the end of the warm-up.
soak_verdict() {
  local name=$1 record=$2 seconds=$3 sizes=$4 label=$5 warmup allowed
  warmup=$((seconds / 6 > 10 ? seconds / 6 : 10))
  allowed=$((seconds - warmup > 60 ? (seconds - warmup) * 100 / 60 : 100))
  awk -v name="$name" -v warm="$warmup" -v allowed="$allowed" -v ticks=$((seconds * 100)) \
      -v sizes="$sizes" -v label="$label" '
    NR == 1 { for (i = 1; i <= NF; i++) column[i] = $i; next }
    $1 <= warm { for (i = 2; i <= NF; i++) base[i] = $i; have = 1; next }
    { for (i = 2; i <= NF; i++) { last[i] = $i; if ($i > peak[i]) peak[i] = $i } }
    END {
      if (!have) { print name ": no sample after the warm-up"; exit 1 }
      fail = 0
      for (i = 2; i <= sizes + 1; i++) {
        grow = last[i] - base[i]
        printf "%s: %d ticks; %s %d after warm-up, %d at the end (%+d KiB, allowed %d, peak %d)\n",
          name, ticks, column[i], base[i], last[i], grow, allowed, peak[i]
        if (grow > allowed) fail = 1
      }
      counts = ""
      for (i = sizes + 2; i <= length(column); i++) {
        counts = counts sprintf(" %s %d->%d", column[i], base[i], last[i])
        if (last[i] > base[i]) fail = 1
      }
      print name ": " label counts
      print name (fail ? ": FAIL" : ": pass")
      exit fail
    }' "$record"
}

build_with_preset() {
  "$tintvale_root/scripts/deps.sh" test
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "${JOBS:-2}"
}

wireplumber_up() { pw-cli ls Client 2>/dev/null | grep -q '"WirePlumber"'; }
start_pipewire() {
  pipewire </dev/null >"$1/pipewire.log" 2>&1 &
  stop_at_exit $!
  wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || die "pipewire did not start: $(tail -n 5 "$1/pipewire.log")"
  wireplumber </dev/null >"$1/wireplumber.log" 2>&1 &
  stop_at_exit $!
  wait_for 10 wireplumber_up || die "wireplumber did not start: $(tail -n 5 "$1/wireplumber.log")"
}
