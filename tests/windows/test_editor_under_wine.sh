#!/usr/bin/env bash
# qte.exe under Wine in a private Xvfb, driven as a user would: it opens a
# level in folders named outside ASCII from its command line and shows its
# thumbnails; Control+O brings up the Windows file chooser in that folder,
# where another level's name is typed and taken with Enter (and the palette
# list beside it with Enter); a level dropped on the window opens; Escape
# and "Yes" quit. Then the settings (with those three levels as the recent
# ones) are in the roaming application data, the log in the local one, and
# nothing was written beside the program. (Only ASCII is typed: xdotool
# types other letters by remapping keys, which loses some under load.)
# usage: test_editor_under_wine.sh BUILD_WINDOWS SOURCE
source "$2/tests/e2e/lib.sh"
BUILD=$(cd "$1" && pwd) SOURCE=$(cd "$2" && pwd)
WORK=$(mktemp -d /tmp/E2E-wine.XXXXXXXX)
# Wine's server, ended and waited for, so the next session starts afresh.
end_wine() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }
trap 'e2e_cleanup; end_wine' EXIT
mkdir -p "$WORK/shots" "$WORK/app" "$WORK/ünï/сиде"
cp "$BUILD/qte.exe" "$BUILD/about.bmp" "$WORK/app/" && cp -r "$BUILD/themes" "$WORK/app/"
folder=$WORK/ünï/сиде
for level in "$WORK/demo" "$folder/дэмо" "$folder/second"; do
  cp "$BUILD/demo/demo.lev" "$level.lev" && cp "$BUILD/demo/demo.d3d" "$level.D3D"
done

e2e_start_display
# A Wine session of this test's own, on this display.
export WINEDEBUG=${QTE_WINEDEBUG:--all} WINEPREFIX=${WINEPREFIX:?the Windows build sets WINEPREFIX}
end_wine
wineserver -p && wineboot >/dev/null 2>&1 || e2e_fail "Wine did not start"
wine=$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1)
profile=$WINEPREFIX/drive_c/users/$(id -un)/AppData
rm -rf "$profile/Roaming/qte" "$profile/Local/qte"
E2E_LOG=$profile/Local/qte/debug.txt

("$wine" "$WORK/app/qte.exe" "$(winepath -w "$folder/дэмо.lev")") >"$WORK/editor.out" 2>&1 &
E2E_EDITOR_PID=$!
e2e_until 60 e2e_find_window || e2e_fail "the editor ended at start-up"
[[ -n "$E2E_WINDOW" ]] || e2e_fail "no editor window"
e2e_wait_log "Done loading level" 1 30
e2e_log_has "Running under Wine" 1 || e2e_fail "the input devices were not chosen for Wine"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$E2E_WINDOW")"
E2E_EDITOR_X=$X E2E_EDITOR_Y=$Y

# The thumbnails: the first page (red brick) where it belongs, and the
# view full of colours rather than its white background.
e2e_shot thumbnails
/usr/bin/python3 - "$WORK/shots/thumbnails.png" "$X" "$Y" <<'PY' || e2e_fail "no thumbnails on the screen"
import sys
from PIL import Image
shot, x, y = Image.open(sys.argv[1]).convert("RGB"), int(sys.argv[2]), int(sys.argv[3])
view = shot.crop((x + 10, y + 30, x + 590, y + 400))
brick = shot.crop((x + 20, y + 40, x + 70, y + 90)).resize((1, 1), Image.BOX).getpixel((0, 0))
colours = len(view.getcolors(1 << 20) or [])
print("colours in the view:", colours, "first thumbnail:", brick)
sys.exit(0 if colours > 2000 and brick[0] > brick[1] + 40 else 1)
PY

# Open through the Windows chooser, which starts in the level's folder.
e2e_keys ctrl+o
chooser() {
    e2e_until 20 xdotool search --name "^$1\$" >/dev/null || e2e_fail "no chooser titled $1"
    sleep 0.8
    xdotool windowfocus "$(xdotool search --name "^$1\$" | head -n 1)"
    sleep 0.3
}
chooser "Open Level"
xdotool type --delay 40 second.lev
sleep 0.3
xdotool key Return
chooser "Open Palette List"
e2e_shot palette_chooser
xdotool key Return
e2e_wait_log "Done loading level" 2 20
e2e_log_has "Cleaning up level" 1 || e2e_fail "the chosen level was not opened"
! grep -q "Error with GetOpenFilename" "$E2E_LOG" || e2e_fail "a chooser failed"
# A level dropped on the window: Wine hands an X drag over as WM_DROPFILES.
/usr/bin/python3 "$SOURCE/tests/e2e/xdnd_drop.py" "$E2E_WINDOW" "$E2E_WINDOW" $((X + 300)) $((Y + 300)) \
  "$WORK/demo.lev" || e2e_fail "the drop was not taken"
e2e_wait_log "Done loading level" 3 20
e2e_quit

recent=$(grep "^level_" "$profile/Roaming/qte/settings.ini")
[[ $recent == "level_1 = $(winepath -w "$WORK/demo.lev")"$'\n'"level_2 = $(winepath -w "$folder/second.lev")"$'\n'"level_3 = $(winepath -w "$folder/дэмо.lev")" ]] ||
  e2e_fail "the recent levels are not the dropped, the chosen and the first one: $recent"
e2e_log_has "Closing debug file." 1 || e2e_fail "the log was not closed"
[[ -z $(ls "$WORK/app" | grep -v -x -e qte.exe -e about.bmp -e themes) ]] || e2e_fail "files beside the program"
e2e_pass
