#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home, open the Analyze tab, let it list and measure
# the home folder, then point at the largest folder's row and move it to the Trash
# with the row's trash button. With QUELTO_SCREENSHOT_DIR set, the pictures of the
# run are kept there.
#   analyze_from_the_tab.sh <source dir> <build dir>
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

# A home whose largest folder may go to the Trash; the others are personal data.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CACHE_HOME=$WORK/home/.cache XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
blob() { mkdir -p "$(dirname "$1")" && fallocate -l "$2" "$1"; }
blob "$HOME/Projects/site/node_modules/pack.tgz" 60M
blob "$HOME/Projects/site/build/app.bin" 20M
blob "$HOME/Movies/2024/holiday.mov" 40M
blob "$HOME/Library/Caches/pip/wheels.bin" 25M
blob "$HOME/Documents/Taxes/2023.pdf" 6M
blob "$HOME/Downloads/installer.iso" 9M
unset DBUS_SESSION_BUS_ADDRESS

# A private X server on a free display.
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
XVFB_PID=$!
read -r -t 20 DISPLAY_NUMBER <&3 || fail "Xvfb did not start"
export DISPLAY=:$DISPLAY_NUMBER

shots=${QUELTO_SCREENSHOT_DIR:-$WORK/shots}
mkdir -p "$shots"
shot() { import -display "$DISPLAY" -window "$WINDOW" "$shots/analyze-run-$1.png"; }
# Points and clicks at a place of the window, given from its top left.
at() { xdotool mousemove --window "$WINDOW" "$1" "$2"; }
click() { at "$1" "$2" && sleep 0.3 && xdotool click 1; }

# The README's run command, on this build.
QUELTO_BUILD_DIR=$BUILD "$SRC/scripts/quelto" run > "$WORK/app.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 120 xdotool search --sync --onlyvisible --name '^Quelto$' | head -1) || fail "no window"
sleep 2  # first paint
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"

# The tab bar is centred at the top: Analyze is its fourth tab, right of the middle.
click $((WIDTH / 2 + 97)) 32
sleep 4  # listed and measured
shot 1-home

# The table's first row is the largest entry; lit by the pointer it shows its trash
# button at the right end of the row.
row=153
at 600 $row
sleep 0.5
click $((WIDTH - 22 - 1 - 12 - 13)) $row
for _ in $(seq 100); do
    [[ ! -e $HOME/Projects ]] && break
    sleep 0.2
done
sleep 1
shot 2-removed

[[ ! -e $HOME/Projects ]] || fail "Projects is still in the home folder"
[[ -e $XDG_DATA_HOME/Trash/files/Projects && -e $XDG_DATA_HOME/Trash/info/Projects.trashinfo ]] ||
    fail "Projects is not in the Trash"
[[ -e $HOME/Movies/2024/holiday.mov ]] || fail "another folder is gone"
grep -q '"analyze"' "$XDG_DATA_HOME/Quelto/history.json" || fail "no history entry"
kill -0 "$APP_PID" 2>/dev/null || fail "the app ended: $(cat "$WORK/app.log")"
echo "PASS: listed the home folder on the Analyze tab and moved a folder to the Trash; pictures in $shots"
