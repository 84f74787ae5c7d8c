#!/usr/bin/env bash
# How the picture-rate cap the program asks the desktop for (maxFramerate in platform/portal/stream_params.cpp's
# EnumFormat) changes the pointer's update rate and the CPU of mutter and of Tintvale, on the headless GNOME
# desktop of tests/gnome (mutter 43, software rendering), here with two smaller monitors at 60 Hz, Meta-0
# 800x600 and Meta-1 640x480 (TINTVALE_BENCH_MONITORS="WxH[@HZ] ..." chooses others): at the tests' sizes
# software-rendered mutter on 2 cores cannot paint 60 frames a second, and the cap then changes nothing.
# For each cap the program is built from a copy of the tree with only that number changed
# (build/bench-gnome-src/capN); the cap the tree has is built from the tree itself (build/bench-gnome).
# In each round and for each cap, on a fresh desktop: the pointer moves 125 times a second along the
# middle row of Meta-0 through mutter, over a still screen ("still") and over a full-screen animation on
# Meta-0 at 60 frames a second (a playing video, "video"), and nothing moves at all ("idle"), while
# bench/portal_rates runs the real program on the portal and counts, after its warm-up; mutter alone, with
# no screen cast, is measured the same way. Prints the medians over rounds.
# Usage: scripts/bench-gnome.sh [ROUNDS] [SECONDS] [CAP...]   (default 3 rounds of 10 s, caps 30 60)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-3}
seconds=${2:-10}
shift $(($# > 2 ? 2 : $#))
caps=("$@")
[ ${#caps[@]} -gt 0 ] || caps=(30 60)
monitors=${TINTVALE_BENCH_MONITORS:-800x600 640x480}

# shellcheck source=scripts/lib.sh
source scripts/lib.sh
fail_prefix=bench-gnome
source_file=platform/portal/stream_params.cpp
cap_line='const spa_fraction cap{[0-9]*, 1}, minCap{1, 1};'
tree_cap=$(grep -o 'const spa_fraction cap{[0-9]*' "$source_file" | grep -o '[0-9]*$')
[ -n "$tree_cap" ] && [ "$(grep -c "$cap_line" "$source_file")" -eq 1 ] ||
  die "the cap's line is not in $source_file as this script knows it"

# The cap the tree has is built from the tree (the bench-gnome preset, build/bench-gnome); another from a
# copy of the tree that differs in that number only (build/bench-gnome-src/capN, built there with the
# same preset). Files are copied only when they differ, so a second run rebuilds only what changed.
build_of() {
  if [ "$1" = "$tree_cap" ]; then echo build/bench-gnome; else echo "build/bench-gnome-src/cap$1/build/bench-gnome"; fi
}
build_for() {
  local cap=$1 copy=build/bench-gnome-src/cap$1 f
  if [ "$cap" != "$tree_cap" ]; then
    mkdir -p "$copy"
    while IFS= read -r -d '' f; do
      [ -f "$f" ] || continue
      mkdir -p "$copy/$(dirname "$f")"
      cmp -s "$f" "$copy/$f" || cp -p "$f" "$copy/$f"
    done < <(git ls-files -z --cached --others --exclude-standard)
    sed "s/const spa_fraction cap{[0-9]*, 1}, minCap{1, 1};/const spa_fraction cap{$cap, 1}, minCap{1, 1};/" \
      "$source_file" >"$copy/$source_file.new"
    if cmp -s "$copy/$source_file.new" "$copy/$source_file"; then rm "$copy/$source_file.new"
    else mv "$copy/$source_file.new" "$copy/$source_file"; fi
    grep -q "const spa_fraction cap{$cap, 1}" "$copy/$source_file" || die "could not set the cap to $cap"
  else
    copy=.
  fi
  (cd "$copy" && cmake --preset bench-gnome && cmake --build --preset bench-gnome -j "${JOBS:-2}") \
    >"$root/build/bench-gnome-cap$cap.log" 2>&1 ||
    die "the build for a cap of $cap failed: $(tail -n 20 "$root/build/bench-gnome-cap$cap.log")"
}
for cap in "${caps[@]}"; do
  echo "building the program with a cap of $cap" >&2
  build_for "$cap"
done

log=$(mktemp -d /tmp/tintvale-bench-gnome.XXXXXX)
on_exit rm -rf "$log"

# One measurement on a desktop of its own, in a subshell that stops it when it ends: CAP (or "none" for
# mutter without a screen cast), SCENE (still or video), OUT.
measure() (
  _lib_exit_actions=()
  trap _lib_on_exit EXIT
  local cap=$1 scene=$2 out=$3 t0 t1
  # shellcheck source=tests/gnome/desktop.sh
  source "$root/tests/gnome/desktop.sh"
  gnome_monitors=()
  for m in $monitors; do gnome_monitors+=(--virtual-monitor "$m"); done
  gnome_env "$out.desktop"
  start_gnome physical
  if [ "$scene" = video ]; then echo "animate 60 Meta-0" >&9; fi
  # Along the middle row of Meta-0; nothing moves at all in the idle scene.
  local row
  row=$("$gnome_python" "$gnome_dir/control.py" state | awk '$1 == "Meta-0" { print int($5 / 2) }')
  [ "$scene" = idle ] || person sweep Meta-0 "$row" 125
  mutter_ticks() { awk '{ print $14 + $15 }' "/proc/$mutter_pid/stat"; }
  if [ "$cap" = none ]; then
    sleep 3  # as long as the program's warm-up, then the measured time itself: not waits for anything
    t0=$(mutter_ticks)
    sleep "$seconds"
    t1=$(mutter_ticks)
    awk -v a="$t0" -v b="$t1" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
      'BEGIN { printf "watched_cpu_percent %.1f\n", (b - a) / hz / s * 100 }' >"$out"
  else
    local token
    token=$(cat /proc/sys/kernel/random/uuid)
    "$gnome_python" "$gnome_dir/control.py" grant "$token"
    mkdir -p "$XDG_STATE_HOME/tintvale"
    echo "$token" >"$XDG_STATE_HOME/tintvale/restore-token"
    TINTVALE_SCREEN=portal "$(build_of "$cap")/bench/portal_rates" "$seconds" --watch "$mutter_pid" \
      >"$out" 2>"$out.err" || die "portal_rates failed: $(tail -n 20 "$out.err")"
    grep -q '^live yes' "$out" || die "the program did not sample live: $(cat "$out.err")"
  fi
  [ "$scene" = idle ] || person sweep stop
)

for round in $(seq "$rounds"); do
  for scene in still video idle; do
    for cap in none "${caps[@]}"; do
      measure "$cap" "$scene" "$log/$cap-$scene-$round"
      echo "round $round, $scene, cap $cap: $(tr '\n' ' ' <"$log/$cap-$scene-$round")" >&2
    done
  done
done

median() {  # KEY FILES...: the median over rounds (and the range) of one figure
  local key=$1
  shift
  awk -v k="$key" '$1 == k { print $2 }' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "-"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.1f (%.1f–%.1f)", m, v[1], v[NR] }'
}
rounds_of() { local r; for r in $(seq "$rounds"); do echo "$log/$1-$r"; done; }  # CAP-SCENE
row() {  # LABEL KEY
  local key=$2 line="| $1 |" scene cap
  for scene in still video idle; do
    # shellcheck disable=SC2046  # one file name a line, none with spaces
    for cap in "${caps[@]}" none; do line+=" $(median "$key" $(rounds_of "$cap-$scene")) |"; done
  done
  echo "$line"
}

printf '\nTintvale on headless GNOME (mutter %s, software rendering, monitors %s),' \
  "$(mutter --version | awk '{print $2}')" "$monitors"
printf ' the pointer moved at 125 Hz on Meta-0\n'
printf '%s rounds of %s s, median over rounds (min–max); the tree asks for %s frames a second\n\n' \
  "$rounds" "$seconds" "$tree_cap"
header="| Figure |" rule="|---|"
for scene in still video idle; do
  for cap in "${caps[@]}"; do header+=" $scene, cap $cap |"; rule+="---|"; done
  header+=" $scene, no screen cast |"; rule+="---|"
done
echo "$header"
echo "$rule"
row "Pointer changes Tintvale reads, per second" pointer_changes_per_s
row "Buffers its streams take, per second" buffers_per_s
row "Full pictures among them, per second" frames_per_s
row "Tintvale CPU, % of a core" cpu_percent
row "mutter CPU, % of a core" watched_cpu_percent
