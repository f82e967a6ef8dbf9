#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server with an XEmbed tray (trayer), open the glass panel from the
# tray icon, and check its click rules: it opens under the icon, a click inside
# keeps it, a click on the icon or anywhere else closes it. While it shows, the app
# takes the process list (a `top` child every few seconds); once it is closed, no
# run starts. Then a quick clean from the panel over a fixture home: only the
# safe caches go, the Trash is left alone, the history gains a "clean" entry; and
# the panel's power button ends the app normally, having printed no warning.
# With QUELTO_SCREENSHOT_DIR set, the pictures are kept there.
#   quick_clean_from_the_tray.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

blob() { mkdir -p "$(dirname "$1")" && head -c "$2" /dev/urandom > "$1"; }
blob "$HOME/.npm/_cacache/index-v5/data" 3000000
blob "$HOME/.cache/uv/wheels/data" 2000000
# In the Trash: deleted outright, so never part of a quick clean.
blob "$XDG_DATA_HOME/Trash/files/old.bin" 1000000
mkdir -p "$XDG_DATA_HOME/Trash/info"
printf '[Trash Info]\nPath=%s\nDeletionDate=2024-01-01T10:00:00\n' "$HOME/old.bin" > "$XDG_DATA_HOME/Trash/info/old.bin.trashinfo"
blob "$HOME/Documents/keep.txt" 1000

# Tall enough for the whole panel under the tray.
SCREEN_SIZE=1280x1024
start_app tray-panel
trayer --edge top --align right --widthtype pixel --width 180 --height 24 --transparent true --alpha 0 \
    --tint 0x1d212b --SetDockType true > /dev/null 2>&1 &
TRAY_PID=$!
trap 'kill "$TRAY_PID" 2>/dev/null || true; cleanup' EXIT

# Our windows by size: "ID X Y W H" lines of the visible ones.
windows() {
    local w
    for w in $(xdotool search --onlyvisible --class Quelto 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        echo "$w $X $Y $WIDTH $HEIGHT"
    done
}
# The icon once trayer has embedded it, at the top right.
icon() { windows | awk '$4 <= 32 && $5 <= 32 && $2 >= 1100 && $3 <= 24 { print; exit }'; }
panel() { windows | awk '$4 == 340 { print; exit }'; }
wait_for() {  # wait_for <seconds> <command...>
    local until=$((SECONDS + $1)); shift
    until "$@" > /dev/null; do ((SECONDS < until)) || return 1; sleep 0.1; done
}
has_panel() { [[ -n $(panel) ]]; }
no_panel() { [[ -z $(panel) ]]; }
click_at() { xdotool mousemove "$1" "$2" && sleep 0.2 && xdotool click 1; }
# On the bare screen beside the panel, which is as tall as its readings make it.
click_elsewhere() { read -r _ px py pw ph <<<"$(panel)"; click_at $((px / 2)) $((py + ph / 2)); }
panel_shot() { read -r _ px py pw ph <<<"$(panel)"; import -display "$DISPLAY" -window root -crop "${pw}x${ph}+${px}+${py}" "$shots/tray-panel-$1.png"; }

# The pills on the panel, bright capsules: "X Y W H" (centre and size), top to bottom.
pills() {
    read -r _ px py pw ph <<<"$(panel)"
    import -display "$DISPLAY" -window root -crop "${pw}x${ph}+${px}+${py}" "$WORK/panel.png"
    convert "$WORK/panel.png" -colorspace gray -threshold 75% -define connected-components:verbose=true \
        -define connected-components:area-threshold=300 -connected-components 8 null: 2>/dev/null |
        awk -v px="$px" -v py="$py" '/gray\(255\)|srgb\(255,255,255\)/ {
            split($2, g, /[x+]/); if (g[1] >= 50 && g[2] >= 18 && g[2] <= 40)
                printf "%d %d %d %d\n", px + g[3] + g[1] / 2, py + g[4] + g[2] / 2, g[1], g[2] }' | sort -k2 -n
}

wait_for 30 icon || fail "no icon in the tray: $(cat "$WORK/app.log")"
sleep 1
read -r _ ix iy iw ih <<<"$(icon)"
cx=$((ix + iw / 2)) cy=$((iy + ih / 2))

# Opens under the icon, inside the screen.
click_at "$cx" "$cy"
wait_for 10 has_panel || fail "a click on the icon opened no panel"
read -r _ px py pw ph <<<"$(panel)"
((py >= iy + ih && px >= 8 && px + pw <= 1280 - 8)) || fail "the panel is not under the icon: $px,$py ${pw}x$ph"
sleep 1
panel_shot open

# Every process-list run is a `top` child of the app that lives about a second.
seen=" "
watch_runs() {
    local until=$((SECONDS + $1)) p
    while ((SECONDS < until)); do
        for p in $(pgrep -P "$APP_PID" -x top || true); do [[ $seen == *" $p "* ]] || seen+="$p "; done
        sleep 0.1
    done
}
runs() { wc -w <<<"$seen"; }

# A click inside (the header) keeps it; meanwhile the process list is taken.
click_at $((px + pw / 2)) $((py + 24))
watch_runs 10
has_panel || fail "a click inside the panel closed it"
(($(runs) >= 1)) || fail "no process list was taken while the panel showed"

# A click on the icon closes it, once: it does not open again.
click_at "$cx" "$cy"
wait_for 5 no_panel || fail "a click on the icon left the panel open"
sleep 1.5
no_panel || fail "the click on the icon opened the panel again"

# A click elsewhere closes it too.
click_at "$cx" "$cy"
wait_for 10 has_panel || fail "the panel did not open again"
click_elsewhere
wait_for 5 no_panel || fail "a click elsewhere left the panel open"
watch_runs 2  # a run started just before ends
left=$(runs)
watch_runs 16
(($(runs) == left)) || fail "the process list was taken again after the panel closed"

# A quick clean: scan, then clean what it offers.
click_at "$cx" "$cy"
wait_for 10 has_panel || fail "the panel did not open for the quick clean"
sleep 1
read -r qx qy _ <<<"$(pills | head -1)"
[[ -n $qx ]] || fail "no Quick clean button on the panel"
click_at "$qx" "$qy"
sleep 4
panel_shot ready
read -r qx qy _ <<<"$(pills | head -1)"
click_at "$qx" "$qy"  # Clean
gone=0
for _ in $(seq 100); do
    if [[ ! -e $HOME/.npm/_cacache && ! -e $HOME/.cache/uv ]]; then gone=1; break; fi
    sleep 0.2
done
((gone)) || fail "the safe caches are still there"
sleep 1
panel_shot cleaning
sleep 6
panel_shot done
[[ -f $XDG_DATA_HOME/Trash/files/old.bin ]] || fail "the quick clean emptied the Trash"
[[ -f $HOME/Documents/keep.txt ]] || fail "a file outside the findings is gone"
grep -q '"clean"' "$XDG_DATA_HOME/Quelto/history.json" || fail "no history entry"

# The totals read the history afresh at the next showing.
click_elsewhere
wait_for 5 no_panel || fail "the panel did not close"
click_at "$cx" "$cy"
wait_for 10 has_panel || fail "the panel did not open after the clean"
sleep 1
panel_shot totals

# The power button, last in the actions row: the app ends normally.
read -r ox oy _ <<<"$(pills | tail -1)"  # Open Quelto, on the actions row
read -r _ px py pw ph <<<"$(panel)"
click_at $((px + pw - 12 - 14)) "$oy"
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$APP_PID" 2>/dev/null && fail "the power button left the app running"
wait "$APP_PID" && status=0 || status=$?
APP_PID=""
((status == 0)) || fail "the app ended with status $status"
# Ordinary use, a sound with no sound server among it, leaves nothing on the console.
! grep -E 'QSystemTrayIcon|PulseAudio|QAudio' "$WORK/app.log" || fail "the app printed warnings"
echo "PASS: the panel opened from the tray, closed on the icon and outside, cleaned the safe caches; pictures in $shots"
