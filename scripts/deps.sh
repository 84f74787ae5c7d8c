#!/usr/bin/env bash
# Installs what building and testing Tintvale needs on Debian 12 / Ubuntu. Needs root (or sudo).
# Usage: scripts/deps.sh [run|test]   (run: just enough to build and start the Linux program)
set -euo pipefail
what=${1:-test}

run_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libxcb1-dev libxcb-randr0-dev libgl-dev zlib1g-dev fonts-noto-cjk
          libpipewire-0.3-dev libspa-0.2-dev)
test_pkgs=(googletest libgtest-dev xvfb openbox xdotool xclip x11-utils x11-xserver-utils xauth
           imagemagick g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-i686
           binutils-mingw-w64-x86-64 wine64 icoutils
           dpkg-dev file desktop-file-utils appstream groff-base unzip lintian
           libxcb-xtest0-dev xrestop strace
           pipewire pipewire-bin wireplumber xdg-desktop-portal dbus dbus-bin python3-dbus python3-gi
           xfwm4 at-spi2-core python3-pyatspi
           shellcheck clang-format-14)
pkgs=("${run_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
