# Sourced: where this machine's Wine binaries are, and whether 32-bit Wine runs.
# Every Wine program is called by its full path under SKALENOR_WINE_DIR
# (Debian's /usr/lib/wine unless set; a test points it at stand-ins).
SKALENOR_WINE_DIR="${SKALENOR_WINE_DIR:-/usr/lib/wine}"

# True when this machine can run 32-bit Linux programs (and so 32-bit Wine).
can_run_32bit() { [ -x "$SKALENOR_WINE_DIR/wine" ] && "$SKALENOR_WINE_DIR/wine" --version >/dev/null 2>&1; }
