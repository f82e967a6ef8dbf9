#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home with two apps in ~/Applications, open the
# Apps tab, pick one, let its leftovers be found, uninstall it from the review,
# and check that the bundle and its leftovers are in the Trash and the other app
# untouched. A third bundle's Info.plist is nested 60,000 levels deep: it cannot be
# read, so that app is not listed, and opening the tab must not end the app.
# With QUELTO_SCREENSHOT_DIR set, the pictures of the run are kept there.
#   uninstall_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

blob() { mkdir -p "$(dirname "$1")" && head -c "$2" /dev/urandom > "$1"; }
# An app bundle: its Info.plist names it, a program makes it weigh something.
app() {
    local bundle=$HOME/Applications/$1.app
    mkdir -p "$bundle/Contents"
    cat > "$bundle/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>$2</string>
<key>CFBundleName</key><string>$1</string>
</dict></plist>
PLIST
    blob "$bundle/Contents/MacOS/$1" 800000
}
app Alpha com.example.alpha
app Beta com.example.beta
deep=$HOME/Applications/Deep.app/Contents
mkdir -p "$deep"
{
    printf '<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.deep</string><key>Nest</key>'
    printf '<array>%.0s' $(seq 60000)
    printf '</array>%.0s' $(seq 60000)
    printf '</dict></plist>'
} > "$deep/Info.plist"
blob "$XDG_CACHE_HOME/com.example.alpha/cache.db" 400000
blob "$HOME/Library/Preferences/com.example.alpha.plist" 2000
blob "$HOME/Library/Preferences/com.example.beta.plist" 2000

start_app uninstall-run
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"

# The tab bar is centred at the top: Apps is its second tab, left of the middle.
click $((WIDTH / 2 - 78)) 32
sleep 2
app_still_running
shot 1-apps

# The app list's first row is Alpha.
click 150 202
sleep 3  # found and measured
shot 2-review

# The review's action button sits at the bottom right of the pane.
click $((WIDTH - 130)) $((HEIGHT - 56))
trash=$XDG_DATA_HOME/Trash
for _ in $(seq 100); do
    [[ ! -e $HOME/Applications/Alpha.app ]] && break
    sleep 0.2
done
sleep 1.5  # mid-run of the feed's nominal length
shot 3-uninstalling
sleep 5
shot 4-gone

[[ ! -e $HOME/Applications/Alpha.app ]] || fail "Alpha is still installed"
for item in Alpha.app com.example.alpha com.example.alpha.plist; do
    [[ -e $trash/files/$item && -e $trash/info/$item.trashinfo ]] || fail "$item is not in the Trash"
done
[[ -e $HOME/Applications/Beta.app && -e $HOME/Library/Preferences/com.example.beta.plist ]] ||
    fail "the other app or its files are gone"
grep -q '"uninstall"' "$XDG_DATA_HOME/Quelto/history.json" || fail "no history entry"
app_still_running
echo "PASS: uninstalled an app with its leftovers from the Apps tab; pictures in $shots"
