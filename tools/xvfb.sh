# Sourced by the project's scripts: start_private_xvfb starts an Xvfb on a display number
# of its own when DISPLAY is unset, exports DISPLAY, and stops that server at exit.
start_private_xvfb() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n=$((90 + $$ % 100))
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    trap 'kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true' EXIT
    local tries=0
    while [ ! -e "/tmp/.X11-unix/X$n" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "could not start Xvfb on :$n" >&2
            return 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$n"
}
