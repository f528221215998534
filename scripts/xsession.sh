# Sourced by the scripts that need a display: x_start starts an Xvfb server of their
# own (on the first free display number) and, with --wm, the openbox window manager on
# it; x_stop ends both. The display accepts every local user, so that a test can run
# the program as an ordinary user.
x_start() {
  KRVS_X_DIR="$(mktemp -d)"
  Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1280x1024x24 \
    3>"$KRVS_X_DIR/display" 2>"$KRVS_X_DIR/xvfb.log" &
  KRVS_X_PID=$!
  for _ in $(seq 100); do [ -s "$KRVS_X_DIR/display" ] && break; sleep 0.1; done
  [ -s "$KRVS_X_DIR/display" ] || { cat "$KRVS_X_DIR/xvfb.log" >&2; return 1; }
  export DISPLAY=":$(tr -d '\n' <"$KRVS_X_DIR/display")"
  KRVS_WM_PID=""
  if [ "${1:-}" = "--wm" ]; then
    openbox --sm-disable >"$KRVS_X_DIR/openbox.log" 2>&1 &
    KRVS_WM_PID=$!
    # The window manager is ready once it has announced itself on the root window.
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
      sleep 0.1
    done
    cat "$KRVS_X_DIR/openbox.log" >&2
    return 1
  fi
}

x_stop() {
  [ -n "${KRVS_WM_PID:-}" ] && kill "$KRVS_WM_PID" 2>/dev/null && wait "$KRVS_WM_PID" 2>/dev/null
  [ -n "${KRVS_X_PID:-}" ] && kill "$KRVS_X_PID" 2>/dev/null && wait "$KRVS_X_PID" 2>/dev/null
  [ -n "${KRVS_X_DIR:-}" ] && rm -rf "$KRVS_X_DIR"
  KRVS_WM_PID="" KRVS_X_PID="" KRVS_X_DIR=""
  return 0
}
