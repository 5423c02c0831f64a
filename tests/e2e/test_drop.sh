#!/usr/bin/env bash
# Files dragged from a file manager onto the window (a small XDND source of
# our own drops them): a level named in upper case, in a folder with a blank,
# opens with its palette list; an 8-bit bitmap dropped on page 2's thumbnail
# is imported into that page; the level dropped again with that change
# unsaved asks first, and "No" keeps the change.
# Usage: test_drop.sh BUILD_DIR SOURCE_DIR
source "$2/tests/e2e/lib.sh"
e2e_begin "$1" "$2"
mkdir -p "$WORK/my level"
cp "$BUILD/demo/demo.lev" "$WORK/my level/DEMO.LEV"
cp "$BUILD/demo/demo.d3d" "$WORK/my level/DEMO.D3D"
python3 "$SOURCE/tests/e2e/level_files.py" bmp8 "$WORK/eight.bmp" 11 || e2e_fail "no bitmap"
drop() { python3 "$SOURCE/tests/e2e/xdnd_drop.py" "$E2E_WINDOW" "$proxy" $((E2E_EDITOR_X + $1)) $((E2E_EDITOR_Y + $2)) "${@:3}" ||
    e2e_fail "the drop of ${*:3} was not taken"; }

e2e_start_editor
# The window takes drops through the proxy it names.
proxy=$(xprop -id "$E2E_WINDOW" XdndProxy | sed -n 's/.*window id # //p')
[[ -n "$proxy" ]] && xprop -id "$E2E_WINDOW" XdndAware | grep -q = || e2e_fail "the window does not take drops"
drop 300 300 "$WORK/my level/DEMO.LEV"
e2e_wait_log "Done loading level"
grep -qxF "A level was dropped: $WORK/my level/DEMO.LEV " "$E2E_LOG" && grep -qx "Finished parsing d3d. " "$E2E_LOG" ||
    e2e_fail "the dropped level did not open with its palette list"

drop $((47 + 74 * 2)) 67 "$WORK/eight.bmp"
e2e_wait_log "Finished importing image."
grep -qxF "An image was dropped on page 2: $WORK/eight.bmp " "$E2E_LOG" && grep -qx "Done importing 8-bit texture. " "$E2E_LOG" ||
    e2e_fail "the image was not imported into page 2"
sleep 0.3
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" ]] || e2e_fail "no asterisk after the import"

drop 300 300 "$WORK/my level/DEMO.LEV"
sleep 0.5
e2e_click $E2E_NO
[[ "$(xdotool getwindowname "$E2E_WINDOW")" == "*Quarly Texture Editor 2.0" && $(e2e_log_count "Loading level.") -eq 1 ]] ||
    e2e_fail "the dropped level replaced the unsaved one"
e2e_quit
e2e_pass
