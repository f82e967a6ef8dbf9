#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home, open the Optimize tab, add the address
# renewal (an administrator task) to the preselected tasks where this machine
# offers it, run them, open the history sheet, move the window with it and close
# it. No password prompt can be granted here, so the administrator task ends as
# cancelled. With QUELTO_SCREENSHOT_DIR set, the pictures of the run are kept there.
#   optimize_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

# No system bus: polkit cannot be reached, whoever runs this.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$WORK/no-system-bus
mkdir -p "$XDG_CACHE_HOME/thumbnails/normal" "$XDG_CACHE_HOME/thumbnails/large"
echo png > "$XDG_CACHE_HOME/thumbnails/normal/a.png"
echo png > "$XDG_CACHE_HOME/thumbnails/large/b.png"

# The centres of the runs of lit pixels down one column of the window, below the
# header, each at least $2 pixels long: "<centre> <length>" per run.
lit_runs() {
    import -window "$WINDOW" "$WORK/window.png"
    convert "$WORK/window.png" -crop "1x${HEIGHT}+$1+0" -colorspace Gray txt:- |
        awk -v least="$2" -v bright="$3" 'NR > 1 {
            split($1, p, /[,:]/); v = $NF; gsub(/gray\(|\)|%/, "", v); y = p[2] + 0
            if (y > 60 && v + 0 > bright) { if (start < 0) start = y; last = y }
            else if (start >= 0) { if (last - start + 1 >= least) print int((start + last) / 2), last - start + 1; start = -1 }
        } BEGIN { start = -1 }'
}

start_app optimize-run
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"

# Optimize is the middle tab.
click $((WIDTH / 2)) 32
sleep 2
shot 1-tab

# The check boxes' left edges run down one column: 28 + 300 + 28 + 13 points in.
mapfile -t boxes < <(lit_runs 369 9 30 | awk '$2 <= 16 { print $1 }')
((${#boxes[@]} >= 1)) || fail "no task rows on the Optimize tab"
admin=0
# The address renewal is the last task this platform can offer.
if [[ -x /usr/bin/networkctl || -x /usr/bin/nmcli ]]; then
    click 376 "${boxes[-1]}"
    admin=1
fi
# The run button is the lowest wide white run of the hero column.
button=$(lit_runs 130 24 80 | tail -1 | cut -d' ' -f1)
[[ -n $button ]] || fail "no run button"
click 178 "$button"
sleep 1.5
shot 2-running

recorded=0
for _ in $(seq 150); do
    if grep -q '"optimize"' "$XDG_DATA_HOME/Quelto/history.json" 2>/dev/null; then recorded=1; break; fi
    sleep 0.2
done
((recorded)) || fail "no history entry for the tune-up"
sleep 3  # past the shockwave
shot 3-done

[[ -d $XDG_CACHE_HOME/thumbnails && -z $(ls -A "$XDG_CACHE_HOME/thumbnails") ]] || fail "the thumbnails are still there"
grep -q '"Reset Quick Look thumbnails"' "$XDG_DATA_HOME/Quelto/history.json" || fail "the thumbnail reset is not recorded"
if ((admin)); then
    ! grep -q '"Renew network address"' "$XDG_DATA_HOME/Quelto/history.json" ||
        fail "an administrator task is recorded as done without a password"
fi

# The header's clock button opens the history sheet with the run in it, inside the
# window: no window of its own, and the window around it dimmed (the selected tab's
# white pill reads darker).
pill() {
    import -window "$WINDOW" "$WORK/window.png"
    convert "$WORK/window.png" -crop "1x1+$((WIDTH / 2))+32" -colorspace Gray -format '%[fx:int(255*p{0,0})]' info:
}
lit=$(pill)
click $((WIDTH - 67)) 32
sleep 1
dimmed=$(pill)
((dimmed * 10 < lit * 7)) || fail "the window is not dimmed under the history sheet ($lit, then $dimmed)"
! xdotool search --onlyvisible --name '^History$' >/dev/null || fail "the history sheet is a window of its own"
shot 4-history
# Moved, the window takes the sheet along.
xdotool windowmove "$WINDOW" 150 80
sleep 1
import -window root "$shots/$shot_prefix-5-history-moved.png"
# A click beside the sheet does nothing there, and Escape still closes it.
click 40 400
xdotool key Escape
sleep 1
(($(pill) * 10 > dimmed * 13)) || fail "Escape did not close the history sheet"
app_still_running
echo "PASS: ran the tune-up from the Optimize tab and saw it in the history; pictures in $shots"
