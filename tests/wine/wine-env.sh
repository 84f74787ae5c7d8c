# Sourced by the Windows test scripts: one Wine prefix per run under build/, a persistent wineserver so
# each program starts in about a quarter of a second, and errors (crashes included) on stderr.
# After sourcing, call wine_env_stop when done.
tintvale_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
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

wine_env_start() {
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

wine_env_stop() {
  "$TINTVALE_WINESERVER" -k 2>/dev/null || true
  "$TINTVALE_WINESERVER" -w 2>/dev/null || true
}
