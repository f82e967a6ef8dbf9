#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home whose only app names a plain-http update
# feed, open Apps ▸ Updates, check, and see the check end in "Couldn't check for
# updates" with its reasons, never "Everything is up to date": this machine has
# no Homebrew and no App Store apps, and the plain-http feed is refused as such. The hero's texts are
# compared with the suite's picture of that state. With QUELTO_SCREENSHOT_DIR set,
# the pictures of the run are kept there.
#   updates_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

bundle=$HOME/Applications/Plain.app
mkdir -p "$bundle/Contents"
cat > "$bundle/Contents/Info.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.plain</string>
<key>CFBundleShortVersionString</key><string>1.0</string>
<key>SUFeedURL</key><string>http://example.invalid/appcast.xml</string>
</dict></plist>
PLIST

# The hero's title and subtitle band of a picture, as pixels that compare.
band() { convert "$1" -crop 800x70+100+425 +repage "$2"; }

start_app updates-run
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
[[ $WIDTH == 1000 && $HEIGHT == 680 ]] || fail "the window is ${WIDTH}x$HEIGHT, not the pictures' size"

# Apps is the tab bar's second tab; Updates the middle one of the sub-tabs below it.
click $((WIDTH / 2 - 78)) 32
sleep 1
click $((WIDTH / 2 + 6)) 80
sleep 2
shot 1-idle

# "Check for updates" sits under the hero's texts.
click $((WIDTH / 2)) 524
sleep 4
shot 2-checked
app_still_running

reference=$SRC/docs/screenshots/apps-updates-this-machine.png
band "$shots/$shot_prefix-2-checked.png" "$WORK/after.png"
band "$reference" "$WORK/expected.png"
band "$shots/$shot_prefix-1-idle.png" "$WORK/before.png"
differing() { compare -metric AE -fuzz 20% "$1" "$2" null: 2>&1 || true; }
after=$(differing "$WORK/after.png" "$WORK/expected.png")
before=$(differing "$WORK/before.png" "$WORK/expected.png")
# A few stars twinkle differently; a different text differs in thousands of pixels.
(( ${after%.*} < 300 )) || fail "the hero does not say the check could not ask anyone ($after pixels differ)"
(( ${before%.*} > 1500 )) || fail "the comparison cannot tell texts apart ($before pixels differ before the check)"
echo "(hero band: $after pixels differ from the picture after the check, $before before it)"
echo "PASS: Updates checked on this machine ends in \"Couldn't check for updates\"; pictures in $shots"
