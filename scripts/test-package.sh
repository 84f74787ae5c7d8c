#!/usr/bin/env bash
# Builds the Debian package, checks its fields and contents, installs it with apt-get (as a user would),
# validates the installed desktop entry, metainfo and man page, and runs the smoke test of the INSTALLED
# program under a private X server. Then makes and checks the Windows zip from the win32 preset's build.
# Needs root or sudo for apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
# shellcheck source=scripts/lib.sh
source scripts/lib.sh
fail_prefix="package: FAIL"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

# The tests are built and run from the ci preset; the package needs only the program and its files.
cmake --preset package >/dev/null
cmake --build --preset package -j "$(nproc)"
rm -f "$build"/tintvale_*.deb
(cd "$build" && cpack -G DEB >/dev/null)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$PWD/$build/tintvale_${version}_${arch}.deb
[ -f "$deb" ] || { ls "$build"/*.deb 2>/dev/null; die "cpack did not make $deb"; }
echo "package: built ${deb#"$PWD"/}"

# Control fields: name, version, and dependencies both computed (shared libraries) and declared
# (the X11 platform plugin that Qt loads at run time, the Japanese font).
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tintvale ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', want $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', want $arch"
depends=$(field Depends)
depend_names=" $(sed 's/ *([^)]*)//g; s/,/ /g' <<<"$depends") "
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libxcb1 libpipewire-0.3-0 \
           qt6-qpa-plugins fonts-noto-cjk; do
  [[ "$depend_names" == *" $dep "* ]] || fail "Depends lacks $dep: $depends"
done
# Live sampling on Wayland desktops: the screen-cast portal and the PipeWire daemon, recommended.
[ "$(field Recommends)" = "xdg-desktop-portal, pipewire" ] || fail "Recommends is '$(field Recommends)'"

# Contents: every installed path, with the program executable and nothing under a build path.
contents=$(dpkg-deb -c "$deb")
while read -r path; do
  grep -q " \./usr/$path\$" <<<"$contents" || fail "the package lacks /usr/$path"
done <<'PATHS'
bin/tintvale
share/applications/org.tintvale.tintvale.desktop
share/metainfo/org.tintvale.tintvale.metainfo.xml
share/man/man1/tintvale.1.gz
share/icons/hicolor/32x32/apps/tintvale.png
share/icons/hicolor/48x48/apps/tintvale.png
share/icons/hicolor/64x64/apps/tintvale.png
share/icons/hicolor/128x128/apps/tintvale.png
share/icons/hicolor/256x256/apps/tintvale.png
share/doc/tintvale/copyright
share/doc/tintvale/README.md
share/doc/tintvale/CHANGELOG.md
share/doc/tintvale/changelog.gz
PATHS
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/tintvale$' <<<"$contents" ||
  fail "/usr/bin/tintvale is not an executable owned by root: $(grep bin/tintvale <<<"$contents")"
grep -Eq '^d(.{4}w|.{7}w)' <<<"$contents" && fail "group- or world-writable directories in the package"

# Debian's own check of the package: no error and no warning (informational tags are not shown).
if command -v lintian >/dev/null; then
  report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
  grep -Eq '^[EW]: ' <<<"$report" && fail "lintian: $report"
  echo "package: lintian clean"
else
  fail "lintian is not installed (scripts/deps.sh installs it)"
fi

# Install as a user would. A copy left from an earlier run goes first, so this build is what gets tested.
if dpkg-query -W -f='${Status}' tintvale 2>/dev/null | grep -q 'install ok installed'; then
  $sudo apt-get remove -y -qq tintvale >/dev/null
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
installed=$(command -v tintvale) || die "tintvale is not on PATH after installing"
[ "$installed" = /usr/bin/tintvale ] || fail "tintvale on PATH is $installed, not /usr/bin/tintvale"
echo "package: installed $(dpkg-query -W -f='${Package} ${Version}' tintvale)"

# The validators must report no error and no warning; desktop-file-validate prints nothing at all.
desktop=/usr/share/applications/org.tintvale.tintvale.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qx 'Exec=tintvale' "$desktop" || fail "the desktop entry does not start plain tintvale"
metainfo=/usr/share/metainfo/org.tintvale.tintvale.metainfo.xml
report=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
grep -q '<screenshots>' "$metainfo" && fail "the metainfo has screenshots"
man -w tintvale >/dev/null 2>&1 || fail "man does not find tintvale(1)"
report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
         /usr/share/man/man1/tintvale.1.gz 2>&1 >/dev/null)
[ -z "$report" ] || fail "man page warnings: $report"
echo "package: validators passed (desktop entry, metainfo, man page)"

if [ $failures -eq 0 ]; then
  scripts/with-x.sh packaging/smoke-test.sh /usr/bin/tintvale || fail "smoke test of the installed program"
fi

# The Windows zip, from the i686 build of the win32 preset (made here when the Windows tests did not).
if [ -f platform/win32/CMakeLists.txt ] && command -v i686-w64-mingw32-g++ >/dev/null; then
  [ -f build/win32/CMakeCache.txt ] || cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$(nproc)" >/dev/null
  rm -rf build/pkg-zip
  cpack -G ZIP --config build/win32/CPackConfig.cmake -B build/pkg-zip >/dev/null
  zip=build/pkg-zip/tintvale-${version}-win32.zip
  if [ ! -f "$zip" ]; then
    fail "cpack did not make $zip"
  else
    listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
    want="tintvale-${version}-win32/ tintvale-${version}-win32/CHANGELOG.md tintvale-${version}-win32/LICENSE.txt"
    want+=" tintvale-${version}-win32/README.md tintvale-${version}-win32/tintvale.exe "
    [ "$listing" = "$want" ] || [ "$listing" = "${want#*/ }" ] || fail "zip holds: $listing; want: $want"
    exe=$(mktemp -d)
    unzip -q -o "$zip" -d "$exe"
    file "$exe/tintvale-${version}-win32/tintvale.exe" | grep -q 'PE32 executable (GUI) Intel 80386' ||
      fail "tintvale.exe is not a 32-bit x86 GUI program: $(file -b "$exe"/*/tintvale.exe)"
    # One program file: it may import only DLLs that every Windows has.
    dlls=$(i686-w64-mingw32-objdump -p "$exe"/*/tintvale.exe | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)
    for dll in $dlls; do
      case $dll in
        kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | comctl32.dll | comdlg32.dll | \
          ole32.dll | oleaut32.dll | msvcrt.dll | uxtheme.dll | imm32.dll | shlwapi.dll | version.dll) ;;
        *) fail "tintvale.exe needs $dll, which is not shipped" ;;
      esac
    done
    rm -rf "$exe"
    echo "package: $zip holds $listing"
  fi
else
  echo "package: no Win32 backend or no i686 MinGW-w64 compiler: Windows zip not made"
fi

if [ $failures -ne 0 ]; then
  echo "package: $failures check(s) failed"
  exit 1
fi
echo "package: all checks passed"
