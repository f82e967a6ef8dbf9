#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home, open the Analyze tab, let it list and measure
# the home folder, then point at the largest folder's row and move it to the Trash
# with the row's trash button. With QUELTO_SCREENSHOT_DIR set, the pictures of the
# run are kept there.
#   analyze_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

# A home whose largest folder may go to the Trash; the others are personal data.
blob() { mkdir -p "$(dirname "$1")" && fallocate -l "$2" "$1"; }
blob "$HOME/Projects/site/node_modules/pack.tgz" 60M
blob "$HOME/Projects/site/build/app.bin" 20M
blob "$HOME/Movies/2024/holiday.mov" 40M
blob "$HOME/Library/Caches/pip/wheels.bin" 25M
blob "$HOME/Documents/Taxes/2023.pdf" 6M
blob "$HOME/Downloads/installer.iso" 9M

start_app analyze-run
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
app_still_running
echo "PASS: listed the home folder on the Analyze tab and moved a folder to the Trash; pictures in $shots"
