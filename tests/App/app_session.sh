# shellcheck shell=bash
# What the end-to-end scripts beside this one share: a private home below a
# scratch folder that goes at exit, a private X server, and the app started with
# the README's run command on that display. Sourced, not run:
#   source app_session.sh <source dir> <build dir>
# Then fill $HOME with fixtures, and `start_app <picture prefix>`.
set -euo pipefail
SRC=$1
BUILD=$2
WORK=$(mktemp -d)
APP_PID=""
XVFB_PID=""
cleanup() {
    [[ -n $APP_PID ]] && kill "$APP_PID" 2>/dev/null || true
    [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CACHE_HOME=$WORK/home/.cache XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS

# Starts a private X server on a free display, then the app on it, and waits for
# the window's first paint (on a 1280x800 screen unless SCREEN_SIZE says otherwise).
# With QUELTO_SCREENSHOT_DIR set, `shot NAME` keeps the
# window's picture there as <prefix>-NAME.png.
start_app() {
    exec 3< <(exec Xvfb -displayfd 1 -screen 0 "${SCREEN_SIZE:-1280x800}x24" -nolisten tcp 2>/dev/null)
    XVFB_PID=$!
    read -r -t 20 DISPLAY_NUMBER <&3 || fail "Xvfb did not start"
    export DISPLAY=:$DISPLAY_NUMBER

    shots=${QUELTO_SCREENSHOT_DIR:-$WORK/shots}
    shot_prefix=$1
    mkdir -p "$shots"

    # On this X server whatever the caller's environment says: an inherited offscreen
    # platform would leave no window to wait for.
    QT_QPA_PLATFORM=xcb QUELTO_BUILD_DIR=$BUILD "$SRC/scripts/quelto" run > "$WORK/app.log" 2>&1 &
    APP_PID=$!
    WINDOW=$(timeout 120 xdotool search --sync --onlyvisible --name '^Quelto$' | head -1) || fail "no window"
    sleep 2  # first paint
}
# Points and clicks at a place of the window, given from its top left.
at() { xdotool mousemove --window "$WINDOW" "$1" "$2"; }
click() { at "$1" "$2" && sleep 0.3 && xdotool click 1; }
shot() { import -display "$DISPLAY" -window "$WINDOW" "$shots/$shot_prefix-$1.png"; }
app_still_running() { kill -0 "$APP_PID" 2>/dev/null || fail "the app ended: $(cat "$WORK/app.log")"; }
