#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home, scan the System list with Return (the
# window's default action), open the review with Return, clean with Return, and
# check that exactly the preselected caches are gone. With QUELTO_SCREENSHOT_DIR
# set, the pictures of the run are kept there.
#   clean_from_the_tab.sh <source dir> <build dir>
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

# A home with caches the junk scanner offers and files it must leave alone.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CACHE_HOME=$WORK/home/.cache XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
blob() { mkdir -p "$(dirname "$1")" && head -c "$2" /dev/urandom > "$1"; }
blob "$HOME/.npm/_cacache/index-v5/data" 3000000
blob "$HOME/.cache/uv/wheels/data" 2000000
blob "$HOME/.cargo/registry/cache/index/data" 1500000
blob "$HOME/Documents/keep.txt" 1000
unset DBUS_SESSION_BUS_ADDRESS

# A private X server on a free display.
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
XVFB_PID=$!
read -r -t 20 DISPLAY_NUMBER <&3 || fail "Xvfb did not start"
export DISPLAY=:$DISPLAY_NUMBER

shots=${QUELTO_SCREENSHOT_DIR:-$WORK/shots}
mkdir -p "$shots"
shot() { import -display "$DISPLAY" -window "$WINDOW" "$shots/clean-run-$1.png"; }
key() {
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
    xdotool key --clearmodifiers "$1"
}

# The README's run command, on this build.
QUELTO_BUILD_DIR=$BUILD "$SRC/scripts/quelto" run > "$WORK/app.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 120 xdotool search --sync --onlyvisible --name '^Quelto$' | head -1) || fail "no window"
sleep 2  # first paint
shot 1-idle

key Return  # Scan
sleep 4
shot 2-found

key Return  # Review results
sleep 1
shot 3-review

key Return  # Clean
gone=0
for _ in $(seq 100); do
    if [[ ! -e $HOME/.npm/_cacache && ! -e $HOME/.cache/uv && ! -e $HOME/.cargo/registry/cache ]]; then gone=1; break; fi
    sleep 0.2
done
sleep 1.5  # mid-run of the feed's nominal length
shot 4-cleaning
sleep 5  # the run ends, the iris reseals
shot 5-done

((gone)) || fail "the caches are still there"
[[ -f $HOME/Documents/keep.txt ]] || fail "a file outside the findings is gone"
grep -q '"clean"' "$XDG_DATA_HOME/Quelto/history.json" || fail "no history entry"
kill -0 "$APP_PID" 2>/dev/null || fail "the app ended: $(cat "$WORK/app.log")"
echo "PASS: scanned and cleaned from the Clean tab; pictures in $shots"
