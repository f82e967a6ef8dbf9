#!/usr/bin/env bash
# As a new user would: start the built app with the README's run command on a
# private X server over a fixture home, scan the System list with Return (the
# window's default action), open the review with Return, clean with Return, and
# check that exactly the preselected caches are gone. With QUELTO_SCREENSHOT_DIR
# set, the pictures of the run are kept there.
#   clean_from_the_tab.sh <source dir> <build dir>
source "$(dirname "$0")/app_session.sh" "$@"

# A home with caches the junk scanner offers and files it must leave alone. The
# user cache folder holds what its tools leave there: pip's cache (preselected),
# and what is only offered for review or belongs to the AI list (kept).
blob() { mkdir -p "$(dirname "$1")" && head -c "$2" /dev/urandom > "$1"; }
blob "$HOME/.npm/_cacache/index-v5/data" 3000000
blob "$XDG_CACHE_HOME/uv/wheels/data" 2000000
blob "$HOME/.cargo/registry/cache/index/data" 1500000
blob "$XDG_CACHE_HOME/pip/http/a/b/wheel" 1200000
goes=("$HOME/.npm/_cacache" "$XDG_CACHE_HOME/uv" "$HOME/.cargo/registry/cache" "$XDG_CACHE_HOME/pip")
blob "$HOME/Documents/keep.txt" 1000
blob "$XDG_CACHE_HOME/google-chrome/Default/Cache/Cache_Data/data_1" 900000
blob "$XDG_CACHE_HOME/thumbnails/large/0f3a.png" 300000
blob "$XDG_CACHE_HOME/fontconfig/0f3a-le64.cache-8" 200000
blob "$XDG_CACHE_HOME/torch/hub/checkpoints/resnet18.pth" 800000
blob "$XDG_CACHE_HOME/huggingface/hub/models--org--bert/blobs/0f3a" 700000
blob "$XDG_CACHE_HOME/lm-studio/models/acme/tiny-7b/w.gguf" 600000
stays=$(cd "$HOME" && find Documents .cache -type f ! -path '.cache/uv/*' ! -path '.cache/pip/*' | sort)

key() {
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
    xdotool key --clearmodifiers "$1"
}

start_app clean-run
shot 1-idle
# The run command leaves a launcher entry for this very build, with its icon.
grep -qxF "Exec=\"$BUILD/bin/Quelto\"" "$XDG_DATA_HOME/applications/quelto.desktop" || fail "no launcher entry"
[[ -f $XDG_DATA_HOME/icons/hicolor/256x256/apps/quelto.png ]] || fail "no launcher icon"

key Return  # Scan
sleep 4
shot 2-found

key Return  # Review results
sleep 1
shot 3-review

key Return  # Clean
gone=0
for _ in $(seq 100); do
    gone=1
    for item in "${goes[@]}"; do [[ -e $item ]] && gone=0; done
    ((gone)) && break
    sleep 0.2
done
sleep 1.5  # mid-run of the feed's nominal length
shot 4-cleaning
sleep 5  # the run ends, the iris reseals
shot 5-done

((gone)) || fail "the preselected caches are still there"
for item in $stays; do
    [[ -f $HOME/$item ]] || fail "$item is gone, but it was not preselected"
done
grep -q '"clean"' "$XDG_DATA_HOME/Quelto/history.json" || fail "no history entry"
app_still_running
echo "PASS: scanned and cleaned from the Clean tab; pictures in $shots"
