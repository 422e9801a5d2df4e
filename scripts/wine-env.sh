# Sourced by the scripts that run Windows programs: sets up a private Wine
# prefix with the simulated board registered, and keeps the wineserver on the
# current display. Needs SKALENOR_BUILD (a Windows build folder) and DISPLAY.
#
# The build folder's wine-arch.txt says which Wine runs it: "win32" (the 32-bit
# product) or "win64" (the 64-bit test build, for kernels without 32-bit support).

source "$(dirname "${BASH_SOURCE[0]}")/wine-bin.sh"

SKALENOR_WINE_ARCH=$(cat "$SKALENOR_BUILD/wine-arch.txt" 2>/dev/null || echo win32)
export WINEARCH="$SKALENOR_WINE_ARCH"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$SKALENOR_BUILD/wineprefix}"
if [ "$SKALENOR_WINE_ARCH" = win64 ]; then
  WINE="$SKALENOR_WINE_DIR/wine64"
  export WINESERVER="$SKALENOR_WINE_DIR/wineserver64"
  export WINELOADER="$WINE"
else
  # The 32-bit loader finds Debian's server by itself.
  WINE="$SKALENOR_WINE_DIR/wine"
  unset WINESERVER WINELOADER
fi
wine() { "$WINE" "$@"; }
wineserver() { "${WINESERVER:-$SKALENOR_WINE_DIR/wineserver}" "$@"; }

# Windows path of a Linux path, through Wine's Z: drive.
winpath() { printf 'Z:%s' "$(readlink -f "$1" | sed 's|/|\\|g')"; }

wine_prepare() {
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    # The programs started here must not inherit the lock (bash keeps it in a
    # copy closed on exec): a wineserver started here lives as long as the
    # prefix's programs and would keep every later wine_prepare waiting.
    {
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot -i </dev/null >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # No window manager under Xvfb: unmanaged windows avoid a 2 s stall per hide.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      fi
      # A wineserver started on another display cannot create windows here.
      if [ "$(cat "$WINEPREFIX/.display" 2>/dev/null)" != "${DISPLAY:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
        printf '%s' "${DISPLAY:-}" > "$WINEPREFIX/.display"
      fi
      # Register the simulated board's driver library where the program looks.
      local dll="$SKALENOR_BUILD/sim/kvsim.dll"
      if [ -f "$dll" ] && [ "$(cat "$WINEPREFIX/.kvsim" 2>/dev/null)" != "$dll" ]; then
        local p; p=$(winpath "$dll")
        wine reg add 'HKLM\SOFTWARE\Tarvelin\Drivers\1.0\KV320E' /v path /t REG_SZ /d "$p" /f >/dev/null 2>&1
        wine reg add 'HKLM\SOFTWARE\Tarvelin\Base library\1.0\LABUtility' /v path /t REG_SZ /d "$p" /f >/dev/null 2>&1
        printf '%s' "$dll" > "$WINEPREFIX/.kvsim"
      fi
      # services.exe and explorer.exe must not inherit the caller's pipes.
      wine wineboot </dev/null >/dev/null 2>&1 || true
    } 9>&-
  ) 9>"$WINEPREFIX.lock"
}
