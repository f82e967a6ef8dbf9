#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server, open the Status tab and let it read this machine, then leave
# it. While the tab shows, the app takes the process list (a `top` run every few
# seconds); once it is left, no run starts. With QUELTO_SCREENSHOT_DIR set, the
# picture of the tab is kept there.
#   status_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

# Every process-list run is a `top` child of the app that lives about a second.
seen=" "
watch_runs() {
    local until=$((SECONDS + $1))
    while ((SECONDS < until)); do
        for p in $(pgrep -P "$APP_PID" -x top || true); do
            [[ $seen == *" $p "* ]] || seen+="$p "
        done
        sleep 0.1
    done
}
runs() { wc -w <<<"$seen"; }

start_app status-run
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"

# The tab bar is centred at the top: Status is its fifth and last tab.
click $((WIDTH / 2 + 182)) 32
watch_runs 10
(($(runs) >= 1)) || fail "no process list was taken while the Status tab showed"
shot 1-status

click $((WIDTH / 2 - 148)) 32  # the Clean tab
watch_runs 2                   # a run started just before ends
left=$(runs)
watch_runs 20
(($(runs) == left)) || fail "the process list was taken again after leaving the Status tab"
app_still_running
echo "PASS: the Status tab showed this machine and took the process list only while it showed; pictures in $shots"
