#!/usr/bin/env bash
# The program on a real GNOME desktop: installs headless mutter 43, its XWayland, the GNOME screen-cast
# portal backend and what the test desktop of tests/gnome needs (Debian 12 packages, without their
# recommends), builds the program if it is not built, and runs the ctest cases labelled gnome, each on a
# desktop of its own. Usage: scripts/test-gnome.sh [BUILD_DIR]   (default build/ci)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}

scripts/deps.sh test
gnome_pkgs=(mutter mutter-common xwayland xdg-desktop-portal xdg-desktop-portal-gnome
            pipewire pipewire-bin wireplumber at-spi2-core gir1.2-atspi-2.0 libgl1-mesa-dri libegl-mesa0
            libglib2.0-bin dbus dbus-bin python3-dbus python3-gi python3-gi-cairo python3-cairo gir1.2-gtk-3.0
            x11-utils xdotool xclip imagemagick)
missing=()
for p in "${gnome_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=1800 install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

if [ ! -x "$build/tintvale" ]; then
  cmake --preset ci
  cmake --build --preset ci -j "${JOBS:-2}" --target tintvale
fi
# Not through the preset, which leaves these cases out of the main run.
ctest --test-dir "$build" -L gnome -j 1 --output-on-failure
