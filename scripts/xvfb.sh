# Sourced: start_xvfb starts a private Xvfb on a free display and exports DISPLAY;
# stop_xvfb ends it. The screen is 1280 x 1024, 24-bit. XENVIRONMENT names the
# display's resource file (see xresources).
XVFB_PID=""
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.05
  done
  export DISPLAY=":$n"
  XENVIRONMENT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/xresources"
  export XENVIRONMENT
}
stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
