#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home with an app that opens at login, open
# Apps ▸ Startup, take the app off the list with its row's "Remove", and check that
# its autostart entry is gone and a system entry's stays untouched. With
# QUELTO_SCREENSHOT_DIR set, the pictures of the run are kept there.
#   startup_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

# The session's system folder is a fixture too, so the rows are known.
export XDG_CONFIG_DIRS=$WORK/xdg
entry() {
    mkdir -p "$(dirname "$1")"
    printf '[Desktop Entry]\nType=Application\nName=%s\nExec=true\n' "$2" > "$1"
}
entry "$XDG_CONFIG_HOME/autostart/aardvark.desktop" "Aardvark Notes"
entry "$XDG_CONFIG_DIRS/autostart/zebra.desktop" "Zebra Applet"

start_app startup-run
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"

# The tab bar is centred at the top: Apps is its second tab, left of the middle;
# its sub-tabs are centred below it, Startup the last of three.
click $((WIDTH / 2 - 78)) 32
sleep 1
click $((WIDTH / 2 + 84)) 81
sleep 2  # read
shot 1-listed

# The first row of "Open at Login" is Aardvark Notes; its "Remove" ends the row.
click $((WIDTH - 87)) 240
for _ in $(seq 50); do
    [[ ! -e $XDG_CONFIG_HOME/autostart/aardvark.desktop ]] && break
    sleep 0.2
done
sleep 0.5
shot 2-removed

[[ ! -e $XDG_CONFIG_HOME/autostart/aardvark.desktop ]] || fail "the autostart entry is still there"
[[ -e $XDG_CONFIG_DIRS/autostart/zebra.desktop ]] || fail "the system entry is gone"
[[ ! -e $XDG_CONFIG_HOME/autostart/zebra.desktop ]] || fail "the system entry was hidden too"
app_still_running
echo "PASS: took an app off the open-at-login list from Apps ▸ Startup; pictures in $shots"
